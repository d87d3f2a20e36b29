// What the person's files share: where the grid's cells are on the canvas,
// how long the person waits and holds, and how a pixel reads.
#pragma once

#include <QRect>
#include <QRgb>
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "app/e2e/person.h"

namespace e2e {

namespace {

constexpr int kCells = 25;
// Canvas coordinates: the grid's first cell and pitch; inside a cell, where
// it is read (inside the disc, clear of the number and of the cover's rings),
// where it is touched and the black gap to its right.
constexpr int kGridLeft = 137;
constexpr int kGridTop = 9;
constexpr int kGridPitch = 150;
constexpr int kSampleX = 60;
constexpr int kSampleY = 8;
constexpr int kDiscCentre = 60;
constexpr int kGapX = 135;
constexpr int kOpeningSide = 512;
// How far below the screen's centre line the opening square may sit: the
// title and menu bars push the client area down by half their height. And how
// far to either side it is looked for, so that a misplaced frame is seen as
// such rather than as no picture.
constexpr int kMaxMenuShift = 80;
constexpr int kMaxSideShift = 8;
// A dialog's outer frame is centred over the main frame's when the centres are
// this close: the frame of a window not yet shown can only be estimated.
constexpr int kCentreTolerance = 2;
// Long enough for a click that is to start nothing to have started something.
constexpr int kNoAnswerMs = 1500;
// A tap as a person makes it. Held this long, the press is judged before the
// release arrives even when the program is slow to pump its messages; the
// pause after the answer lets it see the release before the next press.
constexpr int kHoldMs = 100;
constexpr int kPauseAfterAnswerMs = 100;
constexpr int kWindowMs = 10000;
// How long a window manager may take to frame and place a new window.
constexpr int kSettleMs = 2000;
// Where no window list is to be had, how long a window is given to open or close.
constexpr int kUnlistedWindowMs = 1000;

inline void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

inline double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Strict black and white: the opening picture's dark blue-grey and the
// dialogs' light grey must not pass for the canvas or a disc.
inline char Classify(QRgb p) {
  const int r = qRed(p), g = qGreen(p), b = qBlue(p);
  const int high = std::max({r, g, b}), low = std::min({r, g, b});
  if (high <= 12) return '.';
  if (low >= 245) return 'W';
  if (r > 150 && g < 90 && b < 90) return 'R';
  if (g > 150 && r < 90 && b < 90) return 'G';
  if (high - low < 30 && low >= 80 && high <= 180) return 'g';
  return '?';
}

inline std::string Describe(const QRect& r) {
  return "(" + std::to_string(r.x()) + ", " + std::to_string(r.y()) + ") " +
         std::to_string(r.width()) + " x " + std::to_string(r.height());
}

}  // namespace

}  // namespace e2e
