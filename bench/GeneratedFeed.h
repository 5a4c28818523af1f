#pragma once

// Feeds for the benchmarks: items of about 1,000 bytes each (title, link, an
// HTML description with many "<" and Korean text, the enclosure), so that
// 20 MB hold 20,000 enclosures.
#include <cstdio>
#include <iterator>
#include <string>

namespace bench {

constexpr std::size_t kItemBytes = 1000;  // 20 MB hold 20,000 enclosures

// One item of about kItemBytes: title, an HTML description in CDATA with many
// "<", and the enclosure. `elementTags` writes the enclosure as an element, so
// that its tag text runs on to the next "/>", which comes only every
// `closeEvery` items.
inline std::string Item(std::size_t i, bool elementTags, std::size_t closeEvery) {
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

inline std::string Feed(std::size_t bytes, bool elementTags = false, std::size_t closeEvery = 1) {
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>\n"
        "<title>토브 라디오</title>\n";
    for (std::size_t i = 0; feed.size() + kItemBytes <= bytes; ++i) {
        feed += Item(i, elementTags, closeEvery);
    }
    return feed + "</channel></rss>\n";
}

}  // namespace bench
