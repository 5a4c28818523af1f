// Speed of the feed's text scan. Run from the build folder:
//   ./bench/bench_feed_text --benchmark_counters_tabular=true
// FindEnclosures is the floor: one plain search for every "<enclosure" in the
// same text. The scan should stay within about 1.5 times of it, and both should
// grow in proportion to the feed's size.
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "Umain/FeedText.h"

namespace {

constexpr std::size_t kItemBytes = 1000;  // 20 MB hold 20,000 enclosures

// One item of about kItemBytes: title, an HTML description in CDATA with many
// "<", and the enclosure. `elementTags` writes the enclosure as an element, so
// that its tag text runs on to the next "/>", which comes only every
// `closeEvery` items.
std::string Item(std::size_t i, bool elementTags, std::size_t closeEvery) {
    char date[16];
    std::snprintf(date, sizeof date, "%02zu%02zu%02zu", 8 + i % 10, 1 + i % 12, 1 + i % 28);
    std::string item = "<item>\n<title>토브 라디오 " + std::to_string(i) +
                       "회</title>\n<link>http://www.tovradio.example/tov/" + std::to_string(i) +
                       "</link>\n<description><![CDATA[";
    const std::string url = "http://podcast.tovradio.example/tov/tov_" + std::string(date) + ".mp3";
    const std::string enclosure = "<enclosure url=\"" + url + "\" length=\"" +
                                  std::to_string(30000000 + i) + "\" type=\"audio/mpeg\" " +
                                  (elementTags ? "></enclosure>" : "/>");
    const std::string tail =
        "]]></description>\n" + enclosure + "\n<pubDate>Sat, 15 Mar 2008</pubDate>" +
        ((elementTags && i % closeEvery == closeEvery - 1) ? "<br/>" : "") + "\n</item>\n";
    const std::string words[] = {"<p>오늘의 ",   "말씀과 ", "찬양 ",
                                 "<b>함께</b> ", "하는 ",   "시간</p>\n"};
    for (std::size_t w = 0; item.size() + tail.size() < kItemBytes; ++w) {
        item += words[w % std::size(words)];
    }
    return item + tail;
}

std::string Feed(std::size_t bytes, bool elementTags = false, std::size_t closeEvery = 1) {
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>\n"
        "<title>토브 라디오</title>\n";
    for (std::size_t i = 0; feed.size() + kItemBytes <= bytes; ++i) {
        feed += Item(i, elementTags, closeEvery);
    }
    return feed + "</channel></rss>\n";
}

void Report(benchmark::State& state, const std::string& feed, std::size_t enclosures) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
    state.SetComplexityN(static_cast<int64_t>(feed.size()));
    state.counters["MB"] = static_cast<double>(feed.size()) / 1e6;
    state.counters["enclosures"] = static_cast<double>(enclosures);
}

void ScanFeedText(benchmark::State& state) {
    const std::string feed = Feed(static_cast<std::size_t>(state.range(0)) * 1'000'000);
    std::size_t records = 0;
    for (auto _ : state) {
        records = ScanFeedEnclosures(feed).size();
        benchmark::DoNotOptimize(records);
    }
    Report(state, feed, records);
}

void FindEnclosures(benchmark::State& state) {
    const std::string feed = Feed(static_cast<std::size_t>(state.range(0)) * 1'000'000);
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
    const std::string feed = Feed(static_cast<std::size_t>(state.range(0)) * 1'000'000, true, 100);
    std::size_t records = 0;
    for (auto _ : state) {
        records = ScanFeedEnclosures(feed).size();
        benchmark::DoNotOptimize(records);
    }
    Report(state, feed, records);
}

}  // namespace

BENCHMARK(ScanFeedText)
    ->Arg(2)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(FindEnclosures)
    ->Arg(2)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(ScanNestedTags)
    ->Arg(2)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();
