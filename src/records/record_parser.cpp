#include "records/record_parser.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "records/json_member_order.h"
#include "records/record_names.h"
#include "records/session_values.h"
#include "timing/trial_timing.h"

namespace results {

namespace {

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
    // `what` is marked for translation where it is written.
    if (!failed) {
      reason = QCoreApplication::translate("Records", "%1 %2")
                   .arg(at.Text(), QCoreApplication::translate("Records", what))
                   .toStdString();
    }
    failed = true;
    return false;
  }

  QJsonValue Member(const QJsonObject& o, const Path& at) {
    const QJsonValue v = o.value(QLatin1String(at.key));
    if (v.isUndefined()) Fail(at, QT_TRANSLATE_NOOP("Records", "is missing"));
    return v;
  }

  QJsonObject Object(const QJsonValue& v, const Path& at) {
    if (!failed && !v.isObject()) Fail(at, QT_TRANSLATE_NOOP("Records", "is not an object"));
    return v.toObject();
  }

  QJsonObject Object(const QJsonObject& o, const Path& at) { return Object(Member(o, at), at); }

  QJsonArray Array(const QJsonObject& o, const Path& at) {
    const QJsonValue v = Member(o, at);
    if (!failed && !v.isArray()) Fail(at, QT_TRANSLATE_NOOP("Records", "is not a list"));
    return v.toArray();
  }

  std::string String(const QJsonObject& o, const Path& at) {
    const QJsonValue v = Member(o, at);
    if (!failed && !v.isString()) Fail(at, QT_TRANSLATE_NOOP("Records", "is not a text"));
    return v.toString().toStdString();
  }

  // A member later minor versions added: `absent` where a record lacks it.
  bool OptionalBool(const QJsonObject& o, const Path& at, bool absent) {
    if (!o.contains(QLatin1String(at.key))) return absent;
    return Bool(o, at);
  }

  bool Bool(const QJsonObject& o, const Path& at) {
    const QJsonValue v = Member(o, at);
    if (!failed && !v.isBool()) Fail(at, QT_TRANSLATE_NOOP("Records", "is not true or false"));
    return v.toBool();
  }

  double Number(const QJsonValue& v, const Path& at) {
    if (failed) return 0;
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
      Fail(at, QT_TRANSLATE_NOOP("Records", "is not a number"));
    return v.toDouble();
  }

  double Number(const QJsonObject& o, const Path& at) { return Number(Member(o, at), at); }

  // A whole number within [low, high]; never converts a value out of range.
  int64_t Whole(const QJsonValue& v, const Path& at, int64_t low, int64_t high) {
    if (failed) return 0;
    const double d = v.toDouble();
    if (!v.isDouble() || !std::isfinite(d) || std::floor(d) != d) {
      Fail(at, QT_TRANSLATE_NOOP("Records", "is not a whole number"));
      return 0;
    }
    if (d < static_cast<double>(low) || d > static_cast<double>(high)) {
      Fail(at, QT_TRANSLATE_NOOP("Records", "is out of range"));
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
  int Name(const QJsonObject& o, const Path& at, const NameTable& names) {
    const QJsonValue v = Member(o, at);
    if (failed) return 0;
    if (!v.isString()) return Fail(at, QT_TRANSLATE_NOOP("Records", "is not a text")), 0;
    const QString text = v.toString();
    for (int i = 0; i < names.count; ++i)
      if (text == QLatin1String(names.names[i])) return i;
    Fail(at, QT_TRANSLATE_NOOP("Records", "is not a known name"));
    return 0;
  }
};

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
      if (atEnd) {
        return QCoreApplication::translate("Records", "truncated: the file ends after %1 bytes")
            .arg(bytes.size())
            .toStdString();
      }
      break;
    default:
      break;
  }
  return QCoreApplication::translate("Records", "not JSON: %1 at byte %2")
      .arg(error.errorString())
      .arg(error.offset)
      .toStdString();
}

void ReadFrame(Reader& r, const QJsonObject& o, const Path& at, SessionFrame* f) {
  f->kind = static_cast<FrameKind>(r.Name(o, at.Member("kind"), FrameKindNames()));
  f->patch = r.Patch(o, at.Member("patch"));
  static constexpr std::pair<const char*, double SessionFrame::*> kTimes[] = {
      {"onsetMs", &SessionFrame::onsetMs},
      {"uncertaintyMs", &SessionFrame::uncertaintyMs},
      {"requestMs", &SessionFrame::requestMs},
      {"returnMs", &SessionFrame::returnMs}};
  for (const auto& [name, field] : kTimes) f->*field = r.Number(o, at.Member(name));
  f->source = static_cast<OnsetSource>(r.Name(o, at.Member("source"), OnsetSourceNames()));
  f->missedRefreshes = r.Int(o, at.Member("missedRefreshes"), 0);
}

