#include "procedure/trial_run.h"

#include <cstdint>
#include <cstdio>

#include "display/layout.h"
#include "display/surfaces.h"
#include "settings/test_settings.h"
#include "procedure/ms_timer.h"
#include "procedure/staircase.h"
#include "procedure/touch_list.h"
#include "procedure/urgent_thread.h"
#include "ui/services.h"

namespace {

constexpr int kErrorDisplayRefreshes = 30;
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

}  // namespace

std::string ProgressText(int reversals, int maxRev) {
  char tail[40];
  std::snprintf(tail, sizeof tail, " (%d/%d)", reversals, maxRev);
  return std::string(reversals > 0 ? reversals : 0, '*') + tail;
}

int RunTest() {
  for (int i = 0;; ++i) {
    const bool laidOut = LayOutTrial(i) != 0;
    const int result = laidOut ? RunTrial(i) : kTrialFailed;
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
  const int n = record.NItems < kMaxPatches ? record.NItems : kMaxPatches;

  // Preparation: the subject sees a black screen.
  WaitVerticalBlank();
  ColourFill(SCREEN_SURFACE, 0);
  ColourFill(CANVAS_SURFACE, 0);
  DrawAllExcept(-1, &PatchEntry::numberedImage, n);
  DrawProgressText();
  WaitEscapeReleased();
  WaitAllLifted();
  ui.DiscardInput();

  // Memorisation display.
  Present();
  MsTimerStart();
  if (!MsTimerRunning()) {
    MsTimerStop();
    return kTrialFailed;
  }
  // 64 bits: a large memorisation time must not wrap to a negative limit.
  const int64_t limit = static_cast<int64_t>(testSettings.memtime) * 1000;
  int found = 0;
  bool covered = false;
  bool aborted = false;
  int32_t now = 0;
  msTicks.store(0);
  record.Error = 0;
  const bool hideMouse = testSettings.hide_mouse != 0;
  if (hideMouse) {
    ui.ShowCursor(false);
    now = msTicks.load();
  }

  for (;;) {
    if (now >= limit && !covered) {
      CoverAllExcept(-1, n);
      Present();
      covered = true;
    }
    if (touchWnd.pointCount > 0) {
      int x = 0;
      int y = 0;
      MapScreenToCanvas(touchWnd.points[0].x, touchWnd.points[0].y, &x, &y);
      int k = found;
      while (k < n && !Hit(PatchLayout[k], x, y)) ++k;
      if (k < n && k == found) {
        ui.PlaySound(kClickSound, ui::kSndAsync | ui::kSndNoDefault);
        covered = true;
        WaitVerticalBlank();
        DrawPatch(k, PatchLayout[k].numberedImage);
        if (k == 0) CoverAllExcept(0, n);
        Present();
        found += 1;
        if (k == 0) {
          record.RT1 = now;
          msTicks.store(0);
          // On the restarted counter the touch on patch 1 happened at 0; a
          // one-patch trial completes with it and holds from there.
          now = 0;
        }
      } else if (k < n) {
        ui.PlaySound(kErrorSound, ui::kSndAsync | ui::kSndNoDefault);
        if (!covered) {
          covered = true;
          WaitVerticalBlank();
          CoverAllExcept(k, n);
        }
        DrawPatch(k, PatchLayout[k].errorImage);
        Present();
        record.NCorrect = found;
        record.RT2 = now;
        record.Error = 1;
        for (int r = 0; r < kErrorDisplayRefreshes; ++r) WaitVerticalBlank();
        DrawPatch(k, coverImage);
        Present();
      }
      if (found == n) break;
      WaitAllLifted();
    } else if (EscapeCounts()) {
      aborted = true;
      break;
    }
    PumpOnce();
    now = msTicks.load();
  }

  if (!aborted) {
    if (record.Error == 0) {
      record.NCorrect = found;
      record.RT2 = now;
    }
    DrawAllExcept(-1, &PatchEntry::finalImage, n);
    Present();
    while (msTicks.load() < static_cast<int64_t>(now) + kCompletedDisplayMs) PumpOnce();
  }

  if (hideMouse) ui.ShowCursor(true);
  MsTimerStop();
  WaitEscapeReleased();
  ui.DiscardInput();
  return aborted ? 0 : 1;
}
