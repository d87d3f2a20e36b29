#include "results/session_record.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "fileio/durable_file.h"
#include "fileio/safe_file.h"
#include "results/result_files.h"
#include "results/session_values.h"

#ifndef DORVANE_VERSION
#define DORVANE_VERSION "unknown"
#endif

namespace results {

std::vector<StimulusRecord> stimuliUsed;

namespace {

constexpr double kNsPerMs = 1e6;
// Suffixes tried after the plain name before giving up.
constexpr int kMaxNameSuffix = 1000;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// Milliseconds between two monotonic moments, rounded to `steps` per ms.
double MsFrom(int64_t zeroNs, int64_t ns, double steps) {
  return std::round(static_cast<double>(ns - zeroNs) / kNsPerMs * steps) / steps;
}

QJsonValue PatchNumber(int32_t row) {
  return row >= 0 ? QJsonValue(row + 1) : QJsonValue(QJsonValue::Null);
}

const char* TimeSourceName(TouchTimeSource source) {
  return source == TouchTimeSource::kStamp ? "stamp" : "sample";
}

// ---- Reading: every access checks its type, and every failure says where.
// Where is kept as a chain of names on the stack and spelled out only on a
// failure: thousands of records are read at a time.

struct Path {
  const Path* parent = nullptr;
  const char* key = nullptr;      ///< a member's name, or null for an element
  qsizetype index = -1;           ///< an element's index
  const QString* name = nullptr;  ///< a member's name that is not a literal

  Path Member(const char* k) const { return Path{this, k, -1, nullptr}; }
  Path Element(qsizetype i) const { return Path{this, nullptr, i, nullptr}; }
  Path Named(const QString* n) const { return Path{this, nullptr, -1, n}; }

  QString Text() const {
    QString head = parent ? parent->Text() : QString();
    if (index >= 0) return head + QStringLiteral("[%1]").arg(index);
    const QString own = name ? *name : QString::fromLatin1(key ? key : "");
    return head.isEmpty() ? own : head + QLatin1Char('.') + own;
  }
};

class Reader {
 public:
  bool failed = false;
  std::string reason;

  bool Fail(const Path& at, const char* what) {
    if (!failed) reason = (at.Text() + QLatin1Char(' ') + QLatin1String(what)).toStdString();
    failed = true;
    return false;
  }

  QJsonValue Member(const QJsonObject& o, const Path& at) {
    const QJsonValue v = o.value(QLatin1String(at.key));
    if (v.isUndefined()) Fail(at, "is missing");
    return v;
  }

  QJsonObject Object(const QJsonValue& v, const Path& at) {
    if (!failed && !v.isObject()) Fail(at, "is not an object");
    return v.toObject();
  }

  QJsonObject Object(const QJsonObject& o, const Path& at) { return Object(Member(o, at), at); }

  QJsonArray Array(const QJsonObject& o, const Path& at) {
    const QJsonValue v = Member(o, at);
    if (!failed && !v.isArray()) Fail(at, "is not a list");
    return v.toArray();
  }

  std::string String(const QJsonObject& o, const Path& at) {
    const QJsonValue v = Member(o, at);
    if (!failed && !v.isString()) Fail(at, "is not a text");
    return v.toString().toStdString();
  }

  // A member later minor versions added: `absent` where a record lacks it.
  bool OptionalBool(const QJsonObject& o, const Path& at, bool absent) {
    if (!o.contains(QLatin1String(at.key))) return absent;
    return Bool(o, at);
  }

  bool Bool(const QJsonObject& o, const Path& at) {
    const QJsonValue v = Member(o, at);
    if (!failed && !v.isBool()) Fail(at, "is not true or false");
    return v.toBool();
  }

  double Number(const QJsonValue& v, const Path& at) {
    if (failed) return 0;
    if (!v.isDouble() || !std::isfinite(v.toDouble())) Fail(at, "is not a number");
    return v.toDouble();
  }

