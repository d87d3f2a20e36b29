#include "procedure/trial_run.h"

#include <QCoreApplication>
#include <QString>
#include <cstdint>
#include <cstdio>

#include "display/layout.h"
#include "display/surfaces.h"
#include "procedure/abort_point.h"
#include "procedure/ms_timer.h"
#include "procedure/staircase.h"
#include "procedure/touch_list.h"
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

void DrawProgressText(int reversals, int maxRev) {
  DcHolder holder;
  if (!GetSurfaceDC(CANVAS_SURFACE, &holder)) return;
  holder.dc->SetBkColor(0);
  holder.dc->SetTextColor(0xFFFFFF);
  holder.dc->DrawText(ProgressText(reversals, maxRev), kProgressRect, ui::kDtSingleLine);
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

// One trial from its preparation to its exit.
struct Trial {
  TrialContext& context;
  int index;
  TrialRecord& record;
  TrialTiming& timing;
  int n;                    // patches shown
  int64_t zeroNs = 0;       // where the counter counts from
  int found = 0;            // also the index of the next expected patch
  bool covered = false;     // the memorisation display is over
  bool aborted = false;     // Escape, or the window asked to close
  int64_t completedNs = 0;  // when the touch that completed the trial came
};

// Presents the canvas as a frame about patch `k` and records when it showed.
FrameOnset ShowFrame(Trial& t, FrameKind kind, int k) {
  Present(PatchArea(k));
  const FrameOnset onset = LastPresentOnset();
  t.timing.frames.push_back(FrameRecord{kind, k, onset});
  if (t.context.frameObserver) t.context.frameObserver(t.index, t.timing.frames.back());
  return onset;
}

void DiscardInputSoFar(const Trial& t) {
  ui::Ui().DiscardInput();
  touchWnd.DiscardPresses(t.context.clock->NowNs());
}

// The subject sees a black screen until every key and contact is let go.
void Prepare(const Trial& t) {
  WaitVerticalBlank();
  ColourFill(SCREEN_SURFACE, 0);
  ColourFill(CANVAS_SURFACE, 0);
  DrawAllExcept(-1, &PatchEntry::numberedImage, t.n);
  DrawProgressText(t.context.state->reversals, t.context.maxRev);
  WaitEscapeReleased();
  WaitAllLifted();
  DiscardInputSoFar(t);
}

// The memorisation display; RT1 counts from the moment it was on the screen.
// False when no tick source runs.
bool ShowMemorisation(Trial& t) {
  const FrameOnset shown = ShowFrame(t, FrameKind::kMemorisation, 0);
  if (!t.context.clock->Start()) {
    t.context.clock->Stop();
    return false;
  }
  t.timing.rt1ZeroNs = ZeroOf(shown);
  t.context.clock->RestartAt(t.timing.rt1ZeroNs);
  t.zeroNs = t.timing.rt1ZeroNs;
  t.record.Error = 0;
  return true;
}

// Judged at the place and time the contact came down, even when it has been
// lifted since: a response made during a frame's waits or a stall is neither
// lost nor timed late.
TouchRecord TakeTouch(Trial& t, const PendingPress& press) {
  TouchRecord touch;
  touch.timeNs = press.time.ns;
  touch.source = press.time.source;
  touch.screenX = press.point.x;
  touch.screenY = press.point.y;
  MapScreenToCanvas(press.point.x, press.point.y, &touch.canvasX, &touch.canvasY);
  // A press from before the onset answers nothing the subject saw (the
  // second click of a double click that closed the dialog, a press on its
  // way while the frame was handed over): kept with no patch and never
  // judged, and it does not end the memorisation.
  touch.beforeOnset = touch.timeNs < t.timing.rt1ZeroNs;
  touch.patch = touch.beforeOnset
                    ? -1
                    : HitPatch(touch.canvasX, touch.canvasY, t.found, t.n, &touch.judgement);
  t.timing.touches.push_back(touch);
  return touch;
}

void AnswerCorrect(Trial& t, const TouchRecord& touch) {
  const int k = touch.patch;
  ui::Ui().PlaySound(kClickSound, ui::kSndAsync | ui::kSndNoDefault);
  t.covered = true;
  WaitVerticalBlank();
  DrawPatch(k, PatchLayout[k].numberedImage);
  if (k == 0) CoverAllExcept(0, t.n);
  const FrameOnset answer = ShowFrame(t, FrameKind::kAnswer, k);
  t.found += 1;
  if (k == 0) {
    t.record.RT1 = MsBetween(t.timing.rt1ZeroNs, touch.timeNs);
    // RT2 counts from the answer to patch 1 as the subject saw it.
    t.timing.rt2ZeroNs = ZeroOf(answer);
    t.zeroNs = t.timing.rt2ZeroNs;
    t.context.clock->RestartAt(t.zeroNs);
  }
  if (t.found == t.n) t.completedNs = touch.timeNs;
}

void AnswerWrong(Trial& t, const TouchRecord& touch) {
  const int k = touch.patch;
  ui::Ui().PlaySound(kErrorSound, ui::kSndAsync | ui::kSndNoDefault);
  if (!t.covered) {
    t.covered = true;
    WaitVerticalBlank();
    CoverAllExcept(k, t.n);
  }
  DrawPatch(k, PatchLayout[k].errorImage);
  ShowFrame(t, FrameKind::kError, k);
  t.record.NCorrect = t.found;
  // Before patch 1 the count still runs from the memorisation onset.
  t.record.RT2 = MsBetween(t.found == 0 ? t.timing.rt1ZeroNs : t.timing.rt2ZeroNs, touch.timeNs);
  t.record.Error = 1;
  for (int r = 0; r < kErrorDisplayRefreshes; ++r) WaitVerticalBlank();
  DrawPatch(k, coverImage);
  ShowFrame(t, FrameKind::kErrorCover, k);
}

TrialPhase PhaseOf(const Trial& t) {
  return t.covered ? TrialPhase::kAnswer : TrialPhase::kMemorisation;
}

// Covers the patches when the memorisation time is up and judges every
// touch until all patches are found or the test is aborted.
void Respond(Trial& t) {
  const int64_t limit = t.context.memorisationMs;
  int32_t now = t.context.clock->Ticks();
  for (;;) {
    // The test window was asked to close: the test ends as with Escape.
    if (touchWnd.closeRequested) {
      NoteAbort(CloseHow(touchWnd), t.index, PhaseOf(t));
      t.aborted = true;
      return;
    }
    if (now >= limit && !t.covered) {
      CoverAllExcept(-1, t.n);
      ShowFrame(t, FrameKind::kCover, -1);
      t.covered = true;
    }
    PendingPress press;
    if (touchWnd.TakePress(&press)) {
      const TouchRecord touch = TakeTouch(t, press);
      if (touch.judgement == TouchJudgement::kCorrect) AnswerCorrect(t, touch);
      if (touch.judgement == TouchJudgement::kWrong) AnswerWrong(t, touch);
      if (t.found == t.n) return;
      // Not waited for a press from before the onset: the memorisation runs on.
      if (!touch.beforeOnset) WaitAllLifted();
    } else if (touchWnd.pointCount <= 0 && EscapeCounts()) {
      NoteAbort(AbortHow::kEscape, t.index, PhaseOf(t));
      t.aborted = true;
      return;
    }
    PumpOnce();
    now = t.context.clock->Ticks();
  }
}

// All patches green, held for a second from the completing touch, on the counter.
void ShowCompletion(Trial& t) {
  if (t.record.Error == 0) {
    t.record.NCorrect = t.found;
    // A one-patch trial ends with the touch that started RT2: no time passed.
    t.record.RT2 = t.n > 1 ? MsBetween(t.timing.rt2ZeroNs, t.completedNs) : 0;
  }
  DrawAllExcept(-1, &PatchEntry::finalImage, t.n);
  ShowFrame(t, FrameKind::kCompletion, 0);
  const int64_t holdUntil =
      static_cast<int64_t>(MsBetween(t.zeroNs, t.completedNs)) + kCompletedDisplayMs;
  while (t.context.clock->Ticks() < holdUntil) PumpOnce();
}

}  // namespace

