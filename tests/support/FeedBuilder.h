#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Feeds for the tests, the benchmarks and the fuzzers' seed input. Plain C++
// with no library, so that every one of them can compile it.

// One episode of a small feed.
struct FeedItem {
    std::string title;
    std::string url;
    std::string length = "1000";  // the enclosure's length attribute; empty leaves it out
};

// A document feed: an XML declaration, a channel titled "Show" and the items.
std::string FeedOf(const std::vector<FeedItem>& items);

// A document feed of these titles, linked to http://h/ep0.mp3, ep1, ...
std::string FeedOfTitles(const std::vector<std::string>& titles);

// A feed for the text scan: one enclosure a line, for the given days of March
// 2008 ("15" links http://h/tov_080315.mp3 with length 1500.5), under a
// channel without items' titles.
std::string ScanFeed(const std::vector<std::string>& days);

// Large feeds shaped like the show's own: per item a Korean title, a link, an
// HTML description in CDATA with many "<", the enclosure (tov_YYMMDD.mp3, every
// date valid) and a date, filled to `itemBytes`.
struct GeneratedFeedShape {
    std::size_t itemBytes = 1000;
    // Write the enclosure as an element, so that its tag text runs on to the
    // next "/>", which comes only every `closeEvery` items.
    bool elementTags = false;
    std::size_t closeEvery = 1;
};

// A generated feed of `items` items.
std::string GenerateFeed(std::size_t items, const GeneratedFeedShape& shape = {});

// A generated feed of as many items as fit in `bytes`.
std::string GenerateFeedOfSize(std::size_t bytes, const GeneratedFeedShape& shape = {});
