#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "Controls.h"
#include "FeedBuilder.h"
#include "TestHttpServer.h"
#include "TestServices.h"
#include "TransferHelpers.h"

class TfrmDownload;
class TfrmMain;
class TfrmRSS;

// What a window test starts from: a real HTTP server on 127.0.0.1 serving
// feeds that the test sets and may change between loads, the real services
// with scripted dialogs, a settings file in a temporary folder, and the
// program's windows, each made when the test first asks for it.
//
// TearDown ends the slow bodies, destroys the windows (the download window and
// the settings dialog before the main window, as the program does), then the
// services, and only then stops the server: state a derived test's handlers
// use stays alive until the server is stopped. A derived TearDown calls this
// one last.
class WindowTest : public ::testing::Test {
protected:
    using Kind = ScriptedDialogs::Kind;

    WindowTest();
    ~WindowTest() override;
    void TearDown() override;

    // --- the server: add handlers through Server() before StartServer() ---
    TestHttpServer& Server() { return server_; }
    // Starts serving and writes a settings file whose feed is Url("/rss").
    void StartServer();
    std::string Url(const std::string& path) const { return server_.Url(path); }
    // Serves `text` as XML at `path` from now on, before or after the start.
    // Paths with no handler and no feed answer 404.
    void SetFeed(std::string text, const std::string& path = "/rss");
    // A body that trickles out (SlowBody::Serve); ended by TearDown.
    void ServeSlowBody(const std::string& path, std::size_t total, std::size_t chunk = 16 * 1024,
                       std::chrono::milliseconds pause = std::chrono::milliseconds(10));

    // --- the services and the test's folder ---
    Services& AppServices() { return services_->Get(); }
    ScriptedDialogs& Dialogs() { return services_->Dialogs(); }
    IMediaDevice& Media() { return *services_->Get().media; }
    std::filesystem::path Folder() const { return services_->Folder(); }
    std::filesystem::path IniPath() const { return services_->IniPath(); }
    void WriteIni(const std::string& text) const { services_->WriteIni(text); }
    std::string ReadIni() const { return services_->ReadIni(); }

    // --- the windows, made on first use ---
    // The main window; when made here, the feed it starts loading has been
    // loaded unless `waitForFeed` is false.
    TfrmMain& Main(bool waitForFeed = true);
    // Waits until nothing of the main window's is pending (a feed load, a
    // link check, an open, the wait before playing); true when so.
    bool Settle();
    static constexpr std::chrono::seconds kSettleTimeout{60};
    TfrmRSS& Rss();
    TfrmDownload& Download();
    // Shows the main window; true once it is on screen.
    bool ShowMain();
    // Destroys the windows now, as the program's end does; the main window
    // writes its settings. The next Main() reads them afresh.
    void CloseWindows();

    // A control of the main window, or of another window.
    template <typename T = QWidget>
    T* Find(const char* name) {
        return ::Find<T>(Main(), name);
    }
    template <typename T = QWidget>
    T* Find(const QObject& window, const char* name) {
        return ::Find<T>(window, name);
    }

    // Calls `action` once, from the event processing of a running transfer, as
    // soon as the download window's bar has moved.
    void WhenTheBarMoves(std::function<void()> action);

private:
    void Finish();

    TestHttpServer server_;
    std::mutex feedsLock_;
    std::map<std::string, std::string> feeds_;
    SlowBody slow_;
    std::optional<TestServices> services_;
    std::unique_ptr<TfrmMain> main_;
    std::unique_ptr<TfrmRSS> rss_;
    std::unique_ptr<TfrmDownload> download_;
};
