// The person's looks at what a test shows and leaves behind: whole displays
// with nothing of the windows below them, and a main window that does not
// stay above other programs.
#include <QImage>
#include <algorithm>
#include <chrono>
#include <thread>

#include "app/e2e/person.h"
#include "app/e2e/see_through.h"

namespace e2e {
namespace {

constexpr int kCells = 25;
// How long a test display may take to show whole (a compositor fading the
// test window in), shorter than the memorisation time.
constexpr int kWholeWithinMs = 700;

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

bool Person::LookAtFirstTrial(int memtime) {
  const auto numbered = [](const std::string& g) {
    return g.find('W') != std::string::npos && g.find_first_not_of(".W") == std::string::npos;
  };
  if (!WaitGrid(numbered, 15000, "a numbered display")) return false;
  std::vector<int> cells;
  std::string covered = grid_;
  for (int c = 0; c < kCells; ++c) {
    if (grid_[static_cast<size_t>(c)] == 'W') cells.push_back(c);
  }
  std::replace(covered.begin(), covered.end(), 'W', 'g');
  Note("numbered display " + grid_);
  if (!CheckWhole(cells, 'W')) return false;
  const auto isCovered = [&covered](const std::string& g) { return g == covered; };
  if (!WaitGrid(isCovered, memtime * 1000 + 10000, "the covered display")) return false;
  if (!CheckWhole(cells, 'g')) return false;
  if (!memorisationWhole_) return Fail("the memorisation display did not stand to be looked at");
  return true;
}

bool Person::AbortWithEscape() {
  screen_.Tap({"Escape"});
  Note("pressed Escape during the test");
  return WaitForOpeningScreen();
}

// Looked at until whole, for a moment: a compositor may fade a new window
// in. Only a display that stood while it was looked at counts.
bool Person::CheckWhole(const std::vector<int>& cells, char disc) {
  const std::string before = grid_;
  const std::string what = disc == 'W' ? "memorisation" : "covered";
  const Clock::time_point start = Clock::now();
  std::string fault;
  while (true) {
    const QImage shot = screen_.Grab();
    // The pointer is part of a nested compositor's picture.
    const QRect pointer(screen_.Pointer() - QPoint(8, 8), QSize(48, 48));
    fault = SeeThroughFault(shot, CanvasPlace{left_, top_, scale_}, cells, disc, pointer);
    if (!ReadGrid() || grid_ != before) {
      Note("the " + what + " display changed while it was looked at");
      return true;
    }
    const double waited = MsBetween(start, Clock::now());
    if (fault.empty()) {
      Note("the " + what + " display is whole: nothing shows through, every disc is there" +
           (waited > 50 ? " (after " + std::to_string(static_cast<int>(waited)) + " ms)" : ""));
      (disc == 'W' ? memorisationWhole_ : coveredWhole_) = true;
      return true;
    }
    if (waited > kWholeWithinMs) return Fail("the " + what + " display: " + fault);
    SleepMs(20);
  }
}

bool Person::CheckNotAbove() {
  if (!desktop_.windowManager) return true;
  const auto notAbove = [this] {
    for (const std::string& state : Programs().WindowStates("Dorvane")) {
      if (state == "_NET_WM_STATE_ABOVE") return false;
    }
    return true;
  };
  if (!WaitFor(notAbove, 3000, 20, "the main frame to leave the above state after the test")) {
    return false;
  }
  Note("the main frame is no longer above other windows");
  return true;
}

}  // namespace e2e