std::string ProgressText(int reversals, int maxRev) {
  char tail[40];
  std::snprintf(tail, sizeof tail, " (%d/%d)", reversals, maxRev);
  return std::string(reversals > 0 ? reversals : 0, '*') + tail;
}

TrialContext SettingsTrialContext(TrialTiming* timing) {
  TrialContext context;
  context.state = &testState;
  context.timing = timing;
  context.memorisationMs = static_cast<int64_t>(testSettings.memtime) * 1000;
  context.hideMouse = testSettings.hide_mouse != 0;
  context.maxRev = testSettings.max_rev;
  context.clock = &MsTimerClock();
  return context;
}

int RunTest() {
  std::vector<TrialTiming> timings(kMaxTrials);
  TrialContext context = SettingsTrialContext(nullptr);
  return RunTest(context, timings);
}

int RunTrials(TrialContext& context, std::vector<TrialTiming>& timings,
              const TrialAdvance& advance, const StoppedText& stopped) {
  for (int i = 0;; ++i) {
    context.timing = &timings[static_cast<size_t>(i)];
    const bool laidOut = LayOutPatches(context.state->trials[i].NItems) != 0;
    const int result = laidOut ? RunTrial(context, i) : kTrialFailed;
    if (!laidOut) NoteAbort(AbortHow::kImagesFailed, i, TrialPhase::kBetweenTrials);
    ReleasePatchSurfaces();
    if (result == kTrialFailed) {
      ui::AppMessageBox(stopped(laidOut), ui::kMbOk | ui::kMbIconHand);
      return 0;
    }
    if (result == 0) return 0;
    if (advance(*context.state, i)) return 1;
  }
}

