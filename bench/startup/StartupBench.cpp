// Start-up cost of the program against the least a Qt Widgets program costs:
// both are started alternately under a private Xvfb, the program on a small
// feed served from 127.0.0.1, and the benchmark prints the medians and ratios
// of
//   - launch to mapped window: from just before the process is spawned to the
//     X server's MapNotify of its first top-level window (same watcher and
//     overhead for both); the program is also started, in the same rounds, on
//     a feed server that accepts the connection and never answers, and its
//     launch is compared with the one on the good feed (a run whose window is
//     not mapped within 40 s is counted, not timed),
//   - resident memory (VmRSS) some seconds after the window appeared,
//   - the program's resident memory after an hour-long episode, streamed from
//     127.0.0.1, has played for a minute, started over MPRIS on a private
//     session bus, into a private PulseAudio server's null sink (the
//     program's real audio path, at the real rate),
// with the resident memory per mapped file of the last run of each.
//
//   build/bench/bench_startup [--runs N] [--warmup N] [--settle-seconds S]
//                             [--play-seconds S] [--play-runs N] [--top N]
//                             [--program <build>/src/ZURav3 or <prefix>/bin/ZURav3]
//
// A benchmark, run by hand; machine load changes its figures, so it prints the
// load average before and after.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

#include "ChildProcess.h"
#include "HoldingServer.h"
#include "ProcessMemory.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "WindowMapWatch.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    // The program measured (a copy of it and of its modules).
    std::string program = ZURAV3_PROGRAM;
    int runs = 10;
    int warmup = 1;
    int settleSeconds = 3;
    int playSeconds = 60;
    int playRuns = 3;
    int top = 15;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    const std::map<std::string, int*> numbers = {
        {"--runs", &options.runs},
        {"--warmup", &options.warmup},
        {"--settle-seconds", &options.settleSeconds},
        {"--play-seconds", &options.playSeconds},
        {"--play-runs", &options.playRuns},
        {"--top", &options.top},
    };
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--program" && i + 1 < argc) {
            options.program = argv[++i];
            continue;
        }
        const auto found = numbers.find(argv[i]);
        if (found == numbers.end() || i + 1 == argc) {
            throw std::runtime_error(std::string("unknown or incomplete option: ") + argv[i]);
        }
        *found->second = std::atoi(argv[++i]);
    }
    options.runs = std::max(options.runs, 1);
    return options;
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double MiB(long kib) {
    return static_cast<double>(kib) / 1024.0;
}

// A pipe whose write end a child gets as descriptor 3.
struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() {
        close(read);
        close(write);
    }
};

// What both programs run in: a display, a session bus and a sound server of
// their own, in a temporary folder.
class PrivateDesktop {
public:
    explicit PrivateDesktop(const fs::path& folder) : runtime_(folder / "runtime") {
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace);
        {
            Pipe displayPipe;
            ChildProcess::Options x;
            // -noreset: each run ends the server's last client, and the next
            // run must not meet a server in the middle of its reset.
            x.arguments = {"-displayfd",   "3",         "-noreset", "-screen", "0",
                           "1280x1024x24", "-nolisten", "tcp"};
            x.passAsFd3 = displayPipe.write;
            xvfb_ = std::make_unique<ChildProcess>("Xvfb", x);
            display_ = ":" + ReadLineFromPipe(displayPipe.read, 30);
        }
        if (display_ == ":") {
            throw std::runtime_error("Xvfb did not start");
        }
        {
            Pipe busPipe;
            ChildProcess::Options bus;
            bus.arguments = {"--session", "--nofork", "--nopidfile", "--print-address=3"};
            bus.passAsFd3 = busPipe.write;
            dbus_ = std::make_unique<ChildProcess>("dbus-daemon", bus);
            busAddress_ = ReadLineFromPipe(busPipe.read, 30);
        }
        if (busAddress_.empty()) {
            throw std::runtime_error("dbus-daemon did not start");
        }
        const fs::path socket = runtime_ / "pulse-native";
        ChildProcess::Options pulse;
        pulse.arguments = {
            "-n",
            "--daemonize=no",
            "--exit-idle-time=-1",
            "--use-pid-file=no",
            "-L",
            "module-null-sink sink_name=bench",
            "-L",
            "module-native-protocol-unix auth-anonymous=1 socket=" + socket.string()};
        pulse.environment = {"XDG_RUNTIME_DIR=" + runtime_.string(), "HOME=" + folder.string()};
        pulse_ = std::make_unique<ChildProcess>("pulseaudio", pulse);
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!fs::exists(socket) && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!fs::exists(socket)) {
            throw std::runtime_error("pulseaudio did not start (is it installed?)");
        }
        environment_ = {"DISPLAY=" + display_, "DBUS_SESSION_BUS_ADDRESS=" + busAddress_,
                        "XDG_RUNTIME_DIR=" + runtime_.string(),
                        "PULSE_SERVER=unix:" + socket.string(), "QT_QPA_PLATFORM=xcb"};
    }

    const std::string& Display() const { return display_; }
    const std::string& BusAddress() const { return busAddress_; }
    const std::vector<std::string>& Environment() const { return environment_; }

