#include "ProgramIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

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

QString InstalledIconUrl(const QString& applicationDir) {
    const QString icon = QStringLiteral("icons/hicolor/256x256/apps/zurav3.png");
    QString path = QDir(applicationDir).absoluteFilePath(QStringLiteral("../share/") + icon);
    if (!QFileInfo(path).isFile()) {
        path = QStandardPaths::locate(QStandardPaths::GenericDataLocation, icon);
    }
    if (path.isEmpty()) {
        return {};
    }
    return QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath()).toString(QUrl::FullyEncoded);
}