  double Number(const QJsonObject& o, const Path& at) { return Number(Member(o, at), at); }

  // A whole number within [low, high]; never converts a value out of range.
  int64_t Whole(const QJsonValue& v, const Path& at, int64_t low, int64_t high) {
    if (failed) return 0;
    const double d = v.toDouble();
    if (!v.isDouble() || !std::isfinite(d) || std::floor(d) != d) {
      Fail(at, "is not a whole number");
      return 0;
    }
    if (d < static_cast<double>(low) || d > static_cast<double>(high)) {
      Fail(at, "is out of range");
      return 0;
    }
    // Beyond 2^53 the double has lost digits the integer kept.
    const int64_t exact = v.toInteger(static_cast<qint64>(d));
    return std::clamp<int64_t>(exact, low, high);
  }

  int32_t Int(const QJsonObject& o, const Path& at,
              int64_t low = std::numeric_limits<int32_t>::min(),
              int64_t high = std::numeric_limits<int32_t>::max()) {
    return static_cast<int32_t>(Whole(Member(o, at), at, low, high));
  }

  // A patch number (1-based) or null, as a 0-based row or -1.
  int32_t Patch(const QJsonObject& o, const Path& at) {
    const QJsonValue v = Member(o, at);
    if (failed || v.isNull()) return -1;
    return static_cast<int32_t>(Whole(v, at, 1, kMaxPatches)) - 1;
  }

