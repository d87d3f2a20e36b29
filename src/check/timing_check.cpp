#include "check/timing_check.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QWindow>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "check/scripted_subject.h"
#include "check/system_info.h"
#include "check/timing_chart.h"
#include "display/layout.h"
#include "display/surfaces.h"
#include "fileio/safe_file.h"
#include "procedure/ms_timer.h"
#include "procedure/staircase.h"
#include "procedure/start_test_command.h"
#include "procedure/touch_list.h"
#include "procedure/trial_run.h"
#include "settings/test_settings.h"
#include "timing/tick_clock.h"
#include "timing/urgent_thread.h"

namespace check {
namespace {

constexpr int64_t kNsPerMs = 1000000;
// Two dark greys shown in turn, far enough apart to be told apart on any
// screen, close enough that 300 frames of them flicker no more than a dim
// screen does.
constexpr uint32_t kGreys[2] = {0x101010, 0x2C2C2C};

// When the scripted subject presses, in ms, and for how long. The first press
// comes before the memorisation time is up in every other trial, after it in
// the rest, so that both orders of frames are timed.
struct PressTimes {
  int holdMs;
  int secondAfterAnswerMs;
  int firstAfterOnsetMs[2];  // even trials, odd trials
};
constexpr PressTimes kPresses{60, 150, {300, 650}};
constexpr int kPatchesPerTrial = 2;

double Ms(int64_t ns) {
  return static_cast<double>(ns) / kNsPerMs;
}

// The frames the trial shows, handed from its thread to the subject's.
class FrameFeed {
 public:
  void Push(int trial, const FrameRecord& frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    frames_.push_back({trial, frame});
    changed_.notify_all();
  }

