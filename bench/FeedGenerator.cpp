#include "FeedGenerator.h"

#include <cstdio>

std::string GenerateFeed(int items) {
    std::string feed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
        "<title>토브 라디오</title>\n<link>http://show.example/</link>\n"
        "<description>매일 듣는 라디오</description>\n";
    feed.reserve(static_cast<std::size_t>(items) * 640 + feed.size());
    char item[1024];
    for (int i = 0; i < items; ++i) {
        const int year = 8 + i / 365 % 10;
        const int month = 1 + i / 28 % 12;
        const int day = 1 + i % 28;
        std::snprintf(
            item, sizeof item,
            "<item>\n<title>토브 라디오 %d회 - 오늘의 이야기와 음악 (%02d/%02d/%02d)</title>\n"
            "<link>http://show.example/tov/index.php/episode/%d</link>\n"
            "<desc>%d번째 방송입니다. 진행자와 함께하는 한 시간. 오늘은 청취자 사연과 "
            "신청곡, 그리고 이번 주의 소식을 전해 드립니다. 끝까지 함께해 주세요.</desc>\n"
            "<pubDate>Mon, %02d Mar 20%02d 09:00:00 +0900</pubDate>\n"
            "<enclosure url=\"http://media.example/tov/audio/20%02d/tov_%02d%02d%02d.mp3\" "
            "length=\"%d\" type=\"audio/mpeg\"/>\n</item>\n",
            i + 1, year, month, day, i + 1, i + 1, day, year, year, year, month, day, 57600000 + i);
        feed += item;
    }
    feed += "</channel>\n</rss>\n";
    return feed;
}
