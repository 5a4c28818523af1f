// The player's speed on a one-hour 128 kbit/s MP3 streamed from 127.0.0.1:
// the click on the play button to the first audio (less the one-second wait
// before playing, as long as the window's timer actually took), a press on
// the seek bar to playback at the new place, and the cost of one timer tick.
//
// mpv runs with the null audio output, which consumes audio at the real rate,
// and, for the click to first audio, also as the program runs it (mpv's own
// choice of output) through a private PulseAudio server on a null sink.
// "First audio" is the moment mpv's playing position (time-pos, the position
// of the audio the output has actually played) moves past where playback
// started: at that moment the output has taken the first samples. A seek is
// measured the same way, from the press to the position moving on from the
// pressed place.

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "FeedBuilder.h"
#include "PrivateSoundServer.h"
#include "QtBenchmarkMain.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestServices.h"
#include "Umain/PlayBar.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "platform/MpvMediaDevice.h"
#include "texts/PlayTime.h"

namespace {

using Clock = std::chrono::steady_clock;

// A one-hour CBR MP3 at 128 kbit/s: a one-minute tone encoded without a
// length tag, repeated sixty times (the frames join into one valid stream,
// whose length mpv takes from its size).
std::shared_ptr<const std::string> MakeHourLongMp3() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string command = "sox -R -D -n -r 44100 -c 2 -b 16 '" + folder +
                                "/minute.wav' synth 60 sine 440 vol 0.5 && lame --quiet -t -b "
                                "128 --cbr '" +
                                folder + "/minute.wav' '" + folder + "/minute.mp3'";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("sox or lame failed (scripts/install-deps.sh installs them)");
    }
    const std::string minute = ReadFileBytes(folder + "/minute.mp3");
    auto hour = std::make_shared<std::string>();
    hour->reserve(minute.size() * 60);
    for (int i = 0; i < 60; ++i) {
        *hour += minute;
    }
    return hour;
}

// Where the audio goes: mpv's null output, or mpv's own choice (as the program
// runs it) with a private PulseAudio server on a null sink.
enum class Output { Null, SoundServer };

