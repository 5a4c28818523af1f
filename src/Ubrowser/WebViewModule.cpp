#include "WebViewModule.h"

#include <stdexcept>

#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

#include "WebViewFactory.h"

#ifndef ZURAV3_MODULE_DIR
#define ZURAV3_MODULE_DIR "lib/zurav3"
#endif
#ifndef ZURAV3_INSTALLED_MODULE_DIR
#define ZURAV3_INSTALLED_MODULE_DIR "/usr/local/lib/zurav3"
#endif

namespace {

const char* const kModuleFile = "libzurav3_webview.so";

[[noreturn]] void Fail(const QString& reason) {
    throw std::runtime_error("The web page window could not be opened: " + reason.toStdString());
}

}  // namespace

QStringList WebViewModuleCandidates(const QString& executableDir) {
    const QString file = QString::fromLatin1(kModuleFile);
    QStringList candidates{QDir::cleanPath(executableDir + QStringLiteral("/../") +
                                           QStringLiteral(ZURAV3_MODULE_DIR "/") + file)};
    const QString installed =
        QDir::cleanPath(QStringLiteral(ZURAV3_INSTALLED_MODULE_DIR "/") + file);
    if (!candidates.contains(installed)) {
        candidates.append(installed);
    }
    return candidates;
}

IWebViewFactory& LoadWebViewModule(const QStringList& candidates) {
    QString path;
    for (const QString& candidate : candidates) {
        if (QFileInfo::exists(candidate)) {
            path = candidate;
            break;
        }
    }
    if (path.isEmpty()) {
        Fail(QStringLiteral("no browser module at any of the places looked in: ") +
             candidates.join(QStringLiteral(", ")));
    }
    QPluginLoader loader(path);
    QObject* root = loader.instance();
    if (root == nullptr) {
        // Qt names the file in some of its reasons but not in others.
        QString reason = loader.errorString();
        if (!reason.contains(path)) {
            reason = path + QStringLiteral(": ") + reason;
        }
        Fail(reason);
    }
    auto* factory = qobject_cast<IWebViewFactory*>(root);
    if (factory == nullptr) {
        Fail(path + QStringLiteral(" is not the program's browser module"));
    }
    return *factory;
}
