#include "ProgramIcon.h"

// The icon is compiled into a static library, whose resources must be
// registered by hand (and outside any namespace).
static void RegisterIconResources() {
    Q_INIT_RESOURCE(program_icon);
}

QIcon ProgramIcon() {
    RegisterIconResources();
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/zurav3-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
