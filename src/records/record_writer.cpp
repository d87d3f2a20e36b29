#include "records/record_writer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>
#include <vector>

#include "timing/trial_timing.h"
#include "records/record_names.h"

namespace results {

namespace {

// Each section is one member of the record's top object; the document sorts
// members by name, so the order they are built in does not show in the file.

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

QJsonValue PatchNumber(int32_t row) {
  return row >= 0 ? QJsonValue(row + 1) : QJsonValue(QJsonValue::Null);
}

QJsonObject SettingsJson(const TestSettings& s) {
  return QJsonObject{{"subject", Q(s.subject)},       {"random_seed", s.random_seed},
                     {"memtime", s.memtime},          {"max_rev", s.max_rev},
                     {"hide_mouse", s.hide_mouse},    {"flag_feedback", s.flag_feedback},
                     {"flag_ranking", s.flag_ranking}};
}

QJsonObject ResultJson(const SessionRecord& r) {
  return QJsonObject{{"trialsRun", r.trialsRun},
                     {"reversals", r.reversals},
                     {"score", r.hasScore ? QJsonValue(r.score) : QJsonValue(QJsonValue::Null)}};
}

QJsonArray StimuliJson(const std::vector<StimulusRecord>& all) {
  QJsonArray stimuli;
  for (const StimulusRecord& st : all) {
    QJsonObject o{{"file", Q(st.file)}, {"use", StimulusUseName(st.use)}};
    if (st.use == StimulusUse::kFile) o.insert("sha256", Q(st.sha256));
    stimuli.append(o);
  }
  return stimuli;
}

QJsonObject DisplayJson(const SessionDisplay& d) {
  QJsonObject sources;
  for (const auto& [name, count] : d.onsetSources) sources.insert(Q(name), count);
  return QJsonObject{
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
}

// Written from 1.2 on; null where the position was not known.
QJsonValue LayoutsJson(const SessionLayouts& l) {
  if (!l.known) return QJsonValue(QJsonValue::Null);
  return QJsonObject{{"randomStart", static_cast<qint64>(l.randomStart)},
                     {"drawsBefore", static_cast<qint64>(l.drawsBefore)},
                     {"generatorState", static_cast<qint64>(l.generatorState)}};
}

// Written from 1.3 on; null for a run that went to its end.
QJsonValue AbortJson(const AbortPoint& a) {
  if (!a.stopped) return QJsonValue(QJsonValue::Null);
  return QJsonObject{{"how", AbortHowName(a.how)},
                     {"trial", a.trial},
                     {"phase", TrialPhaseName(a.phase)}};
}

// The timing check's figures for this test alone, from its own frames and
// touches: what an analyst needs to judge its times at a glance. Taken from
// the record's rounded times, so that a record read back gives the same.
QJsonObject TimingCheckJson(const std::vector<SessionTrial>& all) {
  int frameCount = 0, unconfirmed = 0, missed = 0, stamped = 0, sampled = 0;
  double worstUncertainty = 0;
  std::vector<double> returnToOnset;
  for (const SessionTrial& t : all) {
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
    for (const SessionTouch& x : t.touches)
      (x.source == TouchTimeSource::kStamp ? stamped : sampled)++;
  }
  std::sort(returnToOnset.begin(), returnToOnset.end());
  return QJsonObject{
      {"frames", frameCount},
      {"unconfirmedFrames", unconfirmed},
      {"missedRefreshes", missed},
      {"worstUncertaintyMs", worstUncertainty},
      {"returnToOnsetMs",
       QJsonObject{
           {"median", returnToOnset.empty() ? 0.0 : returnToOnset[returnToOnset.size() / 2]},
           {"worst", returnToOnset.empty() ? 0.0 : returnToOnset.back()}}},
      {"stampedTouches", stamped},
      {"sampledTouches", sampled}};
}

QJsonObject FrameJson(const SessionFrame& f) {
  return QJsonObject{{"kind", FrameKindName(f.kind)},
                     {"patch", PatchNumber(f.patch)},
                     {"onsetMs", f.onsetMs},
                     {"uncertaintyMs", f.uncertaintyMs},
                     {"requestMs", f.requestMs},
                     {"returnMs", f.returnMs},
                     {"source", OnsetSourceName(f.source)},
                     {"missedRefreshes", f.missedRefreshes}};
}

QJsonObject TouchJson(const SessionTouch& x) {
  return QJsonObject{{"timeMs", x.timeMs},
                     {"source", TouchTimeSourceName(x.source)},
                     {"screenX", x.screenX},
                     {"screenY", x.screenY},
                     {"canvasX", x.canvasX},
                     {"canvasY", x.canvasY},
                     {"patch", PatchNumber(x.patch)},
                     {"judgement", TouchJudgementName(x.judgement)},
                     {"beforeOnset", x.beforeOnset}};
}

QJsonObject TrialJson(const SessionTrial& t) {
  QJsonArray cells;
  for (int32_t c : t.cells) cells.append(c);
  QJsonArray frames;
  for (const SessionFrame& f : t.frames) frames.append(FrameJson(f));
  QJsonArray touches;
  for (const SessionTouch& x : t.touches) touches.append(TouchJson(x));
  const TrialRecord& row = t.row;
  return QJsonObject{
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
      {"touches", touches}};
}

// One JSON text as it stands in a document: quoted and escaped.
QByteArray JsonText(const std::string& s) {
  const QByteArray list = QJsonDocument(QJsonArray{Q(s)}).toJson(QJsonDocument::Compact);
  return list.mid(1, list.size() - 2);
}

// The register's columns in the register's order, which an object built
// through QJsonObject would sort away: written by hand.
QByteArray ParticipantJson(const ParticipantFields& fields) {
  QByteArray text = "{";
  for (const auto& [column, value] : fields) {
    if (text.size() > 1) text += ',';
    text += JsonText(column) + ':' + JsonText(value);
  }
  return text + '}';
}

}  // namespace

QByteArray SessionRecordJson(const SessionRecord& r) {
  QJsonArray trials;
  for (const SessionTrial& t : r.trials) trials.append(TrialJson(t));
  QJsonObject root{
      {"format", kSessionFormat},
      {"version", QStringLiteral("%1.%2").arg(kSessionMajor).arg(kSessionMinor)},
      {"program", QJsonObject{{"name", Q(r.programName)}, {"version", Q(r.programVersion)}}},
      {"started", Q(r.started)},
      {"ended", Q(r.ended)},
      {"settings", SettingsJson(r.settings)},
      {"outcome", SessionOutcomeName(r.outcome)},
      {"abort", AbortJson(r.abort)},
      {"result", ResultJson(r)},
      {"stimuli", StimuliJson(r.stimuli)},
      {"display", DisplayJson(r.display)},
      {"layouts", LayoutsJson(r.layouts)},
      {"timingCheck", TimingCheckJson(r.trials)},
      {"trials", trials}};
  if (!r.participantNote.empty()) root.insert("participantNote", Q(r.participantNote));
  // Compact: a folder of thousands is read at once, and parsing time follows the size.
  QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Compact);
  if (r.hasParticipant) {
    json.chop(1);  // the top object's closing brace
    json += ",\"participant\":" + ParticipantJson(r.participant) + '}';
  }
  return json;
}

}  // namespace results
