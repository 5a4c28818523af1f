// How long the main window goes without an event-loop turn while 재생,
// 새로고침 and the settings dialog's OK wait on a server at 127.0.0.1 whose
// every answer comes 5 s after the request: a 1 ms timer runs from just before
// the click until the click's effect is there (the medium playing, the new
// episodes in the drop-down, the new dates in the list) or 90 s have passed,
// and the longest interval between two of its timeouts is the longest time the
// window could not have answered the user. Whether the handler waits or
// returns at once, the measurement ends at the same effect.
//   build/bench/bench_responsiveness [--benchmark_filter=...]
// The real HTTP client with the program's time-outs, real libmpv on its null
// output, the window offscreen with the tests' scripted dialogs.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "FeedBuilder.h"
#include "QtBenchmarkMain.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestServices.h"
#include "Udlgrss/frmRSS.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;
constexpr auto kAnswerDelay = std::chrono::seconds(5);
constexpr auto kDeadline = std::chrono::seconds(90);

// The longest interval between two timeouts of a 1 ms timer, from Start().
class TurnGapMeter {
public:
    TurnGapMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            longest_ = std::max(longest_, Ms(now - last_).count());
            last_ = now;
        });
    }
    void Start() {
        longest_ = 0;
        last_ = Clock::now();
        timer_.start();
    }
    // Counts the time since the last timeout too, should it still be waiting.
    double Stop() {
        timer_.stop();
        return std::max(longest_, Ms(Clock::now() - last_).count());
    }

private:
    QTimer timer_;
    Clock::time_point last_;
    double longest_ = 0;
};

// The window with its settings dialog, on a server that answers at once until
// SlowDown(), and from then on 5 s after each request.
class Stage {
public:
    Stage() : services_(CurlHttpClient::Options{}) {
        server_.Server().set_pre_routing_handler(
            [this](const httplib::Request&, httplib::Response&) {
                std::unique_lock<std::mutex> locked(lock_);
                if (slow_) {
                    // Ended early only by the stage going away.
                    wake_.wait_for(locked, kAnswerDelay, [this] { return ending_; });
                }
                return httplib::Server::HandlerResponse::Unhandled;
            });
        server_.ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        server_.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            const std::lock_guard<std::mutex> locked(lock_);
            res.set_content(feed_, "text/xml");
        });
        server_.Server().Get("/scan", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(ScanFeed({"15"}), "text/xml");
        });
        server_.Start();
        feed_ = Feed("A");
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n");
        main_ = std::make_unique<TfrmMain>(services_.Get());
        rss_ = std::make_unique<TfrmRSS>(services_.Get());
        main_->show();
        // The feed loads from the event loop: the clicks start from a window
        // that has it.
        auto* episodes = Find<QComboBox>(*main_, "cmbItem");
        if (!WaitUntil([&] { return !main_->Pending() && episodes->count() > 0; },
                       std::chrono::seconds(30))) {
            throw std::runtime_error("the window did not load the feed");
        }
    }

    ~Stage() {
        {
            const std::lock_guard<std::mutex> locked(lock_);
            ending_ = true;
        }
        wake_.notify_all();
        rss_.reset();
        main_.reset();
        server_.Stop();
    }

    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    // From now on every answer comes late, and the feed has new titles.
    void SlowDown() {
        const std::lock_guard<std::mutex> locked(lock_);
        slow_ = true;
        feed_ = Feed("B");
    }

    TfrmMain& Main() { return *main_; }
    TfrmRSS& Rss() { return *rss_; }
    Services& AppServices() { return services_.Get(); }
    ScriptedDialogs& Dialogs() { return services_.Dialogs(); }
    std::string Url(const std::string& path) const { return server_.Url(path); }

    template <typename T>
    T* Find(const QObject& window, const char* name) {
        return window.findChild<T*>(QString::fromLatin1(name));
    }

