#pragma once

#include <QWidget>

class QUrl;
class QVBoxLayout;
class QWebEngineView;

// The show's web page, an http URL fixed in the program.
extern const char* const kShowPageURL;

// The web page window: the show's page in an embedded browser that fills it.
// The browser is created on the first navigation, so that starting the program
// does not start the web engine; closing the window only hides it, and the
// browser and its page stay alive.
class TfrmBrowser final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmBrowser(QWidget* parent = nullptr);
    ~TfrmBrowser() override;
    TfrmBrowser(const TfrmBrowser&) = delete;
    TfrmBrowser& operator=(const TfrmBrowser&) = delete;

    // Starts loading `url` and returns at once; the page loads in the
    // browser's own way.
    void Navigate(const QUrl& url);

    // The browser, null until the first navigation.
    QWebEngineView* CppWB() const { return CppWB_; }

private:
    QVBoxLayout* layout_;
    QWebEngineView* CppWB_ = nullptr;
};

extern TfrmBrowser* frmBrowser;
