#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class IWebViewFactory;
class QUrl;
class QVBoxLayout;

// The show's web page, an http URL fixed in the program.
extern const char* const kShowPageURL;

// The web page window: the show's page in an embedded browser that fills it.
// The browser comes from the browser module (WebViewModule.h), loaded and
// created on the first navigation, so that starting the program neither loads
// nor starts the web engine; closing the window only hides it, and the browser
// and its page stay alive.
class TfrmBrowser final : public QWidget {
    Q_OBJECT
public:
    // `webViewModules` are the files the browser module is looked for in, in
    // order; empty for those of the running executable.
    explicit TfrmBrowser(QWidget* parent = nullptr, const QStringList& webViewModules = {});
    ~TfrmBrowser() override;
    TfrmBrowser(const TfrmBrowser&) = delete;
    TfrmBrowser& operator=(const TfrmBrowser&) = delete;

    // Starts loading `url` and returns at once; the page loads in the
    // browser's own way. Throws std::runtime_error when the browser module
    // cannot be loaded; the window then has no browser, and the next call
    // tries again.
    void Navigate(const QUrl& url);

    // The browser (a QWebEngineView), null until the first navigation.
    QWidget* CppWB() const { return CppWB_; }

private:
    QVBoxLayout* layout_;
    QStringList webViewModules_;
    IWebViewFactory* factory_ = nullptr;
    QWidget* CppWB_ = nullptr;
};

extern TfrmBrowser* frmBrowser;