private:
    fs::path runtime_;
    std::unique_ptr<ChildProcess> xvfb_;
    std::unique_ptr<ChildProcess> dbus_;
    std::unique_ptr<ChildProcess> pulse_;
    std::string display_;
    std::string busAddress_;
    std::vector<std::string> environment_;
};

// An episode of `minutes` as long as a real show's: a one-minute tone encoded
// at a constant 128 kbit/s without a length tag (sox and lame, as the tests'
// tones), repeated; the frames join into one stream whose length mpv takes
// from its size.
std::string MakeEpisode(const fs::path& folder, int minutes) {
    const std::string wav = (folder / "minute.wav").string();
    const std::string mp3 = (folder / "minute.mp3").string();
    const std::string command = "sox -R -D -n -r 44100 -c 2 -b 16 '" + wav +
                                "' synth 60 sine 440 vol 0.3 && lame --quiet -t -b 128 --cbr '" +
                                wav + "' '" + mp3 + "'";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("sox or lame failed (scripts/install-deps.sh installs them)");
    }
    const std::string minute = ReadFileBytes(mp3);
    std::string episode;
    episode.reserve(minute.size() * static_cast<std::size_t>(minutes));
    for (int i = 0; i < minutes; ++i) {
        episode += minute;
    }
    return episode;
}

std::string SmallFeed(const TestHttpServer& server) {
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
        "<title>토브 라디오</title>";
    for (int i = 1; i <= 5; ++i) {
        feed += "<item><title>방송 " + std::to_string(i) + "</title><enclosure url=\"" +
                server.Url("/episode.mp3") + "\" length=\"1\" type=\"audio/mpeg\"/></item>";
    }
    return feed + "</channel></rss>";
}

struct Sample {
    // Nothing when the window was not mapped by the deadline.
    std::optional<double> launchMs;
    ResidentMemory memory;
    std::vector<std::pair<std::string, long>> byMapping;
    int libraries = 0;
    // Start-up marks the program printed, in ms from the spawn.
    std::map<std::string, double> marks;
    bool played = true;
    // What the player reported when it did not play through.
    std::string playNote;
};

// Lines "startup-mark <step> <steady clock µs>" from the program's trace.
std::map<std::string, double> ReadMarks(const fs::path& log, Clock::time_point spawned) {
    std::map<std::string, double> marks;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string tag, step;
        long long micros = 0;
        if (fields >> tag >> step >> micros && tag == "startup-mark") {
            const auto at = Clock::time_point(std::chrono::microseconds(micros));
            marks[step] = std::chrono::duration<double, std::milli>(at - spawned).count();
        }
    }
    return marks;
}

