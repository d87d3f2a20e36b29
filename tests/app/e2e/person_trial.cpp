// The person taking trials: watching the grid's cells, touching discs and
// answering the numbers in order, trial after trial.
#include "app/e2e/person.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/e2e/person_grid.h"
#include "app/e2e/weston_scene.h"

namespace e2e {

// Reads every cell's sample point, in one round trip, until `seen` holds
// for their shades. The frame that made it so reached the screen between the
// last read that did not see it and the first that did. With `perCell`, the
// reads go on until two in a row agree, and each cell gets the moment it
// first showed 'W': a frame may reach the screen's pixels in parts.
bool Person::WatchCells(const std::function<bool(const std::string&)>& seen, int timeoutMs,
                        const std::string& what, ServerMoment* when,
                        std::vector<ServerMoment>* perCell) {
  std::vector<QPoint> points;
  for (int c = 0; c < kCells; ++c) points.push_back(At(c, kSampleX, kSampleY));
  std::vector<QRgb> colours;
  std::string shades(kCells, '?');
  std::string previousShades;
  ServerMoment read;
  ServerMoment previous;
  bool first = true;
  bool found = false;
  if (perCell) perCell->assign(kCells, ServerMoment{});
  std::vector<bool> white(kCells, false);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    if (!screen_.ReadPoints(points, &colours, &read)) return Fail("the X server refused a read");
    for (int c = 0; c < kCells; ++c) shades[static_cast<size_t>(c)] = Classify(colours[size_t(c)]);
    if (!found && seen(shades)) {
      found = true;
      when->sent = previous.sent;
      when->answered = read.answered;
      when->known = !first;
    }
    if (perCell && (found || !first)) {
      for (int c = 0; c < kCells; ++c) {
        if (white[size_t(c)] || shades[size_t(c)] != 'W') continue;
        white[size_t(c)] = true;
        (*perCell)[size_t(c)] = ServerMoment{previous.sent, read.answered, !first};
      }
    }
    if (found && (!perCell || shades == previousShades)) return true;
    previousShades = shades;
    previous = read;
    first = false;
  }
  if (found) return true;
  return Fail("timed out watching for " + what + "; the cells showed " + shades);
}

// Touches the centre of a cell's disc, watches the disc answer, and lifts
// the finger after a person's usual hold.
bool Person::Touch(int cell, DrivenTouch* touch) {
  touch->cell = cell;
  const QPoint centre = At(cell, kDiscCentre, kDiscCentre);
  screen_.MoveTo(centre.x(), centre.y());
  SleepMs(15);
  touch->press = screen_.LeftButtonTaken(true);
  const auto changed = [cell](const std::string& g) {
    return std::string("WRG").find(g[static_cast<size_t>(cell)]) != std::string::npos;
  };
  const std::string what = "the answer to a touch on cell " + std::to_string(cell);
  if (!WatchCells(changed, 5000, what, &touch->answerSeen)) return false;
  std::this_thread::sleep_until(touch->press.answered + std::chrono::milliseconds(kHoldMs));
  screen_.LeftButton(false);
  if (!WaitGrid(changed, 5000, what)) return false;
  touch->answer = grid_[static_cast<size_t>(cell)];
  return true;
}

// Each number is looked for among the discs not yet found, in reading order,
// skipping those already tried for it.
bool Person::AnswerTrial(const std::vector<int>& cells,
                         const std::vector<ServerMoment>& cellOnsets, DrivenTrial* trial) {
  std::vector<int> found;
  std::vector<int> tried;
  const auto in = [](const std::vector<int>& v, int c) {
    return std::find(v.begin(), v.end(), c) != v.end();
  };
  ServerMoment at;
  while (found.size() < cells.size()) {
    const auto next = std::find_if(cells.begin(), cells.end(),
                                   [&](int c) { return !in(found, c) && !in(tried, c); });
    if (next == cells.end()) return Fail("every disc was wrong for the next number");
    const int cell = *next;
    DrivenTouch touch;
    if (!Touch(cell, &touch)) return false;
    trial->touches.push_back(touch);
    at = touch.press;
    const char answer = touch.answer;
    Note("touched cell " + std::to_string(cell) + ": " + answer);
    if (answer == 'R') {
      trial->error = true;
      trial->nCorrect = static_cast<int>(found.size());
      trial->last = at;
      trial->lastWrongBeforeFirst = found.empty();
      tried.push_back(cell);
      const auto coveredAgain = [cell](const std::string& g) { return g[size_t(cell)] == 'g'; };
      if (!WaitGrid(coveredAgain, 5000, "the red disc to be covered again")) return false;
    } else {
      if (found.empty()) {
        trial->first = at;
        trial->answer = touch.answerSeen;
        // RT1 runs from when patch 1 itself showed.
        if (cellOnsets[static_cast<size_t>(cell)].known) trial->onset = cellOnsets[size_t(cell)];
      }
      found.push_back(cell);
      tried.clear();
      if (answer == 'G' && found.size() < cells.size()) return Fail("all green too early");
    }
    SleepMs(kPauseAfterAnswerMs);
  }
  if (!trial->error) {
    trial->nCorrect = trial->nItems;
    trial->last = at;
  }
  return true;
}

