#include "FeedBuilder.h"

#include <cstdio>
#include <iterator>

namespace {

const char* const kDeclaration = "<?xml version=\"1.0\"?>";

std::string GeneratedItem(std::size_t i, const GeneratedFeedShape& shape) {
    char date[16];
    std::snprintf(date, sizeof date, "%02zu%02zu%02zu", 8 + i % 10, 1 + i % 12, 1 + i % 28);
    std::string item = "<item>\n<title>토브 라디오 " + std::to_string(i) +
                       "회</title>\n<link>http://www.tovradio.example/tov/" + std::to_string(i) +
                       "</link>\n<description><![CDATA[";
    const std::string url = "http://podcast.tovradio.example/tov/tov_" + std::string(date) + ".mp3";
    const std::string enclosure = "<enclosure url=\"" + url + "\" length=\"" +
                                  std::to_string(30000000 + i) + "\" type=\"audio/mpeg\" " +
                                  (shape.elementTags ? "></enclosure>" : "/>");
    const bool close = shape.elementTags && i % shape.closeEvery == shape.closeEvery - 1;
    const std::string tail = "]]></description>\n" + enclosure +
                             "\n<pubDate>Sat, 15 Mar 2008</pubDate>" + (close ? "<br/>" : "") +
                             "\n</item>\n";
    const std::string words[] = {"<p>오늘의 ",   "말씀과 ", "찬양 ",
                                 "<b>함께</b> ", "하는 ",   "시간</p>\n"};
    for (std::size_t w = 0; item.size() + tail.size() < shape.itemBytes; ++w) {
        item += words[w % std::size(words)];
    }
    return item + tail;
}

const char* const kGeneratedHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>\n"
    "<title>토브 라디오</title>\n";
const char* const kGeneratedEnd = "</channel></rss>\n";

}  // namespace

std::string FeedOf(const std::vector<FeedItem>& items) {
    std::string feed = std::string(kDeclaration) + "<rss><channel><title>Show</title>";
    for (const FeedItem& item : items) {
        feed += "<item><title>" + item.title + "</title><enclosure url=\"" + item.url + "\"";
        if (!item.length.empty()) {
            feed += " length=\"" + item.length + "\"";
        }
        feed += " type=\"audio/mpeg\"/></item>\n";
    }
    return feed + "</channel></rss>";
}

std::string FeedOfTitles(const std::vector<std::string>& titles) {
    std::vector<FeedItem> items;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        items.push_back({titles[i], "http://h/ep" + std::to_string(i) + ".mp3"});
    }
    return FeedOf(items);
}

std::string ScanFeed(const std::vector<std::string>& days) {
    std::string feed = "<rss><channel><title>토브 라디오</title>\n";
    for (const std::string& day : days) {
        feed += "<item><enclosure url=\"http://h/tov_0803" + day + ".mp3\" length=\"" + day +
                "00.5\" type=\"audio/mpeg\" /></item>\n";
    }
    return feed + "</channel></rss>\n";
}

std::string GenerateFeed(std::size_t items, const GeneratedFeedShape& shape) {
    std::string feed = kGeneratedHead;
    feed.reserve(items * (shape.itemBytes + 64) + 128);
    for (std::size_t i = 0; i < items; ++i) {
        feed += GeneratedItem(i, shape);
    }
    return feed + kGeneratedEnd;
}

std::string GenerateFeedOfSize(std::size_t bytes, const GeneratedFeedShape& shape) {
    std::string feed = kGeneratedHead;
    for (std::size_t i = 0; feed.size() + shape.itemBytes <= bytes; ++i) {
        feed += GeneratedItem(i, shape);
    }
    return feed + kGeneratedEnd;
}