  // One of `names`, as its index.
  template <size_t N>
  int Name(const QJsonObject& o, const Path& at, const char* const (&names)[N]) {
    const QJsonValue v = Member(o, at);
    if (failed) return 0;
    if (!v.isString()) return Fail(at, "is not a text"), 0;
    const QString text = v.toString();
    for (size_t i = 0; i < N; ++i)
      if (text == QLatin1String(names[i])) return static_cast<int>(i);
    Fail(at, "is not a known name");
    return 0;
  }
};

const char* const kKindNames[] = {"memorisation", "cover",       "answer",
                                  "error",        "error-cover", "completion"};
const char* const kSourceNames[] = {"none",     "present-event", "oml-sync", "wayland-feedback",
                                    "readback", "simulated"};
const char* const kJudgementNames[] = {"correct", "wrong", "no-patch", "already-found"};
const char* const kTimeSourceNames[] = {"stamp", "sample"};
const char* const kUseNames[] = {"file", "built in", "missing"};

bool ParseVersion(const QString& text, int32_t* major, int32_t* minor) {
  const QStringList parts = text.split(QLatin1Char('.'));
  if (parts.size() != 2) return false;
  bool okMajor = false;
  bool okMinor = false;
  *major = parts[0].toInt(&okMajor);
  *minor = parts[1].toInt(&okMinor);
  return okMajor && okMinor && *major >= 0 && *minor >= 0 && !parts[0].startsWith('+') &&
         !parts[1].startsWith('+');
}

// Says why the bytes are not JSON, telling an end that came too early apart.
std::string JsonFailure(const QByteArray& bytes, const QJsonParseError& error) {
  qsizetype end = bytes.size();
  while (end > 0 && QChar::isSpace(static_cast<uchar>(bytes[end - 1]))) --end;
  const bool atEnd = error.offset >= end;
  switch (error.error) {
    case QJsonParseError::UnterminatedObject:
    case QJsonParseError::UnterminatedArray:
    case QJsonParseError::UnterminatedString:
    case QJsonParseError::MissingObject:
    case QJsonParseError::IllegalValue:
    case QJsonParseError::IllegalNumber:
    case QJsonParseError::MissingNameSeparator:
    case QJsonParseError::MissingValueSeparator:
      if (atEnd) return "truncated: the file ends after " + std::to_string(bytes.size()) + " bytes";
      break;
    default:
      break;
  }
  return "not JSON: " + error.errorString().toStdString() + " at byte " +
         std::to_string(error.offset);
}

void ReadFrame(Reader& r, const QJsonObject& o, const Path& at, SessionFrame* f) {
  f->kind = static_cast<FrameKind>(r.Name(o, at.Member("kind"), kKindNames));
  f->patch = r.Patch(o, at.Member("patch"));
  f->onsetMs = r.Number(o, at.Member("onsetMs"));
  f->uncertaintyMs = r.Number(o, at.Member("uncertaintyMs"));
  f->requestMs = r.Number(o, at.Member("requestMs"));
  f->returnMs = r.Number(o, at.Member("returnMs"));
  f->source = static_cast<OnsetSource>(r.Name(o, at.Member("source"), kSourceNames));
  f->missedRefreshes = r.Int(o, at.Member("missedRefreshes"), 0);
}

void ReadTouch(Reader& r, const QJsonObject& o, const Path& at, SessionTouch* t) {
  t->timeMs = r.Number(o, at.Member("timeMs"));
  t->source = static_cast<TouchTimeSource>(r.Name(o, at.Member("source"), kTimeSourceNames));
  t->screenX = r.Int(o, at.Member("screenX"));
  t->screenY = r.Int(o, at.Member("screenY"));
  t->canvasX = r.Int(o, at.Member("canvasX"));
  t->canvasY = r.Int(o, at.Member("canvasY"));
  t->patch = r.Patch(o, at.Member("patch"));
  t->judgement = static_cast<TouchJudgement>(r.Name(o, at.Member("judgement"), kJudgementNames));
  t->beforeOnset = r.OptionalBool(o, at.Member("beforeOnset"), false);
}

void ReadTrial(Reader& r, const QJsonObject& o, const Path& at, bool keepEvents, SessionTrial* t) {
  TrialRecord& row = t->row;
  row.Trial = r.Int(o, at.Member("Trial"));
  row.NItems = r.Int(o, at.Member("NItems"));
  row.NCorrect = r.Int(o, at.Member("NCorrect"));
  row.RT1 = r.Int(o, at.Member("RT1"));
  row.RT2 = r.Int(o, at.Member("RT2"));
  row.Error = r.Int(o, at.Member("Error"));
  row.Rev = r.Int(o, at.Member("Rev"));
  const Path cellsAt = at.Member("cells");
  const QJsonArray cells = r.Array(o, cellsAt);
  if (cells.size() > kMaxPatches) r.Fail(cellsAt, "has more than 20 entries");
  for (qsizetype k = 0; !r.failed && k < cells.size(); ++k)
    t->cells.push_back(static_cast<int32_t>(r.Whole(cells[k], cellsAt.Element(k), 0, 24)));
  const Path zeroAt = at.Member("rt1ZeroNs");
  t->rt1ZeroNs = r.Whole(r.Member(o, zeroAt), zeroAt, std::numeric_limits<int64_t>::min() / 2,
                         std::numeric_limits<int64_t>::max() / 2);
  const Path rt2At = at.Member("rt2ZeroMs");
  const QJsonValue rt2 = r.Member(o, rt2At);
  t->hasRt2Zero = !rt2.isNull();
  if (t->hasRt2Zero) t->rt2ZeroMs = r.Number(rt2, rt2At);
  const Path framesAt = at.Member("frames");
  const QJsonArray frames = r.Array(o, framesAt);
  // Checked either way; kept only when asked for.
  SessionFrame frame;
  if (keepEvents) t->frames.resize(static_cast<size_t>(frames.size()));
  for (qsizetype k = 0; !r.failed && k < frames.size(); ++k) {
    const Path frameAt = framesAt.Element(k);
    ReadFrame(r, r.Object(frames[k], frameAt), frameAt,
              keepEvents ? &t->frames[static_cast<size_t>(k)] : &frame);
  }
  const Path touchesAt = at.Member("touches");
  const QJsonArray touches = r.Array(o, touchesAt);
  SessionTouch touch;
  if (keepEvents) t->touches.resize(static_cast<size_t>(touches.size()));
  for (qsizetype k = 0; !r.failed && k < touches.size(); ++k) {
    const Path touchAt = touchesAt.Element(k);
    ReadTouch(r, r.Object(touches[k], touchAt), touchAt,
              keepEvents ? &t->touches[static_cast<size_t>(k)] : &touch);
  }
}

// Written from 1.2 on; null where the position was not known.
QJsonValue LayoutsJson(const SessionLayouts& l) {
  if (!l.known) return QJsonValue(QJsonValue::Null);
  return QJsonObject{{"randomStart", static_cast<qint64>(l.randomStart)},
                     {"drawsBefore", static_cast<qint64>(l.drawsBefore)},
                     {"generatorState", static_cast<qint64>(l.generatorState)}};
}

void ReadLayouts(Reader& r, const QJsonObject& root, const Path& at, SessionLayouts* l) {
  const QJsonValue v = root.value(QLatin1String(at.key));
  if (v.isUndefined() || v.isNull()) return;  // older records, or not known
  const QJsonObject o = r.Object(v, at);
  l->randomStart = static_cast<uint32_t>(
      r.Whole(o.value("randomStart"), at.Member("randomStart"), 0, UINT32_MAX));
  l->drawsBefore = static_cast<uint64_t>(
      r.Whole(o.value("drawsBefore"), at.Member("drawsBefore"), 0, int64_t{1} << 53));
  l->generatorState = static_cast<uint32_t>(
      r.Whole(o.value("generatorState"), at.Member("generatorState"), 0, UINT32_MAX));
  l->known = !r.failed;
}

}  // namespace

const char* StimulusUseName(StimulusUse use) {
  const int i = static_cast<int>(use);
  return i >= 0 && i < 3 ? kUseNames[i] : "missing";
}

StimulusRecord DescribeStimulus(const std::string& path, bool used, StimulusUse fallback) {
  StimulusRecord record;
  record.file = path;
  std::replace(record.file.begin(), record.file.end(), '\\', '/');
  record.use = fallback;
  if (!used) return record;
  std::string bytes;
  std::string why;
  if (file_io::ReadRegularFile(record.file, file_io::kMaxStimulusBytes, &bytes, &why) !=
      file_io::ReadStatus::kDone) {
    return record;
  }
  record.use = StimulusUse::kFile;
  record.sha256 = QCryptographicHash::hash(QByteArray::fromStdString(bytes),
                                           QCryptographicHash::Sha256)
                      .toHex()
                      .toStdString();
  return record;
}

std::string LocalTimeText(const QDateTime& time) {
  // Spelled out: Qt writes "Z" for a zero offset, which reads as no local time.
  const QDateTime local = time.toLocalTime();
  const int offset = local.offsetFromUtc();
  const int minutes = (offset < 0 ? -offset : offset) / 60;
  return (local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
          QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60))
      .toStdString();
}