int RunTest(TrialContext& context, std::vector<TrialTiming>& timings) {
  const int maxRev = context.maxRev;
  return RunTrials(
      context, timings,
      [maxRev](TestState& state, int i) { return AdvanceStaircase(state, i, maxRev); },
      [](bool laidOut) {
        const QString text =
            laidOut ? QCoreApplication::translate(
                          "TrialRun",
                          "The test was stopped: the millisecond timer could not be started, so "
                          "no reaction time could be measured. No results were written.")
                    : QCoreApplication::translate(
                          "TrialRun",
                          "The test was stopped: the images of the trial could not be made (out "
                          "of memory). No results were written.");
        return text.toStdString();
      });
}

int RunTrial(int i) {
  // This trial's timings go nowhere: only its record is kept.
  TrialTiming timing;
  TrialContext context = SettingsTrialContext(&timing);
  return RunTrial(context, i);
}

int RunTrial(TrialContext& context, int i) {
  UrgentThread urgent;
  TrialRecord& record = context.state->trials[i];
  *context.timing = TrialTiming{};
  const int n = record.NItems < kMaxPatches ? record.NItems : kMaxPatches;
  Trial t{context, i, record, *context.timing, n};
  for (int k = 0; k < n; ++k) t.timing.cells.push_back(CellOf(PatchLayout[k]));

  Prepare(t);
  // Closed during the last trial's hold or this preparation: nothing more is shown.
  if (touchWnd.closeRequested) {
    NoteAbort(CloseHow(touchWnd), i, TrialPhase::kBetweenTrials);
    return 0;
  }
  if (!ShowMemorisation(t)) {
    NoteAbort(AbortHow::kTimerFailed, i, TrialPhase::kMemorisation);
    return kTrialFailed;
  }
  if (context.hideMouse) ui::Ui().ShowCursor(false);
  Respond(t);
  if (!t.aborted) ShowCompletion(t);

  if (context.hideMouse) ui::Ui().ShowCursor(true);
  context.clock->Stop();
  WaitEscapeReleased();
  DiscardInputSoFar(t);
  return t.aborted ? 0 : 1;
}