QVariant PlayerProperty(QDBusConnection& bus, const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.mpris.MediaPlayer2.zurav3"), QStringLiteral("/org/mpris/MediaPlayer2"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.mpris.MediaPlayer2.Player") << name;
    const QDBusMessage reply = bus.call(get, QDBus::Block, 30000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return {};
    }
    return reply.arguments().first().value<QDBusVariant>().variant();
}

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Asks the program to play over MPRIS and waits until it plays; false if it
// did not start playing.
bool StartPlaying(QDBusConnection& bus) {
    const QString service = QStringLiteral("org.mpris.MediaPlayer2.zurav3");
    if (!WaitFor([&] { return bus.interface()->isServiceRegistered(service).value(); },
                 std::chrono::seconds(30))) {
        return false;
    }
    bus.call(QDBusMessage::createMethodCall(service, QStringLiteral("/org/mpris/MediaPlayer2"),
                                            QStringLiteral("org.mpris.MediaPlayer2.Player"),
                                            QStringLiteral("Play")),
             QDBus::Block, 60000);
    return WaitFor(
        [&] {
            return PlayerProperty(bus, QStringLiteral("PlaybackStatus")).toString() ==
                   QStringLiteral("Playing");
        },
        std::chrono::seconds(60));
}

class StartupBench {
public:
    StartupBench(const Options& options, const fs::path& folder)
        : options_(options), folder_(folder), desktop_(folder), watch_(desktop_.Display()) {
        server_.ServeBytes("/episode.mp3",
                           MakeEpisode(folder, std::max(60, options.playSeconds / 60 + 2)),
                           "audio/mpeg");
        server_.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(SmallFeed(server_), "text/xml; charset=utf-8");
        });
        server_.Start();
        InstallProgramCopy();
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QString::fromStdString(desktop_.BusAddress()), QStringLiteral("bench")));
    }

    // The program's feed: the good one, or the server that never answers.
    enum class Feed { Good, Silent };

    Sample Run(const std::string& program, bool play, Feed feed = Feed::Good) {
        const fs::path log = folder_ / "stderr.txt";
        if (program == program_) {
            WriteSettings(feed == Feed::Good ? server_.Url("/rss") : silent_.Url("/rss"));
        }
        ChildProcess::Options child;
        child.environment = desktop_.Environment();
        child.environment.push_back("ZURAV3_STARTUP_TRACE=1");
        child.stderrPath = log.string();
        const Clock::time_point spawned = Clock::now();
        ChildProcess process(program, child);
        // A window held back by a feed that never answers is recorded as
        // such; on a good feed it is an error.
        const auto limit = std::chrono::seconds(feed == Feed::Good ? 60 : kSilentFeedDeadline);
        const auto mapped = watch_.WaitForWindowOf(process.Pid(), spawned + limit);
        Sample sample;
        if (mapped) {
            sample.launchMs = std::chrono::duration<double, std::milli>(*mapped - spawned).count();
        } else if (feed == Feed::Good) {
            throw std::runtime_error(program + " showed no window within a minute; its errors:\n" +
                                     ReadFileBytes(log));
        } else {
            process.Stop();
            sample.marks = ReadMarks(log, spawned);
            return sample;
        }
        if (play) {
            sample.played = StartPlaying(*bus_);
            std::this_thread::sleep_for(std::chrono::seconds(options_.playSeconds));
            const qlonglong position =
                PlayerProperty(*bus_, QStringLiteral("Position")).toLongLong();
            const QString status =
                PlayerProperty(*bus_, QStringLiteral("PlaybackStatus")).toString();
            sample.played = sample.played && position >= (options_.playSeconds - 5) * 1000000LL;
            if (!sample.played) {
                sample.playNote = "status " + status.toStdString() + ", position " +
                                  std::to_string(position / 1000) + " ms";
            }
        } else {
            std::this_thread::sleep_for(std::chrono::seconds(options_.settleSeconds));
        }
        sample.memory = ReadResidentMemory(process.Pid());
        sample.byMapping = ResidentByMapping(process.Pid());
        sample.libraries = MappedLibraryCount(process.Pid());
        process.Stop();
        sample.marks = ReadMarks(log, spawned);
        return sample;
    }

    const std::string& Program() const { return program_; }

    static constexpr int kSilentFeedDeadline = 40;