SessionRecord MakeSessionRecord(const SessionInputs& in) {
  SessionRecord record;
  record.programName = "Dorvane";
  record.programVersion = DORVANE_VERSION;
  record.started = LocalTimeText(in.started);
  record.ended = LocalTimeText(in.ended);
  if (in.settings) record.settings = *in.settings;
  record.stimuli = in.stimuli;
  record.layouts = in.layouts;
  record.display.screenWidth = in.screen.width;
  record.display.screenHeight = in.screen.height;
  record.display.presentRect = in.presentRect;
  record.display.presentation = in.presentation;
  if (!in.state) return record;

  const TestState& state = *in.state;
  const int n = std::clamp<int32_t>(state.trialsRun, 0, kMaxTrials);
  record.trialsRun = n;
  record.reversals = state.reversals;
  int reversalTrials = 0;
  record.score = ComputeScore(state, &reversalTrials);
  record.hasScore = reversalTrials > 0;

  std::map<std::string, int32_t> sources;
  const TrialTiming none;
  for (int i = 0; i < n; ++i) {
    const bool known = in.timings && static_cast<size_t>(i) < in.timings->size();
    const TrialTiming& timing = known ? (*in.timings)[static_cast<size_t>(i)] : none;
    SessionTrial trial;
    trial.row = state.trials[i];
    trial.cells = timing.cells;
    trial.rt1ZeroNs = timing.rt1ZeroNs;
    trial.hasRt2Zero = timing.rt2ZeroNs != 0;
    if (trial.hasRt2Zero) trial.rt2ZeroMs = MsFrom(timing.rt1ZeroNs, timing.rt2ZeroNs, 1000);
    for (const FrameRecord& f : timing.frames) {
      SessionFrame frame;
      frame.kind = f.kind;
      frame.patch = f.patch;
      frame.onsetMs = MsFrom(timing.rt1ZeroNs, f.onset.onsetNs, 1000);
      frame.uncertaintyMs = MsFrom(0, f.onset.uncertaintyNs, 1000);
      frame.requestMs = MsFrom(timing.rt1ZeroNs, f.onset.requestNs, 1000);
      frame.returnMs = MsFrom(timing.rt1ZeroNs, f.onset.returnNs, 1000);
      frame.source = f.onset.source;
      frame.missedRefreshes = f.onset.missedRefreshes;
      trial.frames.push_back(frame);
      ++sources[OnsetSourceName(f.onset.source)];
    }
    for (const TouchRecord& t : timing.touches) {
      SessionTouch touch;
      touch.timeMs = MsFrom(timing.rt1ZeroNs, t.timeNs, 10);
      touch.source = t.source;
      touch.screenX = t.screenX;
      touch.screenY = t.screenY;
      touch.canvasX = t.canvasX;
      touch.canvasY = t.canvasY;
      touch.patch = t.patch;
      touch.judgement = t.judgement;
      touch.beforeOnset = t.beforeOnset;
      trial.touches.push_back(touch);
    }
    record.trials.push_back(std::move(trial));
  }
  record.display.onsetSources.assign(sources.begin(), sources.end());
  return record;
}

