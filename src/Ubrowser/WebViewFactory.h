#pragma once

#include <QtPlugin>

class QUrl;
class QWidget;

// The embedded browser, as a module loaded when the web page window first
// needs it: the web engine is large, and most runs never open that window.
class IWebViewFactory {
public:
    virtual ~IWebViewFactory() = default;

    // Makes a browser view, a child of `parent`.
    virtual QWidget* CreateView(QWidget* parent) = 0;

    // Starts loading `url` into `view` (made by CreateView) and returns at once.
    virtual void Load(QWidget* view, const QUrl& url) = 0;
};

#define ZURAV3_WEB_VIEW_FACTORY_IID "org.zurav3.IWebViewFactory/1.0"
Q_DECLARE_INTERFACE(IWebViewFactory, ZURAV3_WEB_VIEW_FACTORY_IID)
