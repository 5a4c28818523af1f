#include "WebEngineSetup.h"

#include <unistd.h>

#include <QByteArray>
#include <QtGlobal>

void PrepareWebEngine() {
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", QByteArrayLiteral("1"));
    }
}
