// The person stops a test part-way, and takes a practice run: the first
// trials of a test, Escape after a touch in the next one, and the practice
// from the Test menu.
#include <algorithm>
#include <thread>

#include "app/e2e/person.h"

namespace e2e {

namespace {

constexpr int kFirstItems = 3;
constexpr int kPauseMs = 150;
constexpr int kCells = 25;

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The next trial's discs by the rule `fewest` to `most`, one more after a
// trial without error, one fewer after one with an error.
int NextItems(const DrivenTrial& trial, int fewest, int most) {
  return std::clamp(trial.nItems + (trial.error ? -1 : 1), fewest, most);
}

}  // namespace

bool Person::TakeFirstTrials(const SubjectEntry& entry, int count,
                             std::vector<DrivenTrial>* trials) {
  trials->clear();
  int nItems = kFirstItems;
  for (int i = 0; i < count; ++i) {
    DrivenTrial trial;
    const std::string name = "trial " + std::to_string(i + 1);
    Note(name);
    if (!TakeTrial(nItems, entry.memtime, &trial)) return Fail(name + ": " + error_);
    nItems = NextItems(trial, 1, 20);
    trials->push_back(trial);
  }
  return true;
}

bool Person::EscapeAfterOneTouch(int expectedItems, int memtime, DrivenTouch* touch) {
  const auto numbered = [](const std::string& g) {
    return g.find('W') != std::string::npos && g.find_first_not_of(".W") == std::string::npos;
  };
  if (!WaitGrid(numbered, 15000, "a numbered display")) return false;
  std::string covered = grid_;
  int first = -1;
  int items = 0;
  for (int c = 0; c < kCells; ++c) {
    if (grid_[static_cast<size_t>(c)] != 'W') continue;
    items += 1;
    if (first < 0) first = c;
  }
  if (items != expectedItems) {
    return Fail("the staircase calls for " + std::to_string(expectedItems) + " discs");
  }
  std::replace(covered.begin(), covered.end(), 'W', 'g');
  const auto isCovered = [&covered](const std::string& g) { return g == covered; };
  if (!WaitGrid(isCovered, memtime * 1000 + 10000, "the covered display")) return false;
  if (!Touch(first, touch)) return false;
  Note("touched cell " + std::to_string(first) + ": " + touch->answer);
  SleepMs(kPauseMs);
  screen_.Tap({"Escape"});
  Note("pressed Escape in the answer");
  return WaitWindow("Experiment Window", false) && WaitForOpeningScreen();
}

bool Person::StartPracticeFromMenu() {
  return ChooseFromTestMenu("p", "Practice") && WaitWindow("Subject Information", true);
}

bool Person::TakePractice(const SubjectEntry& entry, std::vector<DrivenTrial>* trials) {
  constexpr int kTrials = 3, kFewest = 2, kMost = 3;
  trials->clear();
  int nItems = kFewest;
  for (int i = 0; i < kTrials; ++i) {
    DrivenTrial trial;
    const std::string name = "practice trial " + std::to_string(i + 1);
    Note(name);
    if (!TakeTrial(nItems, entry.memtime, &trial)) return Fail(name + ": " + error_);
    nItems = NextItems(trial, kFewest, kMost);
    trials->push_back(trial);
  }
  return WaitWindow("Experiment Window", false) && WaitForOpeningScreen();
}

bool Person::NoWindowComes(const std::string& title, int ms) {
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < until) {
    for (const TopWindow& w : Windows()) {
      if (w.title == title) return Fail("a \"" + title + "\" window came");
    }
    SleepMs(50);
  }
  Note("no \"" + title + "\" window came");
  return true;
}

}  // namespace e2e