QByteArray SessionRecordJson(const SessionRecord& r) {
  QJsonObject program{{"name", Q(r.programName)}, {"version", Q(r.programVersion)}};
  const TestSettings& s = r.settings;
  QJsonObject settings{{"subject", Q(s.subject)},       {"random_seed", s.random_seed},
                       {"memtime", s.memtime},          {"max_rev", s.max_rev},
                       {"hide_mouse", s.hide_mouse},    {"flag_feedback", s.flag_feedback},
                       {"flag_ranking", s.flag_ranking}};
  QJsonObject result{{"trialsRun", r.trialsRun},
                     {"reversals", r.reversals},
                     {"score", r.hasScore ? QJsonValue(r.score) : QJsonValue(QJsonValue::Null)}};
  QJsonArray stimuli;
  for (const StimulusRecord& st : r.stimuli) {
    QJsonObject o{{"file", Q(st.file)}, {"use", StimulusUseName(st.use)}};
    if (st.use == StimulusUse::kFile) o.insert("sha256", Q(st.sha256));
    stimuli.append(o);
  }
  const SessionDisplay& d = r.display;
  QJsonObject sources;
  for (const auto& [name, count] : d.onsetSources) sources.insert(Q(name), count);
  QJsonObject display{
      {"ScreenSize", QJsonObject{{"width", d.screenWidth}, {"height", d.screenHeight}}},
      {"PresentRect", QJsonObject{{"left", d.presentRect.left},
                                  {"top", d.presentRect.top},
                                  {"right", d.presentRect.right},
                                  {"bottom", d.presentRect.bottom}}},
      {"path", Q(d.presentation.path)},
      {"nominalRefreshS", d.presentation.nominalRefreshS},
      {"measuredRefreshS", d.presentation.measuredRefreshS},
      {"fellBackToRaster", d.presentation.fellBackToRaster},
      {"onsetSources", sources}};

  // The timing check's figures for this test alone, from its own frames and
  // touches: what an analyst needs to judge its times at a glance.
  int frameCount = 0, unconfirmed = 0, missed = 0, stamped = 0, sampled = 0;
  double worstUncertainty = 0;
  std::vector<double> returnToOnset;
  for (const SessionTrial& t : r.trials) {
    for (const SessionFrame& f : t.frames) {
      ++frameCount;
      if (f.source == OnsetSource::kNone) {
        ++unconfirmed;
      } else {
        returnToOnset.push_back(f.onsetMs - f.returnMs);
      }
      if (f.missedRefreshes > 0) ++missed;
      worstUncertainty = std::max(worstUncertainty, f.uncertaintyMs);
    }
    for (const SessionTouch& x : t.touches) (x.source == TouchTimeSource::kStamp ? stamped : sampled)++;
  }
  std::sort(returnToOnset.begin(), returnToOnset.end());
  const QJsonObject timingCheck{
      {"frames", frameCount},
      {"unconfirmedFrames", unconfirmed},
      {"missedRefreshes", missed},
      {"worstUncertaintyMs", worstUncertainty},
      {"returnToOnsetMs",
       QJsonObject{{"median", returnToOnset.empty() ? 0.0 : returnToOnset[returnToOnset.size() / 2]},
                   {"worst", returnToOnset.empty() ? 0.0 : returnToOnset.back()}}},
      {"stampedTouches", stamped},
      {"sampledTouches", sampled}};

  QJsonArray trials;
  for (const SessionTrial& t : r.trials) {
    QJsonArray cells;
    for (int32_t c : t.cells) cells.append(c);
    QJsonArray frames;
    for (const SessionFrame& f : t.frames) {
      frames.append(QJsonObject{{"kind", FrameKindName(f.kind)},
                                {"patch", PatchNumber(f.patch)},
                                {"onsetMs", f.onsetMs},
                                {"uncertaintyMs", f.uncertaintyMs},
                                {"requestMs", f.requestMs},
                                {"returnMs", f.returnMs},
                                {"source", OnsetSourceName(f.source)},
                                {"missedRefreshes", f.missedRefreshes}});
    }
    QJsonArray touches;
    for (const SessionTouch& x : t.touches) {
      touches.append(QJsonObject{{"timeMs", x.timeMs},
                                 {"source", TimeSourceName(x.source)},
                                 {"screenX", x.screenX},
                                 {"screenY", x.screenY},
                                 {"canvasX", x.canvasX},
                                 {"canvasY", x.canvasY},
                                 {"patch", PatchNumber(x.patch)},
                                 {"judgement", TouchJudgementName(x.judgement)},
                                 {"beforeOnset", x.beforeOnset}});
    }
    const TrialRecord& row = t.row;
    trials.append(QJsonObject{
        {"Trial", row.Trial},
        {"NItems", row.NItems},
        {"NCorrect", row.NCorrect},
        {"RT1", row.RT1},
        {"RT2", row.RT2},
        {"Error", row.Error},
        {"Rev", row.Rev},
        {"cells", cells},
        {"rt1ZeroNs", static_cast<qint64>(t.rt1ZeroNs)},
        {"rt2ZeroMs", t.hasRt2Zero ? QJsonValue(t.rt2ZeroMs) : QJsonValue(QJsonValue::Null)},
        {"frames", frames},
        {"touches", touches}});
  }
  const QJsonObject root{{"format", kSessionFormat},
                         {"version", QStringLiteral("%1.%2").arg(kSessionMajor).arg(kSessionMinor)},
                         {"program", program},
                         {"started", Q(r.started)},
                         {"ended", Q(r.ended)},
                         {"settings", settings},
                         {"result", result},
                         {"stimuli", stimuli},
                         {"display", display},
                         {"layouts", LayoutsJson(r.layouts)},
                         {"timingCheck", timingCheck},
                         {"trials", trials}};
  // Compact: a folder of thousands is read at once, and parsing time follows the size.
  return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

bool ParseSessionRecord(const QByteArray& bytes, SessionRecord* out, std::string* reason,
                        bool keepEvents) {
  if (bytes.trimmed().isEmpty()) {
    *reason = "empty file";
    return false;
  }
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError) {
    *reason = JsonFailure(bytes, error);
    return false;
  }
  if (!doc.isObject()) {
    *reason = "not a session record: no JSON object";
    return false;
  }
  const QJsonObject root = doc.object();
  const QJsonValue format = root.value(QLatin1String("format"));
  if (!format.isString()) {
    *reason = "not a session record: no format name";
    return false;
  }
  if (format.toString() != QLatin1String(kSessionFormat)) {
    *reason =
        "not a session record: its format is \"" + format.toString().left(60).toStdString() + "\"";
    return false;
  }
  SessionRecord r;
  const QString version = root.value(QLatin1String("version")).toString();
  if (!ParseVersion(version, &r.formatMajor, &r.formatMinor)) {
    *reason = "unreadable format version \"" + version.left(20).toStdString() + "\"";
    return false;
  }
  if (r.formatMajor != kSessionMajor) {
    *reason = "format version " + version.toStdString() +
              (r.formatMajor > kSessionMajor ? " is newer than this program reads ("
                                             : " is older than this program reads (") +
              std::to_string(kSessionMajor) + ".x)";
    return false;
  }

  Reader rd;
  const Path top;
  const QJsonObject program = rd.Object(root, top.Member("program"));
  const Path programAt = top.Member("program");
  r.programName = rd.String(program, programAt.Member("name"));
  r.programVersion = rd.String(program, programAt.Member("version"));
  r.started = rd.String(root, top.Member("started"));
  r.ended = rd.String(root, top.Member("ended"));

  const Path ws = top.Member("settings");
  const QJsonObject s = rd.Object(root, ws);
  r.settings.subject = rd.String(s, ws.Member("subject"));
  r.settings.random_seed = rd.Int(s, ws.Member("random_seed"));
  r.settings.memtime = rd.Int(s, ws.Member("memtime"));
  r.settings.max_rev = rd.Int(s, ws.Member("max_rev"));
  r.settings.hide_mouse = rd.Int(s, ws.Member("hide_mouse"));
  r.settings.flag_feedback = rd.Int(s, ws.Member("flag_feedback"));
  r.settings.flag_ranking = rd.Int(s, ws.Member("flag_ranking"));

  const Path wres = top.Member("result");
  const QJsonObject result = rd.Object(root, wres);
  r.trialsRun = rd.Int(result, wres.Member("trialsRun"), 0, kMaxTrials);
  r.reversals = rd.Int(result, wres.Member("reversals"));
  const QJsonValue score = rd.Member(result, wres.Member("score"));
  r.hasScore = !score.isNull();
  if (r.hasScore) r.score = rd.Number(score, wres.Member("score"));

  const Path wst = top.Member("stimuli");
  const QJsonArray stimuli = rd.Array(root, wst);
  for (qsizetype k = 0; !rd.failed && k < stimuli.size(); ++k) {
    const Path at = wst.Element(k);
    const QJsonObject o = rd.Object(stimuli[k], at);
    StimulusRecord st;
    st.file = rd.String(o, at.Member("file"));
    st.use = static_cast<StimulusUse>(rd.Name(o, at.Member("use"), kUseNames));
    if (st.use == StimulusUse::kFile) st.sha256 = rd.String(o, at.Member("sha256"));
    r.stimuli.push_back(st);
  }

  const Path wd = top.Member("display");
  const QJsonObject d = rd.Object(root, wd);
  const Path wsz = wd.Member("ScreenSize");
  const QJsonObject screen = rd.Object(d, wsz);
  r.display.screenWidth = rd.Int(screen, wsz.Member("width"));
  r.display.screenHeight = rd.Int(screen, wsz.Member("height"));
  const Path wr = wd.Member("PresentRect");
  const QJsonObject rect = rd.Object(d, wr);
  r.display.presentRect = {rd.Int(rect, wr.Member("left")), rd.Int(rect, wr.Member("top")),
                           rd.Int(rect, wr.Member("right")), rd.Int(rect, wr.Member("bottom"))};
  r.display.presentation.path = rd.String(d, wd.Member("path"));
  r.display.presentation.nominalRefreshS = rd.Number(d, wd.Member("nominalRefreshS"));
  r.display.presentation.measuredRefreshS = rd.Number(d, wd.Member("measuredRefreshS"));
  r.display.presentation.fellBackToRaster = rd.Bool(d, wd.Member("fellBackToRaster"));
  const Path wsrc = wd.Member("onsetSources");
  const QJsonObject sources = rd.Object(d, wsrc);
  for (auto it = sources.begin(); !rd.failed && it != sources.end(); ++it) {
    const QString key = it.key();
    const int32_t count =
        static_cast<int32_t>(rd.Whole(it.value(), wsrc.Named(&key), 0, INT32_MAX));
    r.display.onsetSources.emplace_back(key.toStdString(), count);
  }

  ReadLayouts(rd, root, top.Member("layouts"), &r.layouts);

  const Path wt = top.Member("trials");
  const QJsonArray trials = rd.Array(root, wt);
  if (!rd.failed && trials.size() != r.trialsRun)
    rd.Fail(wt, "does not hold result.trialsRun entries");
  r.trials.resize(rd.failed ? 0 : static_cast<size_t>(trials.size()));
  for (qsizetype k = 0; !rd.failed && k < trials.size(); ++k) {
    const Path at = wt.Element(k);
    ReadTrial(rd, rd.Object(trials[k], at), at, keepEvents, &r.trials[static_cast<size_t>(k)]);
  }
  if (rd.failed) {
    *reason = "damaged: " + rd.reason;
    return false;
  }
  const std::string impossible = ImpossibleValue(r);
  if (!impossible.empty()) {
    *reason = "impossible: " + impossible;
    return false;
  }
  *out = std::move(r);
  return true;
}

