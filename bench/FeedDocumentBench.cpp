// Reading a 10,000-item feed into the catalogue, against pugixml's own parse of
// the same bytes, and filling the two episode lists with the titles.
//
// Each keeps the memory of the previous round, as a running program does: a
// document built and freed every round would give its pages back to the
// system and fault them in again, which costs several times the parse. The
// minor page faults of the timed part are counted per round, so that a
// comparison made on unequal memory shows.

#include <sys/resource.h>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>

#include "FeedBuilder.h"
#include "QtBenchmarkMain.h"
#include "feed/FeedDocument.h"
#include "feed/FeedEncoding.h"

namespace {

const std::string& Feed() {
    static const std::string feed = GenerateFeed(10000, {.itemBytes = 500});
    return feed;
}

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// Minor page faults while the clock runs: Pause() before each PauseTiming,
// Resume() after each ResumeTiming, Report() after the loop.
class TimedFaults {
public:
    void Pause() { counted_ += MinorFaults() - since_; }
    void Resume() { since_ = MinorFaults(); }
    void Report(benchmark::State& state) {
        Pause();
        state.counters["faults"] =
            static_cast<double>(counted_) / static_cast<double>(state.iterations());
    }

private:
    long since_ = MinorFaults();
    long counted_ = 0;
};

// One document for all rounds: each load drops the previous tree and builds
// the new one in the memory that tree used.
void PugixmlParse(benchmark::State& state) {
    const std::string& feed = Feed();
    pugi::xml_document doc;
    TimedFaults faults;
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc.load_buffer(feed.data(), feed.size()));
    }
    faults.Report(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
}
BENCHMARK(PugixmlParse)->Unit(benchmark::kMillisecond);

// The same parse on a buffer pugixml may change, as the catalogue reader does;
// the buffer is refilled outside the clock.
void PugixmlParseInPlace(benchmark::State& state) {
    const std::string& feed = Feed();
    pugi::xml_document doc;
    std::string body;
    TimedFaults faults;
    for (auto _ : state) {
        state.PauseTiming();
        faults.Pause();
        body.assign(feed);
        faults.Resume();
        state.ResumeTiming();
        benchmark::DoNotOptimize(doc.load_buffer_inplace(body.data(), body.size()));
    }
    faults.Report(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
}
BENCHMARK(PugixmlParseInPlace)->Unit(benchmark::kMillisecond);

// What a reload does with the fetched body before touching a window: check its
// encoding, parse it in place, build the records, and drop the previous ones.
void FeedToCatalogue(benchmark::State& state) {
    const std::string& feed = Feed();
    std::optional<FeedDocument> previous;
    TimedFaults faults;
    for (auto _ : state) {
        state.PauseTiming();
        faults.Pause();
        std::string body = feed;  // what the network hands over
        faults.Resume();
        state.ResumeTiming();
        DecodeFeedBody(body);
        previous = ParseFeedDocument(std::move(body));
        benchmark::DoNotOptimize(previous);
    }
    faults.Report(state);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
}
BENCHMARK(FeedToCatalogue)->Unit(benchmark::kMillisecond);

// Replacing the lines of the shown drop-down and the list with 10,000 titles.
void FillEpisodeLists(benchmark::State& state) {
    const FeedDocument parsed = *ParseFeedDocument(Feed());
    QWidget window;
    auto* combo = new QComboBox(&window);
    auto* list = new QListWidget(&window);
    window.show();
    for (auto _ : state) {
        QStringList copy;
        for (std::size_t i = 0; i < parsed.titles.size(); ++i) {
            const std::string_view t = parsed.titles[i];
            copy << QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
        }
        list->clear();
        list->addItems(copy);
        combo->clear();
        combo->addItems(copy);
        combo->setCurrentIndex(0);
        QApplication::processEvents();
    }
}
BENCHMARK(FillEpisodeLists)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv);
}