void ReadTouch(Reader& r, const QJsonObject& o, const Path& at, SessionTouch* t) {
  t->timeMs = r.Number(o, at.Member("timeMs"));
  t->source = static_cast<TouchTimeSource>(r.Name(o, at.Member("source"), TouchTimeSourceNames()));
  static constexpr std::pair<const char*, int32_t SessionTouch::*> kPositions[] = {
      {"screenX", &SessionTouch::screenX},
      {"screenY", &SessionTouch::screenY},
      {"canvasX", &SessionTouch::canvasX},
      {"canvasY", &SessionTouch::canvasY}};
  for (const auto& [name, field] : kPositions) t->*field = r.Int(o, at.Member(name));
  t->patch = r.Patch(o, at.Member("patch"));
  t->judgement =
      static_cast<TouchJudgement>(r.Name(o, at.Member("judgement"), TouchJudgementNames()));
  t->beforeOnset = r.OptionalBool(o, at.Member("beforeOnset"), false);
}

// The list `at` of events, each read by `readOne`: checked either way, kept
// in `*kept` only when asked for.
template <typename Event>
void ReadEventList(Reader& r, const QJsonObject& o, const Path& at, bool keepEvents,
                   void (*readOne)(Reader&, const QJsonObject&, const Path&, Event*),
                   std::vector<Event>* kept) {
  const QJsonArray events = r.Array(o, at);
  Event scratch;
  if (keepEvents) kept->resize(static_cast<size_t>(events.size()));
  for (qsizetype k = 0; !r.failed && k < events.size(); ++k) {
    const Path eventAt = at.Element(k);
    readOne(r, r.Object(events[k], eventAt), eventAt,
            keepEvents ? &(*kept)[static_cast<size_t>(k)] : &scratch);
  }
}

void ReadEvents(Reader& r, const QJsonObject& o, const Path& at, bool keepEvents, SessionTrial* t) {
  ReadEventList(r, o, at.Member("frames"), keepEvents, ReadFrame, &t->frames);
  ReadEventList(r, o, at.Member("touches"), keepEvents, ReadTouch, &t->touches);
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
  if (cells.size() > kMaxPatches)
    r.Fail(cellsAt, QT_TRANSLATE_NOOP("Records", "has more than 20 entries"));
  for (qsizetype k = 0; !r.failed && k < cells.size(); ++k)
    t->cells.push_back(static_cast<int32_t>(r.Whole(cells[k], cellsAt.Element(k), 0, 24)));
  const Path zeroAt = at.Member("rt1ZeroNs");
  t->rt1ZeroNs = r.Whole(r.Member(o, zeroAt), zeroAt, std::numeric_limits<int64_t>::min() / 2,
                         std::numeric_limits<int64_t>::max() / 2);
  const Path rt2At = at.Member("rt2ZeroMs");
  const QJsonValue rt2 = r.Member(o, rt2At);
  t->hasRt2Zero = !rt2.isNull();
  if (t->hasRt2Zero) t->rt2ZeroMs = r.Number(rt2, rt2At);
  ReadEvents(r, o, at, keepEvents, t);
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

// The JSON, the format's name and its major version: false with `*reason`
// when the bytes are not a record this program reads.
bool ReadHead(const QByteArray& bytes, QJsonObject* root, SessionRecord* r, std::string* reason) {
  if (bytes.trimmed().isEmpty()) {
    *reason = QCoreApplication::translate("Records", "empty file").toStdString();
    return false;
  }
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError) {
    *reason = JsonFailure(bytes, error);
    return false;
  }
  if (!doc.isObject()) {
    *reason = QCoreApplication::translate("Records", "not a session record: no JSON object")
                  .toStdString();
    return false;
  }
  *root = doc.object();
  const QJsonValue format = root->value(QLatin1String("format"));
  if (!format.isString()) {
    *reason = QCoreApplication::translate("Records", "not a session record: no format name")
                  .toStdString();
    return false;
  }
  if (format.toString() != QLatin1String(kSessionFormat)) {
    *reason = QCoreApplication::translate("Records", "not a session record: its format is \"%1\"")
                  .arg(format.toString().left(60))
                  .toStdString();
    return false;
  }
  const QString version = root->value(QLatin1String("version")).toString();
  if (!ParseVersion(version, &r->formatMajor, &r->formatMinor)) {
    *reason = QCoreApplication::translate("Records", "unreadable format version \"%1\"")
                  .arg(version.left(20))
                  .toStdString();
    return false;
  }
  if (r->formatMajor != kSessionMajor) {
    *reason = (r->formatMajor > kSessionMajor
                   ? QCoreApplication::translate(
                         "Records", "format version %1 is newer than this program reads (%2.x)")
                   : QCoreApplication::translate(
                         "Records", "format version %1 is older than this program reads (%2.x)"))
                  .arg(version)
                  .arg(kSessionMajor)
                  .toStdString();
    return false;
  }
  return true;
}