// The window, its services and a server holding the MP3 in memory, built once
// per output.
struct Stage {
    explicit Stage(Output audio) : mp3(MakeHourLongMp3()), output(audio) {
        if (audio == Output::SoundServer) {
            sound = std::make_unique<PrivateSoundServer>();
            if (!sound->Running()) {
                throw std::runtime_error("the PulseAudio server did not start");
            }
            sound->Use();
            services.Get().media = std::make_unique<MpvMediaDevice>();
        }
        // Served straight from memory, in pieces, with ranges and HEAD, as a
        // web server would; no copy of the whole file per request.
        auto bytes = mp3;
        server.Server().Get("/hour.mp3", [bytes](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(
                bytes->size(), "audio/mpeg",
                [bytes](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    sink.write(bytes->data() + offset, std::min<std::size_t>(length, 65536));
                    return true;
                });
        });
        server.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(FeedOf({{"Hour", server.Url("/hour.mp3"), ""}}), "text/xml");
        });
        server.Start();
        services.WriteIni("[TOV]\nRSS=" + server.Url("/rss") + "\n");
        window = std::make_unique<TfrmMain>(services.Get());
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) {
            throw std::runtime_error("the window was not shown");
        }
        // The feed loads from the event loop: the first click needs its episode.
        if (!WaitUntil([this] { return !window->Pending() && EpisodeCount() > 0; })) {
            throw std::runtime_error("the window did not load the feed");
        }
        // The benchmark drives the ticks itself.
        window->Timer.stop();
    }

    int EpisodeCount() const {
        return window->findChild<QComboBox*>(QStringLiteral("cmbItem"))->count();
    }

    MpvMediaDevice& Device() { return static_cast<MpvMediaDevice&>(*services.Get().media); }

    double TimePos() {
        const std::string text = Device().PropertyText("time-pos");
        return text.empty() ? -1.0 : std::stod(text);
    }

    // Waits (polling every 0.2 ms) until the played position passes `seconds`.
    bool PlaysPast(double seconds) {
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (TimePos() <= seconds) {
            if (Clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }

    std::shared_ptr<const std::string> mp3;
    Output output;
    std::unique_ptr<PrivateSoundServer> sound;
    TestHttpServer server;
    TestServices services;
    std::unique_ptr<TfrmMain> window;
};

std::unique_ptr<Stage> stage;

Stage& GetStage(Output output = Output::Null) {
    if (!stage || stage->output != output) {
        stage.reset();
        stage = std::make_unique<Stage>(output);
    }
    return *stage;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// When the click's steps, run from the event loop, had the medium open and
// when its play began.
struct PlaySteps {
    Clock::time_point opened;
    Clock::time_point playing;
};

// Turns the event loop every 0.2 ms (the same poll as PlaysPast) until the
// medium plays: the link check, the open and the wait before playing all run
// from it. Open is the first turn after which the device holds a medium that
// does not play (what played before is closed first).
std::optional<PlaySteps> TurnUntilPlaying(Stage& s) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    std::optional<Clock::time_point> opened;
    while (Clock::now() <= deadline) {
        QCoreApplication::processEvents();
        const auto now = Clock::now();
        MpvMediaDevice& device = s.Device();
        const bool playing = device.Mode() == MediaMode::Playing;
        if (!opened && device.IsOpen() && !playing) {
            opened = now;
        } else if (opened && playing) {
            return PlaySteps{*opened, now};
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return std::nullopt;
}

// Click on the play button to the first audio, less the one-second wait
// between open and play (measured: the window's timer need not take exactly
// a second); with `listening`, skip silence and even loudness are on.
void ClickToFirstAudio(benchmark::State& state, Output output, bool listening) {
    Stage& s = GetStage(output);
    s.Device().SetSilenceDetection(listening);
    s.Device().SetLevelling(listening);
    auto* play = s.window->findChild<QToolButton*>(QStringLiteral("btnPlay"));
    double checkOpenMs = 0;
    double waitMs = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        play->click();
        const std::optional<PlaySteps> steps = TurnUntilPlaying(s);
        if (!steps || !s.PlaysPast(std::max(0.0, s.TimePos()))) {
            state.SkipWithError("no audio");
            break;
        }
        const auto audio = Clock::now();
        const double wait = Ms(steps->playing - steps->opened);
        checkOpenMs += Ms(steps->opened - start);
        waitMs += wait;
        state.SetIterationTime((Ms(audio - start) - wait) / 1000.0);
        PumpEvents(std::chrono::milliseconds(300));
    }
    state.counters["check_open_ms"] = checkOpenMs / static_cast<double>(state.iterations());
    state.counters["wait_ms"] = waitMs / static_cast<double>(state.iterations());
    state.counters["length_ms"] = s.Device().Length();
    if (s.Device().PropertyText("current-ao") != (output == Output::Null ? "null" : "pulse")) {
        state.SkipWithError("the audio went to another output");
    }
}

// A press on the seek bar to playback at the pressed place.
void SeekPressToPlayback(benchmark::State& state) {
    Stage& s = GetStage();
    if (!s.Device().IsOpen()) {
        s.window->btnPlayClick();
        if (!TurnUntilPlaying(s)) {
            state.SkipWithError("the stream did not play");
            return;
        }
    }
    auto* bar = s.window->findChild<TPlayBar*>(QStringLiteral("prgPlay"));
    const int length = s.Device().Length();
    const int xs[] = {200, 40, 129, 250, 10, 90, 170, 230};
    std::size_t next = 0;
    for (auto _ : state) {
        const int x = xs[next++ % std::size(xs)];
        const double target = PointerTime(length, x, bar->width()) / 1000.0;
        const auto start = Clock::now();
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(x, 5));
        // Playing there: the position moves on from where the seek left it.
        if (!s.PlaysPast(std::max(target, s.TimePos()))) {
            state.SkipWithError("no playback at the new place");
            break;
        }
        state.SetIterationTime(Ms(Clock::now() - start) / 1000.0);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(x, 5));
        PumpEvents(std::chrono::milliseconds(200));
    }
}

// One timer tick while the stream plays.
void TimerTick(benchmark::State& state) {
    Stage& s = GetStage();
    if (s.Device().Mode() != MediaMode::Playing) {
        s.window->btnPlayClick();
        if (!TurnUntilPlaying(s)) {
            state.SkipWithError("the stream did not play");
            return;
        }
    }
    for (auto _ : state) {
        s.window->TimerTimer();
    }
}

}  // namespace

BENCHMARK_CAPTURE(ClickToFirstAudio, NullOutput, Output::Null, false)
    ->UseManualTime()
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ClickToFirstAudio, PulseAudioNullSink, Output::SoundServer, false)
    ->UseManualTime()
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);
// The same with skip silence and even loudness on, in the same run.
BENCHMARK_CAPTURE(ClickToFirstAudio, PulseAudioNullSinkListening, Output::SoundServer, true)
    ->UseManualTime()
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SeekPressToPlayback)->UseManualTime()->Iterations(24)->Unit(benchmark::kMillisecond);
BENCHMARK(TimerTick)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv, [] { stage.reset(); });
}
