#include "procedure/trial_run.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "display/layout.h"
#include "display/surfaces.h"
#include "procedure/abort_point.h"
#include "procedure/ms_timer.h"
#include "procedure/staircase.h"
#include "procedure/touch_list.h"
#include "procedure/trial_timings.h"
#include "settings/test_settings.h"
#include "timing/urgent_thread.h"
#include "ui/services.h"

namespace {

constexpr int kErrorDisplayRefreshes = 30;
constexpr int kGridColumns = 5;
constexpr int32_t kCompletedDisplayMs = 1000;
constexpr int16_t kKeyCounts = static_cast<int16_t>(0x8001);
constexpr ui::Rect kProgressRect{0, 0, 100, 80};
constexpr char kClickSound[] = "stim\\click.wav";
constexpr char kErrorSound[] = "stim\\error.wav";

bool EscapeCounts() {
  return (ui::Ui().GetAsyncKeyState(ui::kVkEscape) & kKeyCounts) != 0;
}

void WaitEscapeReleased() {
  while (EscapeCounts()) {
  }
}

void PumpOnce() {
  ui::Ui().PumpMessages();
  ui::Ui().Sleep(1);
}

void WaitAllLifted() {
  while (touchWnd.pointCount > 0) PumpOnce();
}

void DrawPatch(int k, SurfaceId image) {
  CopyToCanvas(PatchLayout[k].x, PatchLayout[k].y, image);
}

void DrawAllExcept(int except, SurfaceId PatchEntry::*image, int n) {
  for (int k = 0; k < n; ++k)
    if (k != except) DrawPatch(k, PatchLayout[k].*image);
}

void CoverAllExcept(int except, int n) {
  for (int k = 0; k < n; ++k)
    if (k != except) DrawPatch(k, coverImage);
}

void DrawProgressText() {
  DcHolder holder;
  if (!GetSurfaceDC(CANVAS_SURFACE, &holder)) return;
  holder.dc->SetBkColor(0);
  holder.dc->SetTextColor(0xFFFFFF);
  holder.dc->DrawText(ProgressText(testState.reversals, testSettings.max_rev), kProgressRect,
                      ui::kDtSingleLine);
  ReleaseSurfaceDC(CANVAS_SURFACE, &holder);
}

bool Hit(const PatchEntry& p, int x, int y) {
  return x > p.x && x < p.x + kPatchSize && y > p.y && y < p.y + kPatchSize;
}

ui::Rect PatchArea(int k) {
  if (k < 0) return ui::Rect{};
  return ui::Rect{PatchLayout[k].x, PatchLayout[k].y, PatchLayout[k].x + kPatchSize,
                  PatchLayout[k].y + kPatchSize};
}

FrameObserver frameObserver;
int64_t memorisationMsOverride = -1;

// Presents the canvas as a frame about patch `k` and records when it showed.
FrameOnset ShowFrame(TrialTiming* timing, FrameKind kind, int k) {
  Present(PatchArea(k));
  const FrameOnset onset = LastPresentOnset();
  timing->frames.push_back(FrameRecord{kind, k, onset});
  if (frameObserver)
    frameObserver(static_cast<int>(timing - trialTimings.data()), timing->frames.back());
  return onset;
}

// The moment a count starts from: the frame's confirmed onset, or where
// nothing confirmed it, the moment it was handed over (flagged in its record).
int64_t ZeroOf(const FrameOnset& onset) {
  return onset.Confirmed() ? onset.onsetNs : onset.returnNs;
}

// The milliseconds from one moment to another, counted as a millisecond
// counter read just after the later one shows them: every millisecond begun
// counts.
int32_t MsBetween(int64_t fromNs, int64_t toNs) {
  constexpr int64_t kNsPerMs = 1000000;
  const int64_t d = toNs - fromNs;
  const int64_t ms = d >= 0 ? (d + kNsPerMs - 1) / kNsPerMs : -(-d / kNsPerMs);
  if (ms > INT32_MAX) return INT32_MAX;
  if (ms < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(ms);
}

// What a touch at canvas (x, y) hits: the first remaining patch from `found`
// on, else a patch found earlier, else none.
int HitPatch(int x, int y, int found, int n, TouchJudgement* judgement) {
  for (int k = found; k < n; ++k) {
    if (!Hit(PatchLayout[k], x, y)) continue;
    *judgement = k == found ? TouchJudgement::kCorrect : TouchJudgement::kWrong;
    return k;
  }
  for (int k = 0; k < found && k < n; ++k) {
    if (!Hit(PatchLayout[k], x, y)) continue;
    *judgement = TouchJudgement::kAlreadyFound;
    return k;
  }
  *judgement = TouchJudgement::kNoPatch;
  return -1;
}

int32_t CellOf(const PatchEntry& p) {
  return (p.y - kGridTop) / kGridPitch * kGridColumns + (p.x - kGridLeft) / kGridPitch;
}

}  // namespace

FrameObserver SetFrameObserver(FrameObserver observer) {
  return std::exchange(frameObserver, std::move(observer));
}

void SetMemorisationMsOverride(int64_t ms) {
  memorisationMsOverride = ms;
}

std::string ProgressText(int reversals, int maxRev) {
  char tail[40];
  std::snprintf(tail, sizeof tail, " (%d/%d)", reversals, maxRev);
  return std::string(reversals > 0 ? reversals : 0, '*') + tail;
}

int RunTest() {
  for (int i = 0;; ++i) {
    const bool laidOut = LayOutTrial(i) != 0;
    const int result = laidOut ? RunTrial(i) : kTrialFailed;
    if (!laidOut) NoteAbort(AbortHow::kImagesFailed, i, TrialPhase::kBetweenTrials);
    ReleasePatchSurfaces();
    if (result == kTrialFailed) {
      ui::AppMessageBox(laidOut ? "The test was stopped: the millisecond timer could not be "
                                  "started, so no reaction time could be measured. No results "
                                  "were written."
                                : "The test was stopped: the images of the trial could not be "
                                  "made (out of memory). No results were written.",
                        ui::kMbOk | ui::kMbIconHand);
      return 0;
    }
    if (result == 0) return 0;
    if (AdvanceStaircase(i)) return 1;
  }
}

int RunTrial(int i) {
  UrgentThread urgent;
  ui::Services& ui = ui::Ui();
  TrialRecord& record = testState.trials[i];
  TrialTiming& timing = trialTimings[static_cast<size_t>(i)];
  timing = TrialTiming{};
  const int n = record.NItems < kMaxPatches ? record.NItems : kMaxPatches;
  for (int k = 0; k < n; ++k) timing.cells.push_back(CellOf(PatchLayout[k]));

  // Preparation: the subject sees a black screen.
  WaitVerticalBlank();
  ColourFill(SCREEN_SURFACE, 0);
  ColourFill(CANVAS_SURFACE, 0);
  DrawAllExcept(-1, &PatchEntry::numberedImage, n);
  DrawProgressText();
  WaitEscapeReleased();
  WaitAllLifted();
  ui.DiscardInput();
  touchWnd.DiscardPresses(MsTimerNowNs());
  // Closed during the last trial's hold or this preparation: nothing more is shown.
  if (touchWnd.closeRequested) {
    NoteAbort(CloseHow(touchWnd), i, TrialPhase::kBetweenTrials);
    return 0;
  }

  // Memorisation display. RT1 counts from the moment it was on the screen.
  const FrameOnset shown = ShowFrame(&timing, FrameKind::kMemorisation, 0);
  MsTimerStart();
  if (!MsTimerRunning()) {
    MsTimerStop();
    NoteAbort(AbortHow::kTimerFailed, i, TrialPhase::kMemorisation);
    return kTrialFailed;
  }
  timing.rt1ZeroNs = ZeroOf(shown);
  MsTimerRestartAt(timing.rt1ZeroNs);
  int64_t zeroNs = timing.rt1ZeroNs;  // where msTicks counts from
  // 64 bits: a large memorisation time must not wrap to a negative limit.
  const int64_t limit = memorisationMsOverride >= 0
                            ? memorisationMsOverride
                            : static_cast<int64_t>(testSettings.memtime) * 1000;
  int found = 0;
  bool covered = false;
  bool aborted = false;
  int64_t completedNs = 0;  // when the touch that completed the trial came
  record.Error = 0;
  const bool hideMouse = testSettings.hide_mouse != 0;
  if (hideMouse) ui.ShowCursor(false);
  int32_t now = msTicks.load();

  for (;;) {
    // The test window was asked to close: the test ends as with Escape.
    if (touchWnd.closeRequested) {
      NoteAbort(CloseHow(touchWnd), i, covered ? TrialPhase::kAnswer : TrialPhase::kMemorisation);
      aborted = true;
      break;
    }
    if (now >= limit && !covered) {
      CoverAllExcept(-1, n);
      ShowFrame(&timing, FrameKind::kCover, -1);
      covered = true;
    }
    PendingPress press;
    if (touchWnd.TakePress(&press)) {
      // Judged at the place and time the contact came down, even when it has
      // been lifted since: a response made during a frame's waits or a stall
      // is neither lost nor timed late.
      TouchRecord touch;
      touch.timeNs = press.time.ns;
      touch.source = press.time.source;
      touch.screenX = press.point.x;
      touch.screenY = press.point.y;
      MapScreenToCanvas(press.point.x, press.point.y, &touch.canvasX, &touch.canvasY);
      // A press from before the onset answers nothing the subject saw (the
      // second click of a double click that closed the dialog, a press on
      // its way while the frame was handed over): kept with no patch and never
      // judged, and it does not end the memorisation.
      touch.beforeOnset = touch.timeNs < timing.rt1ZeroNs;
      const int k = touch.beforeOnset
                        ? -1
                        : HitPatch(touch.canvasX, touch.canvasY, found, n, &touch.judgement);
      touch.patch = k;
      timing.touches.push_back(touch);
      if (touch.judgement == TouchJudgement::kCorrect) {
        ui.PlaySound(kClickSound, ui::kSndAsync | ui::kSndNoDefault);
        covered = true;
        WaitVerticalBlank();
        DrawPatch(k, PatchLayout[k].numberedImage);
        if (k == 0) CoverAllExcept(0, n);
        const FrameOnset answer = ShowFrame(&timing, FrameKind::kAnswer, k);
        found += 1;
        if (k == 0) {
          record.RT1 = MsBetween(timing.rt1ZeroNs, touch.timeNs);
          // RT2 counts from the answer to patch 1 as the subject saw it.
          timing.rt2ZeroNs = ZeroOf(answer);
          zeroNs = timing.rt2ZeroNs;
          MsTimerRestartAt(zeroNs);
        }
        if (found == n) completedNs = touch.timeNs;
      } else if (touch.judgement == TouchJudgement::kWrong) {
        ui.PlaySound(kErrorSound, ui::kSndAsync | ui::kSndNoDefault);
        if (!covered) {
          covered = true;
          WaitVerticalBlank();
          CoverAllExcept(k, n);
        }
        DrawPatch(k, PatchLayout[k].errorImage);
        ShowFrame(&timing, FrameKind::kError, k);
        record.NCorrect = found;
        // Before patch 1 the count still runs from the memorisation onset.
        record.RT2 = MsBetween(found == 0 ? timing.rt1ZeroNs : timing.rt2ZeroNs, touch.timeNs);
        record.Error = 1;
        for (int r = 0; r < kErrorDisplayRefreshes; ++r) WaitVerticalBlank();
        DrawPatch(k, coverImage);
        ShowFrame(&timing, FrameKind::kErrorCover, k);
      }
      if (found == n) break;
      // Not waited for a press from before the onset: the memorisation runs on.
      if (!touch.beforeOnset) WaitAllLifted();
    } else if (touchWnd.pointCount <= 0 && EscapeCounts()) {
      NoteAbort(AbortHow::kEscape, i, covered ? TrialPhase::kAnswer : TrialPhase::kMemorisation);
      aborted = true;
      break;
    }
    PumpOnce();
    now = msTicks.load();
  }

  if (!aborted) {
    if (record.Error == 0) {
      record.NCorrect = found;
      // A one-patch trial ends with the touch that started RT2: no time passed.
      record.RT2 = n > 1 ? MsBetween(timing.rt2ZeroNs, completedNs) : 0;
    }
    DrawAllExcept(-1, &PatchEntry::finalImage, n);
    ShowFrame(&timing, FrameKind::kCompletion, 0);
    // Held for a second from the completing touch, on the counter.
    const int64_t holdUntil =
        static_cast<int64_t>(MsBetween(zeroNs, completedNs)) + kCompletedDisplayMs;
    while (msTicks.load() < holdUntil) PumpOnce();
  }

  if (hideMouse) ui.ShowCursor(true);
  MsTimerStop();
  WaitEscapeReleased();
  ui.DiscardInput();
  touchWnd.DiscardPresses(MsTimerNowNs());
  return aborted ? 0 : 1;
}
