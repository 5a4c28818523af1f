// Saves a large file served from 127.0.0.1 through the download window and
// compares it with `curl -o` on the same file, in one run:
//   bench_download [--size-mib N] [--rounds R] [--folder DIR]
// Reports the throughput of both, the growth of the peak resident set during
// the program's transfer, and the longest time the event loop went without
// handling a timer event. Then saves a 512 MiB file from a server that resets
// the connection every 64 MiB, and from the same server without resets.
// Exits with 1 when a target is missed: at least 90% of curl's throughput
// (medians of the rounds), less than 20 MB of peak growth, no gap of 100 ms or
// more, and with the resets at least 80% of the throughput without them.

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include "FaultyFileServer.h"
#include "TestFiles.h"
#include "TransferHelpers.h"
#include "Udownload/frmDownload.h"
#include "platform/ProgramFonts.h"
#include "platform/CurlUrlDownloader.h"
#include "ScriptedDialogs.h"
#include "platform/Services.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double kMiB = 1024.0 * 1024.0;

struct Figures {
    double seconds = 0;
    double mibPerSecond = 0;
    double peakGrowthMiB = -1;  // program only
    double longestGapMs = 0;    // program only
};

void WriteSource(const fs::path& path, std::size_t sizeMiB) {
    std::vector<char> block(1 << 20);
    std::mt19937_64 random{20080501};
    for (std::size_t i = 0; i < block.size(); i += 8) {
        const std::uint64_t v = random();
        std::memcpy(block.data() + i, &v, 8);
    }
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        throw std::runtime_error("cannot create " + path.string());
    }
    for (std::size_t i = 0; i < sizeMiB; ++i) {
        // Every MiB differs from the others, so a misplaced block shows.
        std::memcpy(block.data(), &i, sizeof i);
        if (std::fwrite(block.data(), 1, block.size(), out) != block.size()) {
            std::fclose(out);
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    std::fclose(out);
}

bool SameContent(const fs::path& a, const fs::path& b) {
    if (fs::file_size(a) != fs::file_size(b)) {
        return false;
    }
    std::ifstream fa(a, std::ios::binary);
    std::ifstream fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20);
    std::vector<char> bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(fa.gcount())) != 0) {
            return false;
        }
    }
    return true;
}

// "VmRSS" or "VmHWM" of this process, in KiB.
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stol(line.substr(prefix.size()));
        }
    }
    return -1;
}

// Sets the peak resident set back to the current one; false where the kernel
// does not allow it.
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

Figures RunCurl(const std::string& url, const fs::path& out) {
    const std::string outText = out.string();
    // -q: no user configuration file, so every run asks the same.
    std::vector<std::string> args{"curl", "-q", "-s", "-S", "-o", outText, url};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("cannot start curl");
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("curl failed");
    }
    Figures f;
    f.seconds = seconds;
    f.mibPerSecond = static_cast<double>(fs::file_size(out)) / kMiB / seconds;
    return f;
}

Figures RunProgram(Services& services, const std::string& url, const fs::path& out) {
    TfrmDownload window(services);
    window.SetDisplayName(out.filename().string());
    window.SetupDownload(url, out.string());
    window.show();

    // A timer that would fire every 5 ms on an idle loop: the gaps between its
    // events are the times the window could not answer.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    auto last = Clock::now();
    Clock::duration longest{};
    long peakSampleKiB = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longest = std::max(longest, now - last);
        last = now;
        peakSampleKiB = std::max(peakSampleKiB, StatusKiB("VmRSS"));
    });

    const long baseKiB = StatusKiB("VmRSS");
    const bool peakReset = ResetPeak();
    probe.start();
    const auto start = Clock::now();
    last = start;
    window.StartDownload();
    const auto end = Clock::now();
    probe.stop();
    longest = std::max(longest, end - last);

    if (services.dialogs == nullptr ||
        static_cast<ScriptedDialogs&>(*services.dialogs).Last().title !=
            QStringLiteral("다운로드 완료")) {
        throw std::runtime_error("the program's transfer did not complete");
    }
    Figures f;
    f.seconds = std::chrono::duration<double>(end - start).count();
    f.mibPerSecond = static_cast<double>(fs::file_size(out)) / kMiB / f.seconds;
    const long peakKiB = peakReset ? StatusKiB("VmHWM") : peakSampleKiB;
    f.peakGrowthMiB = static_cast<double>(std::max(peakKiB, peakSampleKiB) - baseKiB) / 1024.0;
    f.longestGapMs = std::chrono::duration<double, std::milli>(longest).count();
    return f;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The program's save of a 512 MiB file from a server that resets the
