#include "app/my_app.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <utility>

#include "dialogs/lock_wait_dialog.h"
#include "display/dib_image.h"
#include "display/layout.h"
#include "display/surfaces.h"
#include "procedure/program_services.h"
#include "procedure/start_test_command.h"
#include "procedure/touch_list.h"
#include "records/session_folder.h"
#include "records/session_record.h"
#include "results/result_files.h"
#include "settings/settings_store.h"
#include "settings/test_settings.h"
#include "ui/qt_services.h"
#include "ui/stim_folder.h"

namespace {

constexpr char kPatchBitmapPath[] = "stim/patch.bmp";
constexpr char kOpeningBitmapPath[] = "stim/opening.bmp";
constexpr char kClickSoundPath[] = "stim\\click.wav";
constexpr char kErrorSoundPath[] = "stim\\error.wav";

int LoadFlag(DibImage& image, const char* path) {
  const std::string file = ui::InStimulusFolder(path, ui::StimulusFolder());
  std::string refused;
  const int loaded = image.Load(file, &refused) == 1 ? 1 : 0;
  // A missing or bad bitmap is replaced without a word; one refused unread
  // (a link, a FIFO, a huge file) may be another user's doing, so it is said.
  if (!refused.empty()) {
    ui::AppMessageBox("The stimulus [" + file + "] was not read: it " + refused +
                          ". A built-in image is shown instead.",
                      ui::kMbOk | ui::kMbIconWarning);
  }
  return loaded;
}

std::string SettingsNotSavedText(const SettingsSaveStatus& status) {
  const std::string file =
      QDir::current().absoluteFilePath(QString::fromStdString(status.file)).toStdString();
  std::string text = "The settings could not be saved to [" + file + "] (" + status.reason +
                     ").\nThese settings were not kept; the next session starts without them:";
  for (const std::string& setting : status.lost) text += "\n" + setting;
  return text;
}

// One box for all of them: tests still run, but not with the stimuli the lab chose.
void WarnUnusableStimuli() {
  std::string missing;
  const auto note = [&missing](const char* path, bool usable) {
    if (!usable) missing += std::string(missing.empty() ? "" : ", ") + path;
  };
  note("patch.bmp", patchBitmapLoaded != 0);
  note("opening.bmp", openingBitmapLoaded != 0);
  for (const char* sound : {kClickSoundPath, kErrorSoundPath}) {
    const QFileInfo file(QString::fromStdString(ui::InStimulusFolder(sound, ui::StimulusFolder())));
    note(sound + 5, file.isFile() && file.isReadable());
  }
  if (missing.empty()) return;
  const std::string folder =
      QDir::current().absoluteFilePath(QString::fromStdString(ui::StimulusFolder())).toStdString();
  const QFileInfo dir(QString::fromStdString(folder));
  const std::string what = dir.isDir() && dir.isReadable() && dir.isExecutable()
                               ? "] has no usable " + missing
                               : "] is missing or cannot be read";
  ui::AppMessageBox("The stimulus folder [" + folder + what +
                        ".\nTests still run, with white discs as covers, the title instead of "
                        "the opening picture and no sound where one is missing; the session "
                        "records say which stimuli were used.",
                    ui::kMbOk | ui::kMbIconWarning);
}

template <typename T>
void FreeVector(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

}  // namespace

CMyApp::CMyApp(AppEnvironment environment) : environment_(std::move(environment)) {
  // The program-wide objects as at process start, so that an application
  // object made after another one (tests) finds no leftovers. The bitmaps'
  // loaded flags are left to start-up, which sets them before anything reads them.
  displayState = DisplayState{};
  testSettings = TestSettings{};
  for (PatchEntry& row : PatchLayout) row = PatchEntry{};
  patchBitmap.Clear();
  openingBitmap.Clear();
  settingsStore = SettingsStore{};
}

CMyApp::~CMyApp() {
  // Normally the event loop ended with the frame already gone.
  delete mainFrame_.data();

  touchWnd.OnDestroy();
  FreeVector(touchWnd.points);
  FreeVector(touchWnd.inputs);
  touchWnd.inputCount = 0;
  settingsStore = SettingsStore{};
  openingBitmap.Clear();
  patchBitmap.Clear();
  std::string().swap(testSettings.subject);
  ShutDownDisplay();

  if (program_ && program_->OwnServices()) SetResultLockWait({});
  program_.reset();
}

int CMyApp::StartUp(const std::string& executablePath) {
  // 1. The screen is measured here, with the services.
  program_ = std::make_unique<ProgramServices>(executablePath, environment_.services,
                                               environment_.presenterFactory);
  ui::QtServices* const qtServices = program_->OwnServices();
  // The working directory's own stimuli, else those installed with the program.
  ui::SetStimulusFolder(ui::FindStimulusFolder(QCoreApplication::applicationDirPath().toStdString(),
                                               DORVANE_STIM_FROM_BIN));
  if (qtServices) {
    // Another station's lock on a result file is waited for in view, and can be given up.
    SetResultLockWait(dialogs::WaitForResultLock);
    // The first correct touch must click at once, not after the file loads.
    qtServices->PreloadSound(kClickSoundPath);
    qtServices->PreloadSound(kErrorSoundPath);
  }

  // 2, 3. Missing bitmaps are no error: white discs and the title line stand in.
  patchBitmapLoaded = LoadFlag(patchBitmap, kPatchBitmapPath);
  openingBitmapLoaded = LoadFlag(openingBitmap, kOpeningBitmapPath);
  // Missing or bad stimuli are replaced without a word; the session records
  // are where that shows.
  results::stimuliUsed = {
      results::DescribeStimulus(kPatchBitmapPath, patchBitmapLoaded,
                                results::StimulusUse::kBuiltIn),
      results::DescribeStimulus(kOpeningBitmapPath, openingBitmapLoaded,
                                results::StimulusUse::kBuiltIn),
      results::DescribeStimulus(kClickSoundPath, true, results::StimulusUse::kMissing),
      results::DescribeStimulus(kErrorSoundPath, true, results::StimulusUse::kMissing)};
  // 4. The window class: ApplyWindowClass, as each window is built.
  // 5. The main frame.
  auto* frame = new CMainFrame;
  frame->setAttribute(Qt::WA_DeleteOnClose);
  mainFrame_ = frame;
  if (qtServices) qtServices->SetMainWindow(frame);
  // 6.
  frame->ShowMaximised();
  // 7. Without a display no test can run; the settings stay as they are on disk.
  if (!InitDisplay(ui::HandleOf(frame))) {
    delete frame;
    return 0;
  }
  WarnUnusableStimuli();
  // 8.
  ReadTestSettings();
  if (!settingsStore.Refusal().empty()) {
    ui::AppMessageBox("The settings file [" + settingsStore.FileName() + "] was not read: it " +
                          settingsStore.Refusal() +
                          ". The settings start from their defaults and are not saved to it.",
                      ui::kMbOk | ui::kMbIconWarning);
  }
  // A record that a killed save left whole gets its name; the others are
  // listed in the Sessions window.
  results::RecoverUnfinishedRecords(QString::fromLatin1(results::kSessionFolder));
  return 1;
}

int CMyApp::ShutDown(int exitCode) {
  const SettingsSaveStatus status = WriteTestSettings();
  // A save that loses nothing (a locked file, no setting changed) is no news.
  if (!status.saved && !status.lost.empty()) {
    ui::AppMessageBox(SettingsNotSavedText(status), ui::kMbOk | ui::kMbIconWarning);
  }
  return exitCode;
}

int CMyApp::Run(int argc, char** argv) {
  const std::string executablePath = argc > 0 && argv && argv[0] ? argv[0] : "";
  if (!StartUp(executablePath)) return ShutDown(kStartUpFailedExitCode);
  return ShutDown(QApplication::exec());
}