void ReadProgram(Reader& rd, const QJsonObject& root, const Path& top, SessionRecord* r) {
  const QJsonObject program = rd.Object(root, top.Member("program"));
  const Path programAt = top.Member("program");
  r->programName = rd.String(program, programAt.Member("name"));
  r->programVersion = rd.String(program, programAt.Member("version"));
  r->started = rd.String(root, top.Member("started"));
  r->ended = rd.String(root, top.Member("ended"));
}

void ReadSettings(Reader& rd, const QJsonObject& root, const Path& ws, TestSettings* settings) {
  // Read in this order: the first that fails is the one the reason names.
  static constexpr std::pair<const char*, int32_t TestSettings::*> kNumbers[] = {
      {"random_seed", &TestSettings::random_seed},
      {"memtime", &TestSettings::memtime},
      {"max_rev", &TestSettings::max_rev},
      {"hide_mouse", &TestSettings::hide_mouse},
      {"flag_feedback", &TestSettings::flag_feedback},
      {"flag_ranking", &TestSettings::flag_ranking}};
  const QJsonObject s = rd.Object(root, ws);
  settings->subject = rd.String(s, ws.Member("subject"));
  for (const auto& [name, field] : kNumbers) settings->*field = rd.Int(s, ws.Member(name));
}

void ReadResult(Reader& rd, const QJsonObject& root, const Path& wres, SessionRecord* r) {
  const QJsonObject result = rd.Object(root, wres);
  r->trialsRun = rd.Int(result, wres.Member("trialsRun"), 0, kMaxTrials);
  r->reversals = rd.Int(result, wres.Member("reversals"));
  const QJsonValue score = rd.Member(result, wres.Member("score"));
  r->hasScore = !score.isNull();
  if (r->hasScore) r->score = rd.Number(score, wres.Member("score"));
}

void ReadStimuli(Reader& rd, const QJsonObject& root, const Path& wst,
                 std::vector<StimulusRecord>* out) {
  const QJsonArray stimuli = rd.Array(root, wst);
  for (qsizetype k = 0; !rd.failed && k < stimuli.size(); ++k) {
    const Path at = wst.Element(k);
    const QJsonObject o = rd.Object(stimuli[k], at);
    StimulusRecord st;
    st.file = rd.String(o, at.Member("file"));
    st.use = static_cast<StimulusUse>(rd.Name(o, at.Member("use"), StimulusUseNames()));
    if (st.use == StimulusUse::kFile) st.sha256 = rd.String(o, at.Member("sha256"));
    out->push_back(st);
  }
}

void ReadDisplay(Reader& rd, const QJsonObject& root, const Path& wd, SessionDisplay* display) {
  const QJsonObject d = rd.Object(root, wd);
  const Path wsz = wd.Member("ScreenSize");
  const QJsonObject screen = rd.Object(d, wsz);
  display->screenWidth = rd.Int(screen, wsz.Member("width"));
  display->screenHeight = rd.Int(screen, wsz.Member("height"));
  const Path wr = wd.Member("PresentRect");
  const QJsonObject rect = rd.Object(d, wr);
  display->presentRect = {rd.Int(rect, wr.Member("left")), rd.Int(rect, wr.Member("top")),
                          rd.Int(rect, wr.Member("right")), rd.Int(rect, wr.Member("bottom"))};
  display->presentation.path = rd.String(d, wd.Member("path"));
  display->presentation.nominalRefreshS = rd.Number(d, wd.Member("nominalRefreshS"));
  display->presentation.measuredRefreshS = rd.Number(d, wd.Member("measuredRefreshS"));
  display->presentation.fellBackToRaster = rd.Bool(d, wd.Member("fellBackToRaster"));
  const Path wsrc = wd.Member("onsetSources");
  const QJsonObject sources = rd.Object(d, wsrc);
  for (auto it = sources.begin(); !rd.failed && it != sources.end(); ++it) {
    const QString key = it.key();
    const int32_t count =
        static_cast<int32_t>(rd.Whole(it.value(), wsrc.Named(&key), 0, INT32_MAX));
    display->onsetSources.emplace_back(key.toStdString(), count);
  }
}

