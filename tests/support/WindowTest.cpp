#include "WindowTest.h"

#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include "Udlgrss/frmRSS.h"
#include "WaitUntil.h"
#include "Udownload/frmDownload.h"
#include "Umain/frmMain.h"

WindowTest::WindowTest() {
    services_.emplace();
}

WindowTest::~WindowTest() {
    Finish();
}

void WindowTest::TearDown() {
    Finish();
}

void WindowTest::Finish() {
    slow_.Stop();
    CloseWindows();
    // The HTTP client's open connection would hold the server's stop.
    services_.reset();
    server_.Stop();
}

void WindowTest::StartServer() {
    // Registered last, so that the test's own handlers come first.
    server_.Server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard guard(feedsLock_);
        const auto feed = feeds_.find(req.path);
        if (feed == feeds_.end()) {
            res.status = 404;
            return;
        }
        res.set_content(feed->second, "text/xml");
    });
    server_.Start();
    WriteIni("[TOV]\nRSS=" + Url("/rss") + "\n");
}

void WindowTest::SetFeed(std::string text, const std::string& path) {
    std::lock_guard guard(feedsLock_);
    feeds_[path] = std::move(text);
}

void WindowTest::ServeSlowBody(const std::string& path, std::size_t total, std::size_t chunk,
                               std::chrono::milliseconds pause) {
    slow_.Serve(server_, path, total, chunk, pause);
}

TfrmMain& WindowTest::Main(bool waitForFeed) {
    if (!main_) {
        main_ = std::make_unique<TfrmMain>(AppServices());
        if (waitForFeed) {
            EXPECT_TRUE(WaitUntil([this] { return !main_->FeedLoading(); }, kSettleTimeout))
                << "the feed did not load";
        }
    }
    return *main_;
}

bool WindowTest::Settle() {
    return WaitUntil([this] { return !Main().Pending(); }, kSettleTimeout);
}

TfrmRSS& WindowTest::Rss() {
    if (!rss_) {
        rss_ = std::make_unique<TfrmRSS>(AppServices());
    }
    return *rss_;
}

TfrmDownload& WindowTest::Download() {
    if (!download_) {
        download_ = std::make_unique<TfrmDownload>(AppServices());
    }
    return *download_;
}

bool WindowTest::ShowMain() {
    Main().show();
    return QTest::qWaitForWindowExposed(&Main());
}

void WindowTest::CloseWindows() {
    download_.reset();
    rss_.reset();
    main_.reset();
}

void WindowTest::WhenTheBarMoves(std::function<void()> action) {
    TfrmDownload& window = Download();
    auto* timer = new QTimer(&window);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [&window, timer, action] {
        auto* bar = window.findChild<QProgressBar*>(QStringLiteral("prgDownload"));
        if (window.Downloading && bar->value() > 0) {
            timer->stop();
            action();
        }
    });
    timer->start();
}