bool Person::TakeTrial(int expectedItems, int memtime, DrivenTrial* trial) {
  // The numbered display: white discs on black, nothing else.
  const auto numbered = [](const std::string& g) {
    return g.find('W') != std::string::npos && g.find_first_not_of(".W") == std::string::npos;
  };
  const auto firstNumbered = [](const std::string& g) {
    return g.find('W') != std::string::npos && g.find_first_not_of(".W") == std::string::npos;
  };
  std::vector<ServerMoment> cellOnsets;
  if (!WatchCells(firstNumbered, 15000, "a numbered display", &trial->onset, &cellOnsets)) {
    return false;
  }
  if (!WaitGrid(numbered, 5000, "a numbered display")) return false;
  if (!WaitWindow("Experiment Window", true)) return false;
  std::vector<int> cells;
  std::string covered = grid_;
  for (int c = 0; c < kCells; ++c) {
    if (grid_[static_cast<size_t>(c)] == 'W') cells.push_back(c);
  }
  std::replace(covered.begin(), covered.end(), 'W', 'g');
  trial->nItems = static_cast<int>(cells.size());
  trial->cells = cells;
  Note("numbered display " + grid_);
  if (trial->nItems != expectedItems) {
    return Fail("the staircase calls for " + std::to_string(expectedItems) + " discs");
  }
  if (!memorisationWhole_ && !CheckWhole(cells, 'W')) return false;
  if (onMemorisation) {
    onMemorisation();
    onMemorisation = nullptr;
  }
  const auto isCovered = [&covered](const std::string& g) { return g == covered; };
  if (!WaitGrid(isCovered, memtime * 1000 + 10000, "the covered display")) return false;
  if (!coveredWhole_ && !CheckWhole(cells, 'g')) return false;

  if (!AnswerTrial(cells, cellOnsets, trial)) return false;
  const auto allGreen = [&cells](const std::string& g) {
    return std::all_of(cells.begin(), cells.end(), [&g](int c) { return g[size_t(c)] == 'G'; });
  };
  return WaitGrid(allGreen, 5000, "the green completion display");
}

// Counts the one-up, one-down rule as the person sees it: three discs first,
// one more after a trial without error, one fewer after one with an error.
bool Person::TakeTest(const SubjectEntry& entry, std::vector<DrivenTrial>* trials) {
  int nItems = 3;
  int direction = 1;
  int reversals = 0;
  trials->clear();
  while (reversals < entry.maxRev) {
    DrivenTrial trial;
    const std::string name = "trial " + std::to_string(trials->size() + 1);
    Note(name);
    if (!TakeTrial(nItems, entry.memtime, &trial)) return Fail(name + ": " + error_);
    if ((direction > 0) == trial.error) {
      trial.rev = ++reversals;
      direction = -direction;
    }
    nItems += trial.error ? -1 : 1;
    const auto range = [](const Bounds& b) {
      char text[64];
      std::snprintf(text, sizeof text, "%.1f-%.1f ms", b.low, b.high);
      return std::string(text);
    };
    Note("all green; RT1 " + range(trial.Rt1()) + ", RT2 " + range(trial.Rt2()) + ", reversal " +
         std::to_string(trial.rev));
    trials->push_back(trial);
  }
  if (!memorisationWhole_ || !coveredWhole_) {
    return Fail("no memorisation and covered display stood long enough to be looked at whole");
  }
  return true;
}

}  // namespace e2e
