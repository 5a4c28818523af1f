// Reading a 10,000-item feed into the catalogue, against pugixml's own parse of
// the same bytes, and filling the two episode lists with the titles.

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

void PugixmlParse(benchmark::State& state) {
    const std::string& feed = Feed();
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_buffer(feed.data(), feed.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
}
BENCHMARK(PugixmlParse)->Unit(benchmark::kMillisecond);

// The same parse on a buffer pugixml may change, as the catalogue reader does.
void PugixmlParseInPlace(benchmark::State& state) {
    const std::string& feed = Feed();
    for (auto _ : state) {
        state.PauseTiming();
        std::string body = feed;
        state.ResumeTiming();
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_buffer_inplace(body.data(), body.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
}
BENCHMARK(PugixmlParseInPlace)->Unit(benchmark::kMillisecond);

// What a reload does with the fetched body before touching a window: check its
// encoding, parse it in place, build the records, and drop the previous ones.
void FeedToCatalogue(benchmark::State& state) {
    const std::string& feed = Feed();
    std::optional<FeedDocument> previous;
    for (auto _ : state) {
        state.PauseTiming();
        std::string body = feed;  // what the network hands over
        state.ResumeTiming();
        DecodeFeedBody(body);
        previous = ParseFeedDocument(std::move(body));
        benchmark::DoNotOptimize(previous);
    }
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
