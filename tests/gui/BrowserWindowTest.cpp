#include <atomic>

#include <QApplication>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include "Ubrowser/frmBrowser.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"

namespace {

constexpr auto kPageLoad = std::chrono::seconds(90);

// Whether the browser's last load has finished, and finished well.
class LoadWatch : public QObject {
    Q_OBJECT
public:
    bool finished = false;
public slots:
    void Started() { finished = false; }
    void Finished(bool ok) { finished = ok; }
};

// The web page window as the program has it: this executable does not link the
// web engine, so the browser comes from the module built beside the program,
// loaded on the first click as in a run of the program; it is read through its
// properties and signals (title, url, loadFinished).
//
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
        browser_ = std::make_unique<TfrmBrowser>(
            nullptr, QStringList{QStringLiteral(ZURAV3_WEBVIEW_MODULE)});
        Main().show();
    }

    void TearDown() override {
        browser_.reset();
        WindowTest::TearDown();
    }

    void ClickTOV() { Find<QToolButton>("sbtnTOV")->click(); }

    QString Title() const { return browser_->CppWB()->property("title").toString(); }
    QUrl PageUrl() const { return browser_->CppWB()->property("url").toUrl(); }

    // True once the browser shows a page with this title whose load finished.
    bool Loaded(const QString& title) {
        return browser_->CppWB() != nullptr && loads_.finished && Title() == title;
    }

    void WatchLoads() {
        QObject::connect(browser_->CppWB(), SIGNAL(loadStarted()), &loads_, SLOT(Started()));
        QObject::connect(browser_->CppWB(), SIGNAL(loadFinished(bool)), &loads_,
                         SLOT(Finished(bool)));
    }

    static TestHttpServer* server_;
    static std::atomic<int> showPageRequests_;
    std::unique_ptr<TfrmBrowser> browser_;
    LoadWatch loads_;
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
    EXPECT_EQ(Dialogs().Count(), 0u);
    ASSERT_NE(browser_->CppWB(), nullptr);
    WatchLoads();
    EXPECT_STREQ(browser_->CppWB()->metaObject()->className(), "QWebEngineView");
    EXPECT_EQ(browser_->CppWB()->objectName(), QStringLiteral("CppWB"));
    EXPECT_TRUE(browser_->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(browser_->windowTitle(), QStringLiteral("토브 라디오"));
    EXPECT_EQ(browser_->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(browser_->size(), QSize(1016, 741));
    EXPECT_TRUE(browser_->windowFlags() & Qt::WindowMaximizeButtonHint);

    ASSERT_TRUE(WaitUntil([&] { return Loaded(QStringLiteral("TOV show")); }, kPageLoad));
    EXPECT_EQ(PageUrl(), QUrl(QString::fromLatin1(kShowPageURL)));
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

    // The user goes to another page, then closes the window.
    browser_->CppWB()->setProperty("url", QUrl(QString::fromStdString(server_->Url("/other"))));
    ASSERT_TRUE(WaitUntil([&] { return Loaded(QStringLiteral("Other page")); }, kPageLoad));
    browser_->move(30, 40);
    browser_->close();
    EXPECT_FALSE(browser_->isVisible());

    ClickTOV();
    EXPECT_TRUE(browser_->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return Loaded(QStringLiteral("TOV show")); }, kPageLoad));
    EXPECT_EQ(PageUrl(), QUrl(QString::fromLatin1(kShowPageURL)));
    EXPECT_EQ(showPageRequests_, requests + 1);
    EXPECT_EQ(browser_->pos(), QPoint(30, 40));

    // Already shown and already on the page: the page is still loaded afresh.
    ClickTOV();
    EXPECT_TRUE(WaitUntil([&] { return showPageRequests_ == requests + 2; }, kPageLoad));
}

// A copy of the executable on its own, with no lib/zurav3 beside its folder,
// finds the module in the folder it was installed to.
TEST_F(BrowserWindow, ModuleMissingBesideTheExecutableIsTakenFromTheInstalledFolder) {
    const QString beside = QString::fromStdString(Folder().string()) +
                           QStringLiteral("/lib/zurav3/libzurav3_webview.so");
    browser_ = std::make_unique<TfrmBrowser>(
        nullptr, QStringList{beside, QStringLiteral(ZURAV3_WEBVIEW_MODULE)});
    ClickTOV();
    EXPECT_EQ(Dialogs().Count(), 0u);
    ASSERT_NE(browser_->CppWB(), nullptr);
    EXPECT_TRUE(browser_->isVisible());
}

// A copy of the program without its browser module anywhere, or with a
// damaged one, still runs: the click reports every file looked for, or the
// damaged file and the reason, in the error box, shows no empty window, and
// the next click tries again instead of crashing.
TEST_F(BrowserWindow, MissingOrDamagedModuleIsReportedOnEveryClickAndNoWindowOpens) {
    const QString folder = QString::fromStdString(Folder().string());
    WriteFileBytes(Folder().string() + "/damaged.so", "not a library");
    const QString beside = folder + QStringLiteral("/lib/zurav3/libzurav3_webview.so");
    const QString installed = folder + QStringLiteral("/usr/lib/zurav3/libzurav3_webview.so");
    const QString damaged = folder + QStringLiteral("/damaged.so");
    const struct {
        QStringList candidates;
        QStringList named;
    } cases[] = {
        {{beside, installed}, {beside, installed}},
        {{beside, damaged, installed}, {damaged}},
    };
    for (const auto& c : cases) {
        Dialogs().Clear();
        browser_ = std::make_unique<TfrmBrowser>(nullptr, c.candidates);
        for (std::size_t click = 1; click <= 2; ++click) {
            ClickTOV();
            ASSERT_EQ(Dialogs().Count(), click) << c.named.join(u' ').toStdString();
            EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
            const QString text = Dialogs().Last().text;
            EXPECT_TRUE(
                text.startsWith(QStringLiteral("The web page window could not be opened: ")))
                << text.toStdString();
            for (const QString& file : c.named) {
                EXPECT_TRUE(text.contains(file)) << text.toStdString();
            }
            EXPECT_FALSE(browser_->isVisible());
            EXPECT_EQ(browser_->CppWB(), nullptr);
        }
    }
    EXPECT_TRUE(Main().isVisible());
}

#include "BrowserWindowTest.moc"
