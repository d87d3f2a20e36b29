#include "procedure/practice_command.h"

#include <memory>
#include <vector>

#include "dialogs/setup_dialogs.h"
#include "procedure/practice_run.h"
#include "procedure/start_test_command.h"
#include "settings/test_settings.h"
#include "ui/services.h"

namespace {

// The practice runs on the one trial table; the last real test's table is
// put back when it is over.
class KeptTest {
 public:
  KeptTest() : state_(std::make_unique<TestState>(testState)) {}
  ~KeptTest() { testState = *state_; }
  KeptTest(const KeptTest&) = delete;
  KeptTest& operator=(const KeptTest&) = delete;

 private:
  std::unique_ptr<TestState> state_;
};

}  // namespace

void StartPractice() {
  const RunningTest running;
  if (!running.Began()) return;
  const KeptTest kept;
  // The same dialog as a test: the subject names the record, and the
  // memorisation time it shows is the one the practice uses.
  if (!AskSubjectInformation()) return;
  ResetPractice(testState);

  const TestWindowRun run = RunOnTestWindow(RunPractice);
  ui::Services& ui = ui::Ui();
  // Back over the screen as after a test, without its results or ranking.
  ui.PlaceTopmost(ui.MainWindow(), ScreenSize.width, ScreenSize.height);
  SaveRunRecord(run, results::SessionOutcome::kPractice);
  ui.EndTopmost(ui.MainWindow());
}