// connection every 64 MiB, against the same server without resets; true when
// it keeps at least 80% of the throughput (medians of the rounds).
bool RunResets(Services& services, const fs::path& work, int rounds) {
    constexpr std::size_t kFile = std::size_t{512} << 20;
    constexpr std::size_t kEvery = std::size_t{64} << 20;
    const std::string bytes = PatternBytes(kFile);
    std::vector<FaultyFileServer::Step> resets;
    for (std::size_t at = kEvery; at < kFile; at += kEvery) {
        resets.push_back({FaultyFileServer::Fault::ResetAt, at});
    }
    std::vector<double> clean;
    std::vector<double> resetting;
    for (int round = 1; round <= rounds; ++round) {
        for (const bool reset : {false, true}) {
            FaultyFileServer server({.bytes = bytes, .etag = "\"bench\""},
                                    reset ? resets : std::vector<FaultyFileServer::Step>{});
            const fs::path out = work / "resumed.out";
            const Figures p = RunProgram(services, server.Url(), out);
            const bool same = ReadFileBytes(out) == bytes;
            fs::remove(out);
            if (!same || server.Requests().size() != (reset ? resets.size() + 1 : 1)) {
                throw std::runtime_error("the save with resets differs or asked too often");
            }
            std::printf("round %d: %s %.1f MiB/s (%.2f s), longest event gap %.1f ms\n", round,
                        reset ? "resets every 64 MiB" : "no resets         ", p.mibPerSecond,
                        p.seconds, p.longestGapMs);
            std::fflush(stdout);
            (reset ? resetting : clean).push_back(p.mibPerSecond);
        }
    }
    const double ratio = Median(resetting) / Median(clean);
    const bool kept = ratio >= 0.80;
    std::printf("median: no resets %.1f MiB/s, resets every 64 MiB %.1f MiB/s = %.1f%% [%s]\n",
                Median(clean), Median(resetting), ratio * 100, kept ? "ok" : "MISSED");
    return kept;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::size_t sizeMiB = 1024;
    int rounds = 3;
    QString folder;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--size-mib") {
            sizeMiB = std::stoul(argv[i + 1]);
        } else if (option == "--rounds") {
            rounds = std::max(1, std::stoi(argv[i + 1]));
        } else if (option == "--folder") {
            folder = QString::fromLocal8Bit(argv[i + 1]);
        }
    }

    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    ApplyProgramFonts();

    QTemporaryDir dir(folder.isEmpty() ? QDir::tempPath() + QStringLiteral("/zurav3-bench-XXXXXX")
                                       : folder + QStringLiteral("/zurav3-bench-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a working folder\n");
        return 2;
    }
    const fs::path work = dir.path().toStdString();
    const fs::path source = work / "source.bin";
    std::printf("writing %zu MiB to %s\n", sizeMiB, source.c_str());
    std::fflush(stdout);
    WriteSource(source, sizeMiB);
    const std::size_t size = fs::file_size(source);

    httplib::Server server;
    server.Get("/episode.mp3", [&](const httplib::Request&, httplib::Response& res) {
        const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            res.status = 500;
            return;
        }
        auto closer = std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
        res.set_content_provider(
            size, "audio/mpeg",
            [fd, closer](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                thread_local std::vector<char> buffer(1 << 20);
                const std::size_t want = std::min(length, buffer.size());
                const ssize_t got = ::pread(fd, buffer.data(), want, static_cast<off_t>(offset));
                return got > 0 && sink.write(buffer.data(), static_cast<std::size_t>(got));
            });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/episode.mp3";

    Services services;
    services.downloader = std::make_unique<CurlUrlDownloader>();
    services.dialogs = std::make_unique<ScriptedDialogs>();

    int status = 0;
    try {
        std::vector<double> curlRates;
        std::vector<double> programRates;
        double worstGrowth = 0;
        double worstGap = 0;
        for (int round = 1; round <= rounds; ++round) {
            const fs::path curlOut = work / "curl.out";
            const Figures c = RunCurl(url, curlOut);
            const bool curlSame = SameContent(source, curlOut);
            fs::remove(curlOut);

            const fs::path programOut = work / "program.out";
            const Figures p = RunProgram(services, url, programOut);
            const bool programSame = SameContent(source, programOut);
            fs::remove(programOut);
            if (!curlSame || !programSame) {
                throw std::runtime_error("a saved copy differs from the source");
            }

            std::printf(
                "round %d: curl -o %.1f MiB/s (%.2f s) | program %.1f MiB/s (%.2f s), "
                "peak RSS +%.1f MiB, longest event gap %.1f ms\n",
                round, c.mibPerSecond, c.seconds, p.mibPerSecond, p.seconds, p.peakGrowthMiB,
                p.longestGapMs);
            std::fflush(stdout);
            curlRates.push_back(c.mibPerSecond);
            programRates.push_back(p.mibPerSecond);
            worstGrowth = std::max(worstGrowth, p.peakGrowthMiB);
            worstGap = std::max(worstGap, p.longestGapMs);
        }
        const double ratio = Median(programRates) / Median(curlRates);
        const bool fastEnough = ratio >= 0.90;
        const bool flat = worstGrowth < 20.0;
        const bool live = worstGap < 100.0;
        std::printf("median: curl -o %.1f MiB/s, program %.1f MiB/s = %.1f%% of curl [%s]\n",
                    Median(curlRates), Median(programRates), ratio * 100,
                    fastEnough ? "ok" : "MISSED");
        std::printf("worst peak RSS growth %.1f MiB [%s], worst event gap %.1f ms [%s]\n",
                    worstGrowth, flat ? "ok" : "MISSED", worstGap, live ? "ok" : "MISSED");
        const bool resumed = RunResets(services, work, rounds);
        status = fastEnough && flat && live && resumed ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        status = 2;
    }
    server.stop();
    serving.join();
    return status;
}
