// Starting without a graphical display: one line that says so and exit code
// 1, where Qt would print its advice to reinstall and abort.
#pragma once

#include <QApplication>
#include <memory>

/// What the program prints, alone on a line, when it finds no display.
extern const char kNoDisplayMessage[];

/// The exit code when there is no display.
constexpr int kNoDisplayExitCode = 1;

/// The QApplication on the display the environment names; null, after
/// printing kNoDisplayMessage to stderr, when it names none. Exits with
/// kNoDisplayExitCode when the display it names cannot be opened.
std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv);
