#include <atomic>

#include <QApplication>
#include <QToolButton>
#include <QUrl>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include "Ubrowser/frmBrowser.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"

namespace {

constexpr auto kPageLoad = std::chrono::seconds(90);

// The show's page is served on 127.0.0.1: the browser is told to resolve the
// page's host name there, so the program's own address is the one loaded. The
// web engine reads that rule once, so this server serves the whole suite.
class BrowserWindow : public WindowTest {
protected:
    static void SetUpTestSuite() {
        server_ = new TestHttpServer;
        server_->Server().Get("/", [](const httplib::Request&, httplib::Response& res) {
            ++showPageRequests_;
            res.set_header("Cache-Control", "no-store");
            res.set_content(
                "<html><head><title>TOV show</title></head>"
                "<body><a id=\"other\" href=\"/other\">other</a></body></html>",
                "text/html");
        });
        server_->Server().Get("/other", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><head><title>Other page</title></head><body/></html>",
                            "text/html");
        });
        server_->Start();
        // Read by the web engine when it starts, which is at the first page.
        const QString host = QUrl(QString::fromLatin1(kShowPageURL)).host();
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        flags += " --host-resolver-rules=\"MAP " + host.toLatin1() +
                 " 127.0.0.1:" + QByteArray::number(server_->Port()) + "\"";
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }

    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        WriteIni("[TOV]\nRSS=" + server_->Url("/rss") + "\n");
        Main();
        browser_ = std::make_unique<TfrmBrowser>();
        Main().show();
    }

    void TearDown() override {
        browser_.reset();
        WindowTest::TearDown();
    }

    void ClickTOV() { Find<QToolButton>("sbtnTOV")->click(); }

    // True once the browser shows a page with this title whose load finished.
    bool Loaded(const QString& title) {
        QWebEngineView* view = browser_->CppWB();
        return view != nullptr && finished_ && view->title() == title;
    }

    void WatchLoads() {
        QObject::connect(browser_->CppWB(), &QWebEngineView::loadStarted,
                         [this] { finished_ = false; });
        QObject::connect(browser_->CppWB(), &QWebEngineView::loadFinished,
                         [this](bool ok) { finished_ = ok; });
    }

    static TestHttpServer* server_;
    static std::atomic<int> showPageRequests_;
    std::unique_ptr<TfrmBrowser> browser_;
    bool finished_ = false;
};

TestHttpServer* BrowserWindow::server_ = nullptr;
std::atomic<int> BrowserWindow::showPageRequests_{0};

}  // namespace

TEST_F(BrowserWindow, ClickShowsTheWindowAtTheCornerAndLoadsTheShowPage) {
    EXPECT_EQ(frmBrowser, browser_.get());
    // Nothing of the web engine exists before the page is first asked for.
    EXPECT_EQ(browser_->CppWB(), nullptr);
    EXPECT_FALSE(browser_->isVisible());

    ClickTOV();
    ASSERT_NE(browser_->CppWB(), nullptr);
    WatchLoads();
    EXPECT_EQ(browser_->CppWB()->objectName(), QStringLiteral("CppWB"));
    EXPECT_TRUE(browser_->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(browser_->windowTitle(), QStringLiteral("토브 라디오"));
    EXPECT_EQ(browser_->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(browser_->size(), QSize(1016, 741));
    EXPECT_TRUE(browser_->windowFlags() & Qt::WindowMaximizeButtonHint);

    ASSERT_TRUE(WaitUntil([&] { return Loaded(QStringLiteral("TOV show")); }, kPageLoad));
    EXPECT_EQ(browser_->CppWB()->url(), QUrl(QString::fromLatin1(kShowPageURL)));
    EXPECT_EQ(browser_->CppWB()->geometry(), browser_->rect());

    // The browser follows the window's size.
    browser_->resize(700, 500);
    EXPECT_TRUE(WaitUntil([&] { return browser_->CppWB()->size() == QSize(700, 500); }));
}

TEST_F(BrowserWindow, EveryClickLoadsTheShowPageAgainAndShowsTheHiddenWindow) {
    ClickTOV();
    WatchLoads();
    ASSERT_TRUE(WaitUntil([&] { return Loaded(QStringLiteral("TOV show")); }, kPageLoad));
    const int requests = showPageRequests_;

    // The user follows a link away from the show's page, then closes the window.
    browser_->CppWB()->page()->runJavaScript(
        QStringLiteral("document.getElementById('other').click()"));
    ASSERT_TRUE(WaitUntil([&] { return Loaded(QStringLiteral("Other page")); }, kPageLoad));
    browser_->move(30, 40);
    browser_->close();
    EXPECT_FALSE(browser_->isVisible());

    ClickTOV();
    EXPECT_TRUE(browser_->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return Loaded(QStringLiteral("TOV show")); }, kPageLoad));
    EXPECT_EQ(browser_->CppWB()->url(), QUrl(QString::fromLatin1(kShowPageURL)));
    EXPECT_EQ(showPageRequests_, requests + 1);
    EXPECT_EQ(browser_->pos(), QPoint(30, 40));

    // Already shown and already on the page: the page is still loaded afresh.
    ClickTOV();
    EXPECT_TRUE(WaitUntil([&] { return showPageRequests_ == requests + 2; }, kPageLoad));
}
