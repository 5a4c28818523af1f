#include "WebEngineViewFactory.h"

#include <stdexcept>

#include <QOpenGLContext>
#include <QUrl>
#include <QWebEngineView>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

QWidget* TWebEngineViewFactory::CreateView(QWidget* parent) {
    // The engine draws through an OpenGL context shared with Qt's, which a
    // program linking the engine gets made at start, at the price of loading
    // the OpenGL driver (tens of MiB) in every run. Loaded late, the module
    // makes it now, before the first view; without it the engine crashes.
    if (QOpenGLContext::globalShareContext() == nullptr) {
        QtWebEngineQuick::initialize();
    }
    return new QWebEngineView(parent);
}

void TWebEngineViewFactory::Load(QWidget* view, const QUrl& url) {
    auto* browser = qobject_cast<QWebEngineView*>(view);
    if (browser == nullptr) {
        throw std::logic_error("not a view of the browser module");
    }
    browser->load(url);
}
