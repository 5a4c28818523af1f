// Speed of the feed's text scan. Run from the build folder:
//   ./bench/bench_feed_text --benchmark_counters_tabular=true
// FindEnclosures is the floor: one plain search for every "<enclosure" in the
// same text. The scan should stay within about 1.5 times of it, and both should
// grow in proportion to the feed's size.
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "FeedBuilder.h"
#include "feed/FeedText.h"

namespace {

void Report(benchmark::State& state, const std::string& feed, std::size_t enclosures) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
    state.SetComplexityN(static_cast<int64_t>(feed.size()));
    state.counters["MB"] = static_cast<double>(feed.size()) / 1e6;
    state.counters["enclosures"] = static_cast<double>(enclosures);
}

void ScanFeedText(benchmark::State& state) {
    const std::string feed =
        GenerateFeedOfSize(static_cast<std::size_t>(state.range(0)) * 1'000'000);
    std::size_t records = 0;
    for (auto _ : state) {
        records = ScanFeedEnclosures(feed).size();
        benchmark::DoNotOptimize(records);
    }
    Report(state, feed, records);
}

void FindEnclosures(benchmark::State& state) {
    const std::string feed =
        GenerateFeedOfSize(static_cast<std::size_t>(state.range(0)) * 1'000'000);
    const std::string_view text = feed;
    std::size_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (std::size_t at = text.find("<enclosure"); at != std::string_view::npos;
             at = text.find("<enclosure", at + 1)) {
            ++found;
        }
        benchmark::DoNotOptimize(found);
    }
    Report(state, feed, found);
}

// Enclosures written as elements, with a "/>" only every 100 items: each tag
// runs on over the tags after it.
void ScanNestedTags(benchmark::State& state) {
    const std::string feed =
        GenerateFeedOfSize(static_cast<std::size_t>(state.range(0)) * 1'000'000,
                           {.elementTags = true, .closeEvery = 100});
    std::size_t records = 0;
    for (auto _ : state) {
        records = ScanFeedEnclosures(feed).size();
        benchmark::DoNotOptimize(records);
    }
    Report(state, feed, records);
}

// Feeds of 2 to 20 MB; the time should grow in proportion.
void FeedSizes(benchmark::internal::Benchmark* b) {
    b->Arg(2)->Arg(5)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
}

}  // namespace

BENCHMARK(ScanFeedText)->Apply(FeedSizes);
BENCHMARK(FindEnclosures)->Apply(FeedSizes);
BENCHMARK(ScanNestedTags)->Apply(FeedSizes);

BENCHMARK_MAIN();
