// Reading the files beside the settings at their size cap, as the start does:
// the file's bytes, then the parse; for the links seen, also the first load of
// the feed that follows. Run from the build folder:
//   ./bench/bench_state_files --benchmark_counters_tabular=true
// Each should stay under 100 ms: the start waits for it.
#include <string>
#include <vector>

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "feed/Episode.h"
#include "listening/NewEpisodes.h"
#include "listening/ResumePositions.h"
#include "platform/StateFile.h"

namespace {

const std::string kFeed = "http://podcast.tovradio.example/tov/index.php/rss";

std::string Link(std::size_t i) {
    return "http://h/" + std::to_string(i) + ".mp3";
}

// The feed's line, then links, as many as fit under the cap.
std::string SeenAtTheCap(std::size_t& links) {
    std::string text = kFeed + '\n';
    for (links = 0;; ++links) {
        const std::string line = Link(links) + '\n';
        if (text.size() + line.size() > StateFile::kMaxBytes) {
            return text;
        }
        text += line;
    }
}

// Positions at the cap, the worst way round: the capacity less one of
// different links, then lines that repeat them, each to be looked up.
std::string PositionsAtTheCap(std::size_t& lines) {
    std::string text;
    for (lines = 0;; ++lines) {
        const std::string line = std::to_string(1000 + lines) + '\t' +
                                 Link(lines % (TResumePositions::kCapacity - 1)) + '\n';
        if (text.size() + line.size() > StateFile::kMaxBytes) {
            return text;
        }
        text += line;
    }
}

struct FileAtTheCap {
    QTemporaryDir dir;
    StateFile file{std::string()};
    std::size_t lines = 0;

    explicit FileAtTheCap(bool seen) : file(dir.path().toStdString() + "/ZURav3.state") {
        file.Write(seen ? SeenAtTheCap(lines) : PositionsAtTheCap(lines));
    }
};

void Report(benchmark::State& state, const FileAtTheCap& at) {
    state.counters["MB"] = static_cast<double>(at.file.Read().size()) / 1e6;
    state.counters["lines"] = static_cast<double>(at.lines);
}

void ReadSeenLinks(benchmark::State& state) {
    const FileAtTheCap at(true);
    std::size_t links = 0;
    for (auto _ : state) {
        links = TSeenEpisodes::Parse(at.file.Read()).LinkCount();
        benchmark::DoNotOptimize(links);
    }
    Report(state, at);
}

// The read, then the first load of the same feed, with ten episodes new.
void ReadSeenLinksAndLearnTheFirstLoad(benchmark::State& state) {
    const FileAtTheCap at(true);
    TEpisodeList episodes;
    for (std::size_t i = 0; i < 10; ++i) {
        episodes.push_back({"", "title", "", "", Link(at.lines + i), 0});
    }
    std::size_t arrived = 0;
    for (auto _ : state) {
        TSeenEpisodes seen = TSeenEpisodes::Parse(at.file.Read());
        arrived = seen.Learn(kFeed, episodes).arrived.size();
        benchmark::DoNotOptimize(arrived);
    }
    Report(state, at);
}

void ReadResumePositions(benchmark::State& state) {
    const FileAtTheCap at(false);
    std::size_t entries = 0;
    for (auto _ : state) {
        entries = TResumePositions::Parse(at.file.Read()).Entries().size();
        benchmark::DoNotOptimize(entries);
    }
    Report(state, at);
}

}  // namespace

BENCHMARK(ReadSeenLinks)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadSeenLinksAndLearnTheFirstLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadResumePositions)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
