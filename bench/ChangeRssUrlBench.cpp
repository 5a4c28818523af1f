// The whole load behind the settings dialog's OK on a large feed: fetch (here a
// body held in memory), decode, the hidden text box, the scan and the date
// list. Run from the build folder:
//   ./bench/bench_change_rss_url
// The parts are measured on their own too, to show where the time goes.
#include <algorithm>
#include <chrono>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "FeedBuilder.h"
#include "QtBenchmarkMain.h"
#include "ScriptedDialogs.h"
#include "Umain/frmMain.h"
#include "feed/FeedEncoding.h"
#include "feed/FeedText.h"
#include "platform/MpvMediaDevice.h"
#include "platform/Services.h"
#include "platform/SimpleIniFile.h"

namespace {

// Answers every request with one body from the next turn of the event loop, so
// the network does not enter the figures.
class HeldFeed final : public IHttpClient {
public:
    std::string body;
    std::unique_ptr<HttpRequest> Start(Method, const std::string&, Done done) override {
        auto request = std::make_unique<Answer>();
        QMetaObject::invokeMethod(
            &request->context,
            [this, done = std::move(done)] {
                HttpResult result;
                result.status = 200;
                result.body = body;
                done(std::move(result));
            },
            Qt::QueuedConnection);
        return request;
    }

private:
    struct Answer final : HttpRequest {
        QObject context;
    };
};

struct Window {
    Window(std::size_t megabytes, bool shown, bool oneLine) {
        auto http = std::make_unique<HeldFeed>();
        feed = http.get();
        services.http = std::move(http);
        services.media = std::make_unique<MpvMediaDevice>("null");
        services.ini = std::make_unique<SimpleIniFile>();
        services.dialogs = std::make_unique<ScriptedDialogs>();
        services.app =
            AppInfo(std::filesystem::path(dir.path().toStdString()) / "ZURav3", {3, 0, 0, 0});
        main = std::make_unique<TfrmMain>(services);  // starts on an empty feed
        while (main->FeedLoading()) {
            QApplication::processEvents();
        }
        feed->body = GenerateFeedOfSize(megabytes * 1'000'000);
        if (oneLine) {  // many feeds come without line breaks
            std::replace(feed->body.begin(), feed->body.end(), '\n', ' ');
        }
        if (shown) {
            main->show();
            main->btnListClick();  // the hidden region with the text box in view
            QApplication::processEvents();
        }
    }
    QTemporaryDir dir;
    Services services;
    HeldFeed* feed = nullptr;
    std::unique_ptr<TfrmMain> main;
};

void ChangeRssURL(benchmark::State& state) {
    Window w(static_cast<std::size_t>(state.range(0)), state.range(1) != 0, state.range(2) != 0);
    for (auto _ : state) {
        w.main->ChangeRssURL("http://feed.example/rss");
        while (w.main->FeedLoading()) {
            QApplication::processEvents();
        }
        QApplication::processEvents();  // what the user waits for: the repaint too
    }
    state.counters["MB"] = static_cast<double>(w.feed->body.size()) / 1e6;
    state.counters["records"] = static_cast<double>(w.main->Episodes.size());
}

void SetMemoText(benchmark::State& state) {
    Window w(static_cast<std::size_t>(state.range(0)), state.range(1) != 0, state.range(2) != 0);
    auto* memo = w.main->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    for (auto _ : state) {
        memo->setPlainText(QString::fromStdString(w.feed->body));
        QApplication::processEvents();
    }
}

void DecodeAndScan(benchmark::State& state) {
    const std::string body =
        GenerateFeedOfSize(static_cast<std::size_t>(state.range(0)) * 1'000'000);
    for (auto _ : state) {
        std::string text = body;
        DecodeFeedBody(text);
        benchmark::DoNotOptimize(ScanFeedEnclosures(text).size());
    }
}

}  // namespace

// Arguments: megabytes, whether the window is on screen with the text box in
// view, and whether the feed is one long line.
BENCHMARK(ChangeRssURL)
    ->Args({2, 0, 0})
    ->Args({20, 0, 0})
    ->Args({20, 1, 0})
    ->Args({2, 1, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SetMemoText)
    ->Args({20, 0, 0})
    ->Args({20, 1, 0})
    ->Args({2, 1, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeAndScan)->Arg(20)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv);
}
