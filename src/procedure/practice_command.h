// The Test menu's "&Practice…": the subject's details, then a practice run
// on the test window. It writes no subject rows, no log line and shows no
// ranking; its session record is marked as a practice.
#pragma once

/// Asks for the subject as a test does (cancel: nothing happens), runs the
/// practice and writes its record. The last test's table and timings are
/// as they were afterwards. Ignored while a test or a practice runs.
void StartPractice();