// From 1.3 on; a record without them is a completed test.
void ReadOutcome(Reader& rd, const QJsonObject& root, const Path& top, SessionRecord* r) {
  const Path outcomeAt = top.Member("outcome");
  if (root.contains(QLatin1String(outcomeAt.key)))
    r->outcome = static_cast<SessionOutcome>(rd.Name(root, outcomeAt, SessionOutcomeNames()));
  const Path at = top.Member("abort");
  const QJsonValue v = root.value(QLatin1String(at.key));
  if (v.isUndefined() || v.isNull()) return;
  const QJsonObject o = rd.Object(v, at);
  AbortPoint& a = r->abort;
  a.how = static_cast<AbortHow>(rd.Name(o, at.Member("how"), AbortHowNames()));
  a.trial = rd.Int(o, at.Member("trial"), 1, kMaxTrials);
  a.phase = static_cast<TrialPhase>(rd.Name(o, at.Member("phase"), TrialPhaseNames()));
  a.stopped = !rd.failed;
}

void ReadTrials(Reader& rd, const QJsonObject& root, const Path& wt, bool keepEvents,
                SessionRecord* r) {
  const QJsonArray trials = rd.Array(root, wt);
  if (!rd.failed && trials.size() != r->trialsRun)
    rd.Fail(wt, QT_TRANSLATE_NOOP("Records", "does not hold result.trialsRun entries"));
  r->trials.resize(rd.failed ? 0 : static_cast<size_t>(trials.size()));
  for (qsizetype k = 0; !rd.failed && k < trials.size(); ++k) {
    const Path at = wt.Element(k);
    ReadTrial(rd, rd.Object(trials[k], at), at, keepEvents, &r->trials[static_cast<size_t>(k)]);
  }
}

// The members of 1.3 that a record may leave out: the participant's fields
// (texts, in the register's order) and why the register was not used.
void ReadOptional(Reader& rd, const QByteArray& bytes, const QJsonObject& root, const Path& top,
                  SessionRecord* r) {
  const Path noteAt = top.Member("participantNote");
  if (root.contains(QLatin1String(noteAt.key))) r->participantNote = rd.String(root, noteAt);
  const Path at = top.Member("participant");
  if (!root.contains(QLatin1String(at.key))) return;
  const QJsonObject fields = rd.Object(root, at);
  const std::vector<QString> order = TopMemberKeys(bytes, QStringLiteral("participant"));
  if (!rd.failed && order.size() != static_cast<size_t>(fields.size()))
    rd.Fail(at, "names a column twice");
  for (size_t k = 0; !rd.failed && k < order.size(); ++k) {
    const QJsonValue v = fields.value(order[k]);
    if (!v.isString()) rd.Fail(at.Named(&order[k]), "is not a text");
    r->participant.emplace_back(order[k].toStdString(), v.toString().toStdString());
  }
  r->hasParticipant = !rd.failed;
}

}  // namespace

bool ParseSessionRecord(const QByteArray& bytes, SessionRecord* out, std::string* reason,
                        bool keepEvents) {
  SessionRecord r;
  QJsonObject root;
  if (!ReadHead(bytes, &root, &r, reason)) return false;
  Reader rd;
  const Path top;
  ReadProgram(rd, root, top, &r);
  ReadSettings(rd, root, top.Member("settings"), &r.settings);
  ReadOutcome(rd, root, top, &r);
  ReadResult(rd, root, top.Member("result"), &r);
  ReadStimuli(rd, root, top.Member("stimuli"), &r.stimuli);
  ReadDisplay(rd, root, top.Member("display"), &r.display);
  ReadLayouts(rd, root, top.Member("layouts"), &r.layouts);
  ReadTrials(rd, root, top.Member("trials"), keepEvents, &r);
  ReadOptional(rd, bytes, root, top, &r);
  if (rd.failed) {
    *reason = QCoreApplication::translate("Records", "damaged: %1")
                  .arg(QString::fromStdString(rd.reason))
                  .toStdString();
    return false;
  }
  const std::string impossible = ImpossibleValue(r);
  if (!impossible.empty()) {
    *reason = QCoreApplication::translate("Records", "impossible: %1")
                  .arg(QString::fromStdString(impossible))
                  .toStdString();
    return false;
  }
  *out = std::move(r);
  return true;
}

}  // namespace results
