#include "WebViewModule.h"

#include <stdexcept>

#include <QDir>
#include <QPluginLoader>

#include "WebViewFactory.h"

QString WebViewModulePath(const QString& executableDir) {
    return QDir::cleanPath(executableDir + QStringLiteral("/../lib/zurav3/libzurav3_webview.so"));
}

IWebViewFactory& LoadWebViewModule(const QString& path) {
    QPluginLoader loader(path);
    QObject* root = loader.instance();
    if (root == nullptr) {
        // Qt names the file in some of its reasons but not in others.
        QString reason = loader.errorString();
        if (!reason.contains(path)) {
            reason = path + QStringLiteral(": ") + reason;
        }
        throw std::runtime_error("The web page window could not be opened: " +
                                 reason.toStdString());
    }
    auto* factory = qobject_cast<IWebViewFactory*>(root);
    if (factory == nullptr) {
        throw std::runtime_error("The web page window could not be opened: " + path.toStdString() +
                                 " is not the program's browser module");
    }
    return *factory;
}