private:
    std::string Feed(const std::string& prefix) const {
        return FeedOf(
            {{prefix + " 1", server_.Url("/tone.mp3")}, {prefix + " 2", server_.Url("/tone.mp3")}});
    }

    TestServices services_;
    TestHttpServer server_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool slow_ = false;
    bool ending_ = false;
    std::string feed_;
    std::unique_ptr<TfrmMain> main_;
    std::unique_ptr<TfrmRSS> rss_;
};

// The worst of the runs: the longest gap of all, and the longest wait for
// the effect.
struct Worst {
    double gapMs = 0;
    double effectMs = 0;
    void Report(benchmark::State& state) const {
        state.counters["longest_gap_ms"] = gapMs;
        state.counters["slowest_effect_ms"] = effectMs;
    }
};

// Runs `click` from the event loop and turns the loop until `done` holds or
// the deadline passes; keeps the longest gap between turns and the time to
// the effect.
void Measure(benchmark::State& state, Worst& worst, Stage& stage,
             const std::function<void()>& click, const std::function<bool()>& done) {
    TurnGapMeter meter;
    QEventLoop loop;
    QTimer check;
    check.setInterval(5);
    bool finished = false;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) {
            finished = true;
            loop.quit();
        }
    });
    QTimer::singleShot(kDeadline, &loop, &QEventLoop::quit);
    stage.SlowDown();
    const Clock::time_point started = Clock::now();
    meter.Start();
    check.start();
    QTimer::singleShot(0, &loop, click);
    loop.exec();
    check.stop();
    const double gap = meter.Stop();
    const double effect = Ms(Clock::now() - started).count();
    state.SetIterationTime(effect / 1000);
    worst.gapMs = std::max(worst.gapMs, gap);
    worst.effectMs = std::max(worst.effectMs, effect);
    if (!finished) {
        state.SkipWithError("the click's effect did not come within 90 s");
    }
    for (const auto& box : stage.Dialogs().Boxes()) {
        state.SetLabel("box shown: " + box.text.toStdString());
    }
}

void PlayButton(benchmark::State& state) {
    Worst worst;
    for (auto _ : state) {
        Stage stage;
        IMediaDevice& media = *stage.AppServices().media;
        Measure(
            state, worst, stage, [&] { stage.Find<QToolButton>(stage.Main(), "btnPlay")->click(); },
            [&] { return media.IsOpen() && media.Mode() == MediaMode::Playing; });
    }
    worst.Report(state);
}

void ReloadButton(benchmark::State& state) {
    Worst worst;
    for (auto _ : state) {
        Stage stage;
        auto* episodes = stage.Find<QComboBox>(stage.Main(), "cmbItem");
        Measure(
            state, worst, stage,
            [&] { stage.Find<QToolButton>(stage.Main(), "btnReload")->click(); },
            [&] {
                return episodes->count() > 0 && episodes->itemText(0) == QStringLiteral("B 1");
            });
    }
    worst.Report(state);
}

void SettingsOk(benchmark::State& state) {
    Worst worst;
    for (auto _ : state) {
        Stage stage;
        auto* dates = stage.Find<QComboBox>(stage.Main(), "cmbDate");
        const QString scan = QString::fromStdString(stage.Url("/scan"));
        Measure(
            state, worst, stage,
            [&] {
                // Typed and confirmed once the dialog runs; its exec() holds
                // this click until the dialog closes.
                QTimer::singleShot(0, &stage.Rss(), [&] {
                    stage.Find<QLineEdit>(stage.Rss(), "edtRSS")->setText(scan);
                    stage.Find<QPushButton>(stage.Rss(), "btnOK")->click();
                });
                stage.Find<QToolButton>(stage.Main(), "btnSetting")->click();
            },
            [&] {
                return !stage.Rss().isVisible() && dates->count() > 0 &&
                       dates->itemText(0) == QStringLiteral("2008/03/15");
            });
    }
    worst.Report(state);
}

}  // namespace

BENCHMARK(PlayButton)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ReloadButton)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(SettingsOk)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv);
}
