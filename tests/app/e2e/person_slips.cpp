// The person's slips and mistakes: a press that comes before the test's
// first display, a setting out of range, the test window closed mid-test.
#include <algorithm>
#include <thread>

#include "app/e2e/person.h"

namespace e2e {

namespace {

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Canvas coordinates of the black gap right of the grid's middle cell,
// level with its disc's centre: no disc is ever there.
constexpr int kGapX = 137 + 150 * 2 + 135;
constexpr int kGapY = 9 + 150 * 2 + 60;
constexpr int kWindowMs = 10000;
constexpr int kUnansweredClickMs = 3000;
constexpr int kSampleX = 60;
// The memorisation time's field in the Subject Information dialog.
constexpr int kMemtimeFieldX = 192;
constexpr int kMemtimeFieldY = 44;
constexpr int kSampleY = 8;

}  // namespace

// The program drops what came before the test window was up, so the
// presses go on, a few milliseconds apart, until the first display shows:
// those between the drop and the display's onset are the ones that count.
bool Person::PressAsTestWindowAppears(int* presses) {
  const QPoint gap(static_cast<int>(left_ + (kGapX + 0.5) * scale_),
                   static_cast<int>(top_ + (kGapY + 0.5) * scale_));
  screen_.MoveTo(gap.x(), gap.y());
  const auto listed = [this] {
    for (const TopWindow& w : Programs().TopWindows()) {
      if (w.title == "Experiment Window" && !w.popup) return true;
    }
    return false;
  };
  if (!WaitFor(listed, kWindowMs, 1, "the test window")) return false;
  std::vector<QPoint> points;
  for (int c = 0; c < 25; ++c) points.push_back(At(c, kSampleX, kSampleY));
  std::vector<QRgb> colours;
  ServerMoment read;
  const auto shown = [&] {
    if (!screen_.ReadPoints(points, &colours, &read)) return false;
    return std::any_of(colours.begin(), colours.end(), [](QRgb p) {
      return qRed(p) >= 245 && qGreen(p) >= 245 && qBlue(p) >= 245;
    });
  };
  *presses = 0;
  const auto pressed = [&] {
    screen_.LeftButtonTaken(true);
    screen_.LeftButton(false);
    ++*presses;
    return shown();
  };
  if (!WaitFor(pressed, kWindowMs, 2, "the first display under the presses")) return false;
  Note("pressed in a gap of the grid " + std::to_string(*presses) +
       " times from when the test window appeared until its first display showed");
  return true;
}

// Under openbox a click right after another window closed is now and then
// taken by the frame's activation: a person clicks once more. A dead end
// (no test however often it is clicked) still fails.
bool Person::StartTestQuickly() {
  const auto dialogUp = [this] {
    for (const TopWindow& w : Windows()) {
      if (w.title == "Subject Information" && !w.popup) return true;
    }
    return false;
  };
  for (int attempt = 0; attempt < 2; ++attempt) {
    Click(openingSquare_.center());
    Note("clicked the opening picture");
    if (WaitFor(dialogUp, kUnansweredClickMs, 20, "the Subject Information window")) return true;
  }
  return false;
}

bool Person::EnterRefusedSetting(const SubjectEntry& entry) {
  const auto boxes = [this] {
    const std::vector<TopWindow> windows = Windows();
    return std::count_if(windows.begin(), windows.end(),
                         [](const TopWindow& w) { return !w.popup; });
  };
  const int before = boxes();
  if (!FillSubjectInformation(entry)) return false;
  if (!WaitFor([&] { return boxes() > before; }, kWindowMs, 20, "the box refusing the entry")) {
    return false;
  }
  Note("a box refused the entry");
  SleepMs(200);
  screen_.Tap({"Return"});
  if (!WaitFor([&] { return boxes() == before; }, kWindowMs, 20, "the box to close")) return false;
  SleepMs(300);  // long enough for a dialog that was to close to have closed
  for (const TopWindow& w : Windows()) {
    if (w.title == "Experiment Window") return Fail("the refused entry started a test");
  }
  Note("closed the box with Return");
  return WaitWindow("Subject Information", true) || Fail("the dialog closed with the box");
}

bool Person::CorrectRefusedField(int value) {
  // The keyboard does not always come back to the dialog with the box
  // closed: a person clicks into the memorisation time's field.
  TopWindow dialog;
  if (!WaitWindow("Subject Information", true, &dialog)) return false;
  Click(dialog.rect.topLeft() + QPoint(kMemtimeFieldX, kMemtimeFieldY));
  SleepMs(100);
  if (!screen_.Tap({"Control_L", "a"}) || !screen_.Type(std::to_string(value)) ||
      !screen_.Tap({"Return"})) {
    return Fail("a key has no key code on this X server");
  }
  Note("typed " + std::to_string(value) + " over the refused value; pressed Return");
  return true;
}

bool Person::CloseTestWindow() {
  const auto numbered = [](const std::string& g) {
    return g.find('W') != std::string::npos && g.find_first_not_of(".W") == std::string::npos;
  };
  if (!WaitGrid(numbered, 15000, "a numbered display")) return false;
  if (!WaitWindow("Experiment Window", true)) return false;
  if (desktop_.windowManager) {
    screen_.Tap({"Alt_L", "F4"});
    Note("pressed Alt+F4 on the test window");
  } else {
    if (!Programs().AskToClose("Experiment Window")) return Fail("no test window to close");
    Note("asked the test window to close");
  }
  return WaitWindow("Experiment Window", false) && WaitForOpeningScreen();
}

bool Person::CancelSubjectInformation() {
  PointerAway();
  screen_.Tap({"Escape"});
  Note("pressed Escape in the Subject Information dialog");
  return WaitWindow("Subject Information", false);
}

}  // namespace e2e