std::string FileNamePart(const std::string& subject) {
  constexpr size_t kMaxPart = 120;
  static const char kHex[] = "0123456789ABCDEF";
  std::string part;
  for (const char c : subject) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
                       u == '-' || u == '_';
    const size_t width = plain ? 1 : 3;
    if (part.size() + width > kMaxPart) break;
    if (plain) {
      part += c;
    } else {
      part += '%';
      part += kHex[u >> 4];
      part += kHex[u & 15];
    }
  }
  return part;
}

std::string SessionFileStem(const std::string& subject, const QDateTime& ended) {
  return FileNamePart(subject) + "_" +
         ended.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
}

bool SaveSessionRecord(const std::string& folder, const SessionRecord& record,
                       const QDateTime& ended, std::string* path, std::string* reason) {
  const std::string stem = SessionFileStem(record.settings.subject, ended);
  std::vector<std::string> names{stem + ".json"};
  for (int k = 2; k <= kMaxNameSuffix; ++k)
    names.push_back(stem + "-" + std::to_string(k) + ".json");
  std::string name;
  const bool ok = file_io::WriteNewFileDurably(folder, names, SessionRecordJson(record), &name, reason);
  *path = folder + "/" + name;
  return ok;
}

int WriteSessionRecord(const SessionInputs& in) {
  std::string path;
  std::string reason;
  if (SaveSessionRecord(kSessionFolder, MakeSessionRecord(in), in.ended, &path, &reason)) return 1;
  ui::AppMessageBox("Cannot write the session record [" + path + "] (" + reason +
                        "). The subject file and the log are not affected.",
                    ui::kMbOk | ui::kMbIconWarning);
  return 0;
}

}  // namespace results
