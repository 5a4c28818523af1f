#pragma once

#include <QObject>

#include "WebViewFactory.h"

// The browser module's root object: browser views on Qt WebEngine. Built as a
// module of its own (zurav3_webview), never linked into the program.
class TWebEngineViewFactory final : public QObject, public IWebViewFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZURAV3_WEB_VIEW_FACTORY_IID)
    Q_INTERFACES(IWebViewFactory)
public:
    QWidget* CreateView(QWidget* parent) override;
    void Load(QWidget* view, const QUrl& url) override;
};
