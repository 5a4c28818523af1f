#include "QtBenchmarkMain.h"

#include <clocale>

#include <benchmark/benchmark.h>

#include <QApplication>

int RunQtBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // libmpv needs the C locale for numbers.
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeExit) {
        beforeExit();
    }
    return 0;
}