private:
    // The program as installed: bin/ZURav3 with its settings beside it, its
    // modules in the library folder (lib/zurav3 or lib/<multiarch>/zurav3,
    // taken from beside the measured program's folder, as the program finds
    // them).
    void InstallProgramCopy() {
        const fs::path bin = folder_ / "app" / "bin";
        fs::create_directories(bin);
        program_ = (bin / "ZURav3").string();
        const fs::path source = fs::absolute(options_.program);
        fs::copy_file(source, program_);
        const fs::path sourceModules = source.parent_path().parent_path() / "lib";
        if (fs::is_directory(sourceModules)) {
            const fs::path modules = folder_ / "app" / "lib";
            fs::create_directories(modules);
            fs::copy(sourceModules, modules, fs::copy_options::recursive);
        }
        WriteSettings(server_.Url("/rss"));
    }

    // Written before each run: the program writes its settings when it ends.
    void WriteSettings(const std::string& feed) {
        WriteFileBytes(fs::path(program_).parent_path() / "ZURav3.ini",
                       "[TOV]\nRSS=" + feed + "\n");
    }

    Options options_;
    fs::path folder_;
    PrivateDesktop desktop_;
    WindowMapWatch watch_;
    TestHttpServer server_;
    // Accepts the program's connection and answers nothing while the
    // benchmark runs.
    HoldingServer silent_;
    std::string program_;
    std::unique_ptr<QDBusConnection> bus_;
};

void PrintMappings(const char* heading, const Sample& sample, int top) {
    std::printf("\n%s: VmRSS %.1f MiB (anonymous %.1f, files %.1f), %d shared libraries\n", heading,
                MiB(sample.memory.total), MiB(sample.memory.anonymous), MiB(sample.memory.file),
                sample.libraries);
    long shown = 0;
    for (int i = 0; i < top && i < static_cast<int>(sample.byMapping.size()); ++i) {
        std::printf("  %8.1f MiB  %s\n", MiB(sample.byMapping[i].second),
                    sample.byMapping[i].first.c_str());
        shown += sample.byMapping[i].second;
    }
    long all = 0;
    for (const auto& mapping : sample.byMapping) {
        all += mapping.second;
    }
    std::printf("  %8.1f MiB  (the other %zu mappings)\n", MiB(all - shown),
                sample.byMapping.size() - std::min<std::size_t>(sample.byMapping.size(), top));
}

void PrintMarks(const char* heading, const std::vector<Sample>& samples) {
    std::map<std::string, std::vector<double>> byStep;
    for (const Sample& sample : samples) {
        for (const auto& [step, ms] : sample.marks) {
            byStep[step].push_back(ms);
        }
    }
    if (byStep.empty()) {
        return;
    }
    std::vector<std::pair<double, std::string>> ordered;
    for (const auto& [step, values] : byStep) {
        ordered.emplace_back(Median(values), step);
    }
    std::sort(ordered.begin(), ordered.end());
    std::printf("\n%s (median ms from spawn; ZURAV3_STARTUP_TRACE=1):\n", heading);
    double previous = 0;
    for (const auto& [ms, step] : ordered) {
        std::printf("  %8.1f  (+%6.1f)  %s\n", ms, ms - previous, step.c_str());
        previous = ms;
    }
}

