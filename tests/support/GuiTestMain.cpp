#include <clocale>

#include <gtest/gtest.h>

#include <QApplication>

#include "Ubrowser/WebEngineSetup.h"
#include "platform/ProgramFonts.h"

// Window tests run without a display unless the caller chose a platform.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    PrepareWebEngine();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ApplyProgramFonts();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
