#include "check/check_command.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "check/timing_check.h"
#include "display/surfaces.h"
#include "procedure/program_services.h"

namespace check {

int RunCheckCommand(int argc, char** argv) {
  CheckOptions options;
  bool notice = true;
  for (int i = 1; i < argc; ++i) {
    const bool valued = i + 1 < argc;
    if (std::strcmp(argv[i], "--no-notice") == 0) {
      notice = false;
    } else if (valued && std::strcmp(argv[i], "--frames") == 0) {
      options.frames = std::atoi(argv[++i]);
    } else if (valued && std::strcmp(argv[i], "--trials") == 0) {
      options.trials = std::atoi(argv[++i]);
    } else if (valued && std::strcmp(argv[i], "--span") == 0) {
      options.tickSpanS = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--no-notice] [--frames N] [--trials N] [--span SECONDS]\n",
                   argv[0]);
      return 2;
    }
  }
  const ProgramServices program(argc > 0 ? argv[0] : "dorvane-check", nullptr, {});
  int code = 2;
  if (notice && !ConfirmTimingCheck(options, nullptr)) {
    std::fputs("dorvane-check: cancelled, nothing was measured\n", stderr);
  } else if (!InitDisplay(nullptr)) {
    std::fputs("dorvane-check: the display could not be set up\n", stderr);
  } else {
    std::string stamp;
    LocalStamp(&stamp, nullptr);
    const TimingCheck check = RunTimingCheck(options, nullptr);
    const Verdict verdict = Judge(check);
    const std::string report = FormatReport(check, verdict);
    std::fputs(report.c_str(), stdout);
    std::string textPath, pngPath, error;
    if (SaveTimingCheck(check, report, stamp, &textPath, &pngPath, &error)) {
      std::printf("\nSaved as %s and %s\n", textPath.c_str(), pngPath.c_str());
    } else {
      std::fprintf(stderr, "dorvane-check: %s\n", error.c_str());
    }
    code = verdict.pass ? 0 : 1;
  }
  return code;
}

}  // namespace check
