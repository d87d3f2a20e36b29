#include "records/session_values.h"

#include <QLocale>
#include <QString>

namespace results {
namespace {

// "<where> is <value>, <rule>".
std::string Says(const std::string& where, const QString& value, const char* rule) {
  return where + " is " + value.toStdString() + ", " + rule;
}

std::string Number(double v) {
  return QString::number(v, 'g', QLocale::FloatingPointShortest).toStdString();
}

bool Within(long long v, long long low, long long high) {
  return v >= low && v <= high;
}

// `interrupted`: the trial an abort cut short, whose row holds only what it got to.
std::string TrialFault(const SessionTrial& t, size_t k, int32_t reversals, bool interrupted) {
  const std::string at = "trials[" + std::to_string(k) + "].";
  const TrialRecord& row = t.row;
  if (row.Trial != static_cast<int32_t>(k) + 1)
    return Says(at + "Trial", QString::number(row.Trial), "not its place in the list");
  if (!Within(row.NItems, 1, kMaxPatches))
    return Says(at + "NItems", QString::number(row.NItems), "not 1 to 20");
  if (!Within(row.NCorrect, 0, row.NItems))
    return Says(at + "NCorrect", QString::number(row.NCorrect), "not 0 to NItems");
  if (row.RT1 < 0) return Says(at + "RT1", QString::number(row.RT1), "a negative time");
  if (row.RT2 < 0) return Says(at + "RT2", QString::number(row.RT2), "a negative time");
  if (!Within(row.Error, 0, 1)) return Says(at + "Error", QString::number(row.Error), "not 0 or 1");
  // A trial that ran to its end without an error found every patch.
  if (!interrupted && row.Error == 0 && row.NCorrect != row.NItems)
    return Says(at + "NCorrect", QString::number(row.NCorrect), "not NItems in a trial without error");
  if (!Within(row.Rev, 0, reversals))
    return Says(at + "Rev", QString::number(row.Rev), "not 0 to result.reversals");
  return {};
}

// How the run ended against what it holds: only a stopped run may end on a
// trial cut short, or before its first display.
std::string OutcomeFault(const SessionRecord& r) {
  const bool completedTest = r.outcome == SessionOutcome::kCompleted;
  if (completedTest && r.abort.stopped)
    return Says("abort", QString::fromLatin1(AbortHowName(r.abort.how)),
                "not null for a completed test");
  if (r.outcome == SessionOutcome::kAborted && !r.abort.stopped)
    return Says("abort", QStringLiteral("null"), "not how an aborted test stopped");
  if (r.hasScore && !completedTest)
    return Says("result.score", QString::fromStdString(Number(r.score)),
                "not null for a run that is not a completed test");
  if (r.abort.stopped) {
    const int32_t upTo = r.abort.trial - (r.abort.TrialShown() ? 0 : 1);
    if (r.trialsRun != upTo)
      return Says("result.trialsRun", QString::number(r.trialsRun),
                  "not the trials up to abort.trial");
    return {};
  }
  if (!Within(r.trialsRun, 1, kMaxTrials))
    return Says("result.trialsRun", QString::number(r.trialsRun), "not 1 to 200");
  return {};
}

}  // namespace

std::string ImpossibleValue(const SessionRecord& r) {
  if (r.settings.memtime < 0)
    return Says("settings.memtime", QString::number(r.settings.memtime), "a negative time");
  // The reader has already refused more than the 200 trials a test may run.
  std::string fault = OutcomeFault(r);
  if (!fault.empty()) return fault;
  if (!Within(r.reversals, 0, r.trialsRun))
    return Says("result.reversals", QString::number(r.reversals), "not 0 to result.trialsRun");
  // A score is a mean of NItems, so it lies where they do.
  if (r.hasScore && !(r.score >= 1 && r.score <= kMaxPatches))
    return Says("result.score", QString::fromStdString(Number(r.score)), "not 1 to 20");
  for (size_t k = 0; k < r.trials.size(); ++k) {
    const bool interrupted = r.abort.TrialShown() && k + 1 == r.trials.size();
    fault = TrialFault(r.trials[k], k, r.reversals, interrupted);
    if (!fault.empty()) return fault;
  }
  return {};
}

}  // namespace results