  // Waits for a frame of `trial` of `kind` (and `patch`, unless negative).
  bool Wait(int trial, FrameKind kind, int patch, int64_t timeoutNs, FrameRecord* out) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::nanoseconds(timeoutNs);
    for (;;) {
      for (auto it = frames_.begin(); it != frames_.end(); ++it) {
        if (it->first == trial && it->second.kind == kind &&
            (patch < 0 || it->second.patch == patch)) {
          *out = it->second;
          frames_.erase(frames_.begin(), it + 1);
          return true;
        }
      }
      if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) return false;
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<int, FrameRecord>> frames_;
};

// What the scripted subject did in one trial.
struct ScriptedTrial {
  PressTruth first;
  PressTruth second;
  bool done = false;
};

// The centre of patch `k` in window pixels, through the rectangle the
// frames are drawn into.
void PatchCentre(int k, int* x, int* y) {
  const ui::Rect& r = displayState.PresentRect;
  const double cx = PatchLayout[k].x + kPatchSize / 2 + 0.5;
  const double cy = PatchLayout[k].y + kPatchSize / 2 + 0.5;
  *x = r.left + static_cast<int>(cx * r.Width() / kCanvasWidth);
  *y = r.top + static_cast<int>(cy * r.Height() / kCanvasHeight);
}

void Script(ScriptedSubject* subject, FrameFeed* feed, int trial, int firstDelayMs,
            ScriptedTrial* out) {
  // Each press's truth is bounded by the moments around its injection: a
  // subject descheduled between them would widen the bounds and shift their
  // middle, which the verdict compares with.
  UrgentThread urgent;
  tick_clock::SetUpTimingThread();
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  PatchCentre(0, &x0, &y0);
  PatchCentre(1, &x1, &y1);
  const int64_t patience = 5000 * kNsPerMs;
  FrameRecord frame;
  const auto sleepUntil = [](int64_t ns) {
    const int64_t wait = ns - tick_clock::NowNs();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
  };
  bool ok = feed->Wait(trial, FrameKind::kMemorisation, -1, patience, &frame);
  if (ok) {
    sleepUntil(frame.onset.onsetNs + firstDelayMs * kNsPerMs);
    ok = subject->Tap(x0, y0, kPresses.holdMs, &out->first);
  }
  ok = ok && feed->Wait(trial, FrameKind::kAnswer, 0, patience, &frame);
  if (ok) {
    sleepUntil(frame.onset.onsetNs + kPresses.secondAfterAnswerMs * kNsPerMs);
    ok = subject->Tap(x1, y1, kPresses.holdMs, &out->second);
  }
  ok = ok && feed->Wait(trial, FrameKind::kCompletion, -1, patience, &frame);
  out->done = ok;
  // A trial that waits in vain for its presses ends with Escape.
  if (!ok) subject->PressEscape();
}

void MeasureDisplay(const CheckOptions& options, DisplayFacts* d) {
  const PresentationInfo before = DisplayPresentationInfo();
  d->nominalPeriodMs = before.nominalRefreshS * 1000.0;
  std::vector<double> delays;
  std::vector<int64_t> onsets;
  std::map<std::string, int> sources;
  const double period = d->nominalPeriodMs > 0 ? d->nominalPeriodMs : 1000.0 / 60.0;
  for (int f = 0; f < options.frames; ++f) {
    ColourFill(CANVAS_SURFACE, kGreys[f % 2]);
    if (!Present()) continue;
    ++d->frames;
    const FrameOnset onset = LastPresentOnset();
    if (!onset.Confirmed()) {
      ++d->unconfirmed;
      onsets.push_back(0);
      continue;
    }
    ++sources[OnsetSourceName(onset.source)];
    delays.push_back(Ms(onset.onsetNs - onset.returnNs));
    if (onset.missedRefreshes > 0) ++d->missedRefreshes;
    onsets.push_back(onset.onsetNs);
    ui::Ui().PumpMessages();
  }
  for (size_t k = 1; k < onsets.size(); ++k) {
    if (onsets[k] == 0 || onsets[k - 1] == 0) continue;
    const double interval = Ms(onsets[k] - onsets[k - 1]);
    d->intervals.push_back(interval);
    // One frame per refresh: a longer gap is a refresh the frame missed.
    if (interval > 1.5 * period) ++d->missedRefreshes;
  }
  d->intervalMs = SpreadOf(d->intervals);
  d->returnToOnsetMs = SpreadOf(delays);
  const PresentationInfo after = DisplayPresentationInfo();
  d->path = after.path;
  d->swapsWait = after.path == "opengl-vsync";
  d->onsetSource = "none";
  int most = 0;
  for (const auto& [name, count] : sources) {
    if (count > most) {
      most = count;
      d->onsetSource = name;
    }
  }
}

void MeasureTrials(const CheckOptions& options, QWindow* window, TrialFacts* t) {
  std::unique_ptr<ScriptedSubject> subject = MakeScriptedSubject(window);
  t->injection = subject->Injection();
  FrameFeed feed;
  // A table of the check's own: the experimenter's test stays as it was.
  TestState state{};
  ResetTest(state);
  TrialTiming timing;
  TrialContext context;
  context.state = &state;
  context.timing = &timing;
  context.memorisationMs = options.memorisationMs;
  context.hideMouse = false;
  context.maxRev = testSettings.max_rev;  // the progress text as a test shows it
  context.frameObserver = [&feed](int trial, const FrameRecord& frame) { feed.Push(trial, frame); };
  context.clock = &MsTimerClock();
  for (int i = 0; i < options.trials && i < kMaxTrials; ++i) {
    state.trials[i].NItems = kPatchesPerTrial;
    if (!LayOutPatches(kPatchesPerTrial)) break;
    ScriptedTrial scripted;
    const int firstDelay = kPresses.firstAfterOnsetMs[i % 2];
    std::thread actor(Script, subject.get(), &feed, i, firstDelay, &scripted);
    const int result = RunTrial(context, i);
    actor.join();
    ReleasePatchSurfaces();
    ++t->trials;
    const TrialRecord& r = state.trials[i];
    for (const FrameRecord& f : timing.frames) {
      if (!f.onset.Confirmed()) ++t->unconfirmed;
      if (f.onset.missedRefreshes > 0) ++t->missedRefreshes;
    }
    for (const TouchRecord& touch : timing.touches) {
      (touch.source == TouchTimeSource::kStamp ? t->stampedTouches : t->sampledTouches) += 1;
    }
    if (result != 1 || !scripted.done || r.Error != 0) continue;
    TrialError e;
    e.rt1 = r.RT1 - Ms(scripted.first.MiddleNs() - timing.rt1ZeroNs);
    e.rt2 = r.RT2 - Ms(scripted.second.MiddleNs() - timing.rt2ZeroNs);
    e.hasRt2 = true;
    t->errors.push_back(e);
  }
}

}  // namespace

void LocalStamp(std::string* fileStamp, std::string* heading) {
  const QDateTime now = QDateTime::currentDateTime();
  if (fileStamp) *fileStamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
  if (heading) *heading = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

std::string TimingCheckNotice(const CheckOptions& options) {
  // The display is measured within the tick span; a trial takes about 1.75 s.
  const double display = options.frames / 60.0 + options.latenessSamples / 1000.0;
  const int seconds =
      static_cast<int>(std::max(options.tickSpanS, display) + options.trials * 1.75 + 0.5);
  return "The timing check now takes the whole screen for about " + std::to_string(seconds) +
         " seconds. The screen stays dark, then shows " + std::to_string(options.trials) +
         " trials that a scripted subject answers by itself.\n\n"
         "Please do not touch the screen, the mouse or the keyboard until the result appears.\n\n"
         "OK starts the check; Cancel goes back without running it.";
}

bool ConfirmTimingCheck(const CheckOptions& options, ui::WindowHandle owner) {
  return ui::Ui().MessageBox(owner, TimingCheckNotice(options), "Timing Check",
                             ui::kMbOkCancel | ui::kMbIconInformation) == ui::kIdOk;
}

TimingCheck RunTimingCheck(const CheckOptions& options, ui::WindowHandle owner) {
  TimingCheck c;
  LocalStamp(nullptr, &c.when);
  c.system = ReadSystemFacts();

  std::unique_ptr<QWindow> window = MakeTouchWindow(ScreenSize.width, ScreenSize.height, owner);
  BindClipperToWindow(static_cast<ui::WindowHandle>(window.get()));
  ColourFill(SCREEN_SURFACE, 0);

  // The tick source runs while the display is measured.
  const int64_t start = tick_clock::NowNs();
  MsTimerStart();
  MsTimerRestartAt(start);
  MeasureDisplay(options, &c.display);
  std::vector<double> lateness;
  for (int64_t ns : SampleTickLateness(options.latenessSamples, &c.ticks.realTimeGranted)) {
    lateness.push_back(static_cast<double>(ns) / 1000.0);
  }
  c.ticks.latenessUs = SpreadOf(lateness);
  const int64_t spanNs = static_cast<int64_t>(options.tickSpanS * 1e9);
  while (tick_clock::NowNs() - start < spanNs) {
    ui::Ui().PumpMessages();
    ui::Ui().Sleep(5);
  }
  const int32_t counted = msTicks.load();
  const int64_t elapsed = tick_clock::NowNs() - start;
  MsTimerStop();
  c.ticks.spanS = static_cast<double>(elapsed) / 1e9;
  c.ticks.driftMs = counted - static_cast<double>(elapsed / kNsPerMs);

  MeasureTrials(options, window.get(), &c.trial);

  BindClipperToWindow(owner);
  window.reset();
  return c;
}

bool SaveTimingCheck(const TimingCheck& check, const std::string& report,
                     const std::string& fileStamp, std::string* textPath, std::string* pngPath,
                     std::string* error) {
  const QString text = QString::fromStdString(ReportFileName(fileStamp));
  QString png = text;
  png.replace(QStringLiteral(".txt"), QStringLiteral(".png"));
  *textPath = QDir::current().absoluteFilePath(text).toStdString();
  *pngPath = QDir::current().absoluteFilePath(png).toStdString();
  // The names are predictable, so a link may wait at them: never written through.
  std::string reason;
  if (!file_io::ReplaceWhole(text.toStdString(), report, &reason)) {
    *error = "Cannot write " + *textPath + " (" + reason + ")";
    return false;
  }
  const QImage charts = RenderTimingCharts(check);
  QByteArray encoded;
  QBuffer buffer(&encoded);
  if (charts.isNull() || !buffer.open(QIODevice::WriteOnly) || !charts.save(&buffer, "PNG")) {
    *error = "Cannot write " + *pngPath;
    return false;
  }
  if (!file_io::ReplaceWhole(png.toStdString(), encoded.toStdString(), &reason)) {
    *error = "Cannot write " + *pngPath + " (" + reason + ")";
    return false;
  }
  return true;
}

}  // namespace check
