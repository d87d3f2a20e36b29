// The Start Test command: the subject's details, one test on a test window
// that covers the screen, then the result files and the results viewer.
#pragma once

#include <QWindow>
#include <cstdint>
#include <functional>
#include <memory>

#include "ui/services.h"

/// Makes the test window: `width` x `height` physical pixels at the screen's
/// corner, owned by `owner`, shown full screen.
using TestWindowFactory =
    std::function<std::unique_ptr<QWindow>(int width, int height, ui::WindowHandle owner)>;

/// Installs the factory StartTest uses (empty: MakeTouchWindow); returns the previous one.
/// A setter, not a parameter: StartTest is reached only through the menu and
/// the opening screen, which tests drive as the experimenter does.
TestWindowFactory SetTestWindowFactory(TestWindowFactory factory);

/// The real test window: a frameless "Experiment Window" that feeds touchWnd,
/// shown full screen and, where the platform allows, exposed on return.
std::unique_ptr<QWindow> MakeTouchWindow(int width, int height, ui::WindowHandle owner);

/// The "&Start Test" command: asks for the subject (cancel: nothing happens),
/// runs one test on the test window, writes its results and, when
/// flag_ranking is 1, shows the results viewer. Ignored while a test runs.
void StartTest();

/// True from the start of StartTest until it returns.
bool TestRunning();
