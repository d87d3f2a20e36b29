#include "support/session_samples.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace testing {
namespace {

constexpr int64_t kMs = 1'000'000;
constexpr double kRefreshMs = 1000.0 / 60;

FrameRecord Frame(FrameKind kind, int patch, int64_t ns) {
  return FrameRecord{
      kind, patch,
      FrameOnset{ns, 400'000, ns - 12 * kMs, ns - 3 * kMs, OnsetSource::kPresentEvent, 0}};
}

// Canvas centre of a grid cell's patch.
int CentreX(int cell) {
  return 137 + 150 * (cell % 5) + 60;
}
int CentreY(int cell) {
  return 9 + 150 * (cell / 5) + 60;
}

}  // namespace

results::SessionRecord SimulatedSession(const SimulatedSubject& who) {
  std::mt19937 random(who.randomStart);
  std::uniform_real_distribution<double> unit(0, 1);
  TestState state{};
  for (int k = 0; k < kMaxTrials; ++k) state.trials[k].Trial = k + 1;
  state.trials[0].NItems = kFirstTrialPatches;
  state.direction = 1;
  std::vector<TrialTiming> timings(kMaxTrials);
  int64_t clock = 7'200'000 * kMs;  // two hours of uptime
  for (int i = 0; i < kMaxTrials; ++i) {
    TrialRecord& row = state.trials[i];
    const int n = std::clamp(row.NItems, 1, kMaxPatches);
    TrialTiming& t = timings[static_cast<size_t>(i)];
    std::vector<int> grid(25);
    for (int c = 0; c < 25; ++c) grid[static_cast<size_t>(c)] = c;
    std::shuffle(grid.begin(), grid.end(), random);
    t.cells.assign(grid.begin(), grid.begin() + n);
    clock += 1500 * kMs;
    t.rt1ZeroNs = clock;
    t.frames.push_back(Frame(FrameKind::kMemorisation, 0, clock));
    t.frames.push_back(Frame(FrameKind::kCover, -1, clock + who.memtime * 1000 * kMs));
    int64_t now = clock + who.memtime * 1000 * kMs;
    const bool error = n > 1 && unit(random) < 1 / (1 + std::exp(2.0 * (who.span - n)));
    const int wrongAt = error ? static_cast<int>(unit(random) * (n - 1)) : -1;  // before patch k
    row.Error = 0;
    for (int k = 0; k < n; ++k) {
      if (k == wrongAt) {
        now += static_cast<int64_t>((700 + 900 * unit(random)) * kMs);
        const int wrong = k + 1;
        t.touches.push_back({now, TouchTimeSource::kStamp, CentreX(t.cells[size_t(wrong)]) * 2,
                             CentreY(t.cells[size_t(wrong)]) * 2, CentreX(t.cells[size_t(wrong)]),
                             CentreY(t.cells[size_t(wrong)]), wrong, TouchJudgement::kWrong});
        t.frames.push_back(Frame(FrameKind::kError, wrong, now + 20 * kMs));
        t.frames.push_back(
            Frame(FrameKind::kErrorCover, wrong, now + 20 * kMs + int64_t(30 * kRefreshMs * kMs)));
        row.NCorrect = k;
        row.RT2 = static_cast<int32_t>((now - (k == 0 ? t.rt1ZeroNs : t.rt2ZeroNs)) / kMs);
        row.Error = 1;
        now += 600 * kMs;
      }
      now += static_cast<int64_t>((k == 0 ? 900 + 1200 * unit(random) : 450 + 500 * unit(random)) *
                                  kMs);
      const int cell = t.cells[static_cast<size_t>(k)];
      t.touches.push_back({now, TouchTimeSource::kStamp, CentreX(cell) * 2, CentreY(cell) * 2,
                           CentreX(cell), CentreY(cell), k, TouchJudgement::kCorrect});
      t.frames.push_back(Frame(FrameKind::kAnswer, k, now + 17 * kMs));
      if (k == 0) {
        row.RT1 = static_cast<int32_t>((now - t.rt1ZeroNs) / kMs);
        t.rt2ZeroNs = now + 17 * kMs;
      }
      if (k == n - 1 && row.Error == 0) {
        row.NCorrect = n;
        row.RT2 = n > 1 ? static_cast<int32_t>((now - t.rt2ZeroNs) / kMs) : 0;
      }
    }
    t.frames.push_back(Frame(FrameKind::kCompletion, 0, now + 34 * kMs));
    clock = now + 1034 * kMs;
    if (AdvanceStaircase(state, i, who.maxRev)) break;
  }
  TestSettings settings;
  settings.subject = who.subject;
  settings.memtime = who.memtime;
  settings.max_rev = who.maxRev;
  results::SessionInputs in;
  in.state = &state;
  in.timings = &timings;
  in.settings = &settings;
  in.stimuli = {{"stim/patch.bmp", results::StimulusUse::kFile, std::string(64, 'c')},
                {"stim/opening.bmp", results::StimulusUse::kFile, std::string(64, 'd')},
                {"stim/click.wav", results::StimulusUse::kFile, std::string(64, 'e')},
                {"stim/error.wav", results::StimulusUse::kFile, std::string(64, 'f')}};
  in.screen = {1920, 1080};
  in.presentRect = {240, 0, 1680, 1080};
  in.presentation = {"opengl-vsync", kRefreshMs / 1000, kRefreshMs / 1000, false};
  in.ended = who.ended;
  in.started = who.ended.addSecs(-static_cast<int>((clock - 7'200'000 * kMs) / 1'000'000'000));
  return results::MakeSessionRecord(in);
}

}  // namespace testing
