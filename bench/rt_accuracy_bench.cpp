// Reaction-time accuracy, judged as a photodiode and a response box would
// judge it: the real program runs under the X server it is given, a person
// (the end-to-end driver) takes whole tests through XTest, and every RT1 and
// RT2 of the subject file is compared with the true interval: from the
// moment the frame's pixels were on the screen (polled through the server)
// to the moment the server took the press (the XTest request and its round
// trip). Runs once on an idle machine and once with every core kept busy by
// processes the benchmark starts and stops itself.
//
//   xvfb-run -a -s "-screen 0 1024x768x24" rt_accuracy_bench [--trials N] [--only idle|busy]

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/e2e/person.h"

namespace {

// Recorded minus true, ms, over the trials of one condition: against the
// middle of the true interval's bounds, and against the bounds themselves
// (0 inside them), which leaves out the person's own uncertainty.
struct Errors {
  std::vector<double> rt1;
  std::vector<double> rt2;
  std::vector<double> rt1Outside;
  std::vector<double> rt2Outside;
  std::vector<double> width;  // of the true bounds
  int unseen = 0;             // onsets that came before the person looked
};

double Outside(double recorded, const e2e::Bounds& truth) {
  if (recorded < truth.low) return recorded - truth.low;
  if (recorded > truth.high) return recorded - truth.high;
  return 0;
}

void Report(const char* name, std::vector<double> e) {
  if (e.empty()) {
    std::printf("  %-4s  no trials\n", name);
    return;
  }
  std::sort(e.begin(), e.end());
  double sum = 0;
  for (double v : e) sum += v;
  const auto inGoal = std::count_if(e.begin(), e.end(), [](double v) { return v >= -1 && v <= 3; });
  std::printf(
      "  %-4s  n %3zu  mean %+6.2f  median %+6.2f  min %+6.2f  max %+6.2f  in [-1, +3]: %ld/%zu\n",
      name, e.size(), sum / e.size(), e[e.size() / 2], e.front(), e.back(),
      static_cast<long>(inGoal), e.size());
}

std::vector<pid_t> BusyEveryCore() {
  std::vector<pid_t> pids;
  const long cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
  for (long i = 0; i < cores; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      volatile unsigned long spin = 0;
      for (;;) spin = spin + 1;
    }
    if (pid > 0) pids.push_back(pid);
  }
  return pids;
}

void StopAll(const std::vector<pid_t>& pids) {
  for (pid_t pid : pids) kill(pid, SIGKILL);
  for (pid_t pid : pids) waitpid(pid, nullptr, 0);
}

// One whole test; appends its trials' errors. False when the person failed.
bool OneTest(int reversals, Errors* errors) {
  e2e::Person person;
  const e2e::SubjectEntry entry{"bench", 1, reversals, false};
  std::vector<e2e::DrivenTrial> trials;
  const bool ok = person.Start() && person.WaitForOpeningScreen() && person.CheckHomeScreen() &&
                  person.StartTestByClick() && person.FillSubjectInformation(entry) &&
                  person.TakeTest(entry, &trials) && person.WaitForOpeningScreen() &&
                  person.ExitFromMenu();
  if (!ok) {
    std::fprintf(stderr, "%s\n", person.Failure().c_str());
    return false;
  }
  QFile csv(QDir(person.WorkDir()).filePath(QStringLiteral("bench.csv")));
  if (!csv.open(QIODevice::ReadOnly)) return false;
  const QList<QByteArray> rows = csv.readAll().split('\n');
  for (size_t i = 0; i < trials.size(); ++i) {
    const e2e::DrivenTrial& t = trials[i];
    const QList<QByteArray> f = rows.value(static_cast<qsizetype>(i) + 1).split(',');
    if (f.size() < 8) return false;
    if (!t.onset.known) {
      ++errors->unseen;
      continue;
    }
    const e2e::Bounds rt1 = t.Rt1();
    errors->rt1.push_back(f[4].toInt() - rt1.Middle());
    errors->rt1Outside.push_back(Outside(f[4].toInt(), rt1));
    errors->width.push_back(rt1.high - rt1.low);
    if (t.nItems > 1) {
      const e2e::Bounds rt2 = t.Rt2();
      errors->rt2.push_back(f[5].toInt() - rt2.Middle());
      errors->rt2Outside.push_back(Outside(f[5].toInt(), rt2));
      errors->width.push_back(rt2.high - rt2.low);
    }
  }
  return true;
}

bool Condition(const char* name, bool busy, int wanted) {
  std::printf("%s:\n", name);
  std::fflush(stdout);
  const std::vector<pid_t> load = busy ? BusyEveryCore() : std::vector<pid_t>{};
  Errors errors;
  bool ok = true;
  // Trial and error needs about one trial and a half per reversal.
  while (ok && static_cast<int>(errors.rt1.size()) < wanted) {
    const int left = wanted - static_cast<int>(errors.rt1.size());
    ok = OneTest(std::max(2, left * 2 / 3 + 1), &errors);
  }
  StopAll(load);
  std::printf("  against the middle of the true bounds:\n");
  Report("RT1", errors.rt1);
  Report("RT2", errors.rt2);
  std::printf("  against the true bounds (0 inside them):\n");
  Report("RT1", errors.rt1Outside);
  Report("RT2", errors.rt2Outside);
  std::vector<double> w = errors.width;
  std::sort(w.begin(), w.end());
  if (!w.empty()) {
    std::printf("  true bounds' width: median %.2f ms, widest %.2f ms; onsets not seen: %d\n",
                w[w.size() / 2], w.back(), errors.unseen);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int trials = 60;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--trials") == 0 && i + 1 < argc) trials = std::atoi(argv[++i]);
    if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
  }
  std::printf("recorded minus true, ms; at least %d trials per condition\n", trials);
  bool ok = true;
  if (only.empty() || only == "idle") ok = Condition("idle", false, trials) && ok;
  if (only.empty() || only == "busy") ok = Condition("every core busy", true, trials) && ok;
  return ok ? 0 : 1;
}