int Main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Options options = ParseOptions(argc, argv);
    char pattern[] = "/tmp/zurav3-startup-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    const fs::path folder = pattern;
    struct RemoveFolder {
        fs::path path;
        ~RemoveFolder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } removeFolder{folder};

    const std::string loadBefore = LoadAverage();
    StartupBench bench(options, folder);
    const std::string bare = ZURAV3_BARE_WINDOW;

    for (int i = 0; i < options.warmup; ++i) {
        bench.Run(bare, false);
        bench.Run(bench.Program(), false);
    }
    std::vector<Sample> bareRuns, programRuns, silentRuns, playRuns;
    for (int i = 0; i < options.runs; ++i) {
        bareRuns.push_back(bench.Run(bare, false));
        programRuns.push_back(bench.Run(bench.Program(), false));
        silentRuns.push_back(bench.Run(bench.Program(), false, StartupBench::Feed::Silent));
        char silent[32] = "no window";
        if (silentRuns.back().launchMs) {
            std::snprintf(silent, sizeof silent, "%.1f ms", *silentRuns.back().launchMs);
        }
        std::fprintf(stderr,
                     "run %d: bare %.1f ms %.1f MiB, ZURav3 %.1f ms %.1f MiB, on a silent feed "
                     "%s\n",
                     i + 1, *bareRuns.back().launchMs, MiB(bareRuns.back().memory.total),
                     *programRuns.back().launchMs, MiB(programRuns.back().memory.total), silent);
    }
    const int playRunCount = options.playSeconds > 0 ? options.playRuns : 0;
    for (int i = 0; i < playRunCount; ++i) {
        playRuns.push_back(bench.Run(bench.Program(), true));
        std::fprintf(stderr, "played %d s: %.1f MiB%s%s\n", options.playSeconds,
                     MiB(playRuns.back().memory.total),
                     playRuns.back().played ? "" : " - did not play through: ",
                     playRuns.back().playNote.c_str());
    }

    auto medianOf = [](const std::vector<Sample>& samples, auto field) {
        std::vector<double> values;
        for (const Sample& sample : samples) {
            values.push_back(field(sample));
        }
        return Median(values);
    };
    const auto launch = [](const Sample& s) { return s.launchMs.value_or(0); };
    const auto rss = [](const Sample& s) { return MiB(s.memory.total); };
    const double bareLaunch = medianOf(bareRuns, launch);
    const double bareRss = medianOf(bareRuns, rss);
    const double programLaunch = medianOf(programRuns, launch);
    const double programRss = medianOf(programRuns, rss);

    std::printf(
        "bench_startup: %s, %d runs of each, alternated, after %d warm-up; load average "
        "before %s, after %s\n",
        options.program.c_str(), options.runs, options.warmup, loadBefore.c_str(),
        LoadAverage().c_str());
    std::printf("%-34s %10s %10s %8s\n", "median", "bare Qt", "ZURav3", "ratio");
    std::printf("%-34s %10.1f %10.1f %7.2fx\n", "launch to mapped window (ms)", bareLaunch,
                programLaunch, programLaunch / bareLaunch);
    std::vector<Sample> silentMapped;
    std::copy_if(silentRuns.begin(), silentRuns.end(), std::back_inserter(silentMapped),
                 [](const Sample& s) { return s.launchMs.has_value(); });
    const double silentLaunch = medianOf(silentMapped, launch);
    std::printf(
        "%-34s %10s %10.1f %7.2fx   of ZURav3 on the good feed; %zu of %zu runs mapped "
        "within %d s\n",
        "  on a feed that never answers", "", silentLaunch, silentLaunch / programLaunch,
        silentMapped.size(), silentRuns.size(), StartupBench::kSilentFeedDeadline);
    std::printf("%-34s %10.1f %10.1f %7.2fx\n",
                ("resident after " + std::to_string(options.settleSeconds) + " s (MiB)").c_str(),
                bareRss, programRss, programRss / bareRss);
    if (!playRuns.empty()) {
        const double playedRss = medianOf(playRuns, rss);
        int playedThrough = 0;
        for (const Sample& sample : playRuns) {
            playedThrough += sample.played ? 1 : 0;
        }
        std::printf(
            "%-34s %10s %10.1f %7.2fx   (%d of %zu runs played through)\n",
            ("resident after " + std::to_string(options.playSeconds) + " s playing (MiB)").c_str(),
            "(idle)", playedRss, playedRss / bareRss, playedThrough, playRuns.size());
    }
    PrintMarks("ZURav3 start-up steps", programRuns);
    PrintMarks("ZURav3 start-up steps on a feed that never answers", silentRuns);
    PrintMappings("bare Qt window, last run", bareRuns.back(), options.top);
    PrintMappings("ZURav3 idle, last run", programRuns.back(), options.top);
    if (!playRuns.empty()) {
        PrintMappings("ZURav3 after playing, last run", playRuns.back(), options.top);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_startup: %s\n", e.what());
        return 1;
    }
}
