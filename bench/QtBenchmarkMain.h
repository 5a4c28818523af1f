#pragma once

#include <functional>

// Runs the benchmarks named on the command line inside a QApplication on the
// offscreen platform (unless the caller chose another). `beforeExit` runs while
// the application still exists, to release what needs it.
int RunQtBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit = {});
