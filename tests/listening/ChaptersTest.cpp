#include <gtest/gtest.h>

#include "listening/Chapters.h"
#include "listening/PodcastChapters.h"

namespace {

TChapterList ThreeChapters() {
    return TChapterList({{60000, "Two"}, {0, "One"}, {120000, "Three"}, {60000, "Again"}});
}

std::optional<std::vector<MediaChapter>> Parse(const std::string& json) {
    std::string error;
    auto chapters = ParsePodcastChapters(json, error);
    EXPECT_EQ(chapters.has_value(), error.empty()) << error;
    return chapters;
}

}  // namespace

// Sorted, one chapter per start; next and previous as a listener expects:
// back near a start goes one further, none past the last.
TEST(Chapters, MovesBetweenChapters) {
    const TChapterList list = ThreeChapters();
    ASSERT_EQ(list.Size(), 3u);
    EXPECT_EQ(list[1].title, "Two");
    EXPECT_EQ(list.Current(59999), 0u);
    EXPECT_EQ(list.Current(60000), 1u);
    EXPECT_EQ(list.Next(30000), 60000);
    EXPECT_EQ(list.Next(130000), std::nullopt);
    EXPECT_EQ(list.Previous(61000), 0);
    EXPECT_EQ(list.Previous(70000), 60000);
    EXPECT_EQ(list.Previous(1000), 0);
    EXPECT_EQ(TChapterList({{5000, "Late"}}).Current(0), std::nullopt);
}

// A title from outside stays on its one menu line.
TEST(Chapters, LabelIsTimeAndTitleOnOneLine) {
    const TChapterList list({{3723000, "첫\n줄\t둘"}, {3999975, "Late"}});
    EXPECT_EQ(list.Label(0), "01:02:03 첫 줄 둘");
    EXPECT_EQ(list.Label(1), "01:06:40 Late");
}

TEST(PodcastChapters, ReadsStartsAndTitlesAndSkipsHiddenOrBrokenEntries) {
    const auto chapters =
        Parse(R"({"version":"1.2.0","chapters":[{"startTime":0,"title":"Intro"},)"
              R"({"startTime":61.5,"title":"Talk"},{"startTime":90,"title":"Ad","toc":false},)"
              R"({"title":"No start"},{"startTime":-4,"title":"Negative"},)"
              R"({"startTime":1e300,"title":"Far"},{"startTime":120}]})");
    ASSERT_TRUE(chapters);
    EXPECT_EQ(*chapters, (std::vector<MediaChapter>{{0, "Intro"}, {61500, "Talk"}, {120000, ""}}));
}

TEST(PodcastChapters, MalformedOrWrongShapeIsRefusedWithAReason) {
    std::string error;
    for (const char* json : {"{\"chapters\":[", "[1,2]", "{\"chapters\":{}}", ""}) {
        error.clear();
        EXPECT_FALSE(ParsePodcastChapters(json, error)) << json;
        EXPECT_FALSE(error.empty()) << json;
    }
}

// A huge file from outside cannot make the menu unusable or eat memory.
TEST(PodcastChapters, KeepsAtMostTheCapAndRefusesOversizedFiles) {
    std::string json = "{\"chapters\":[";
    for (int i = 0; i < 100000; ++i) {
        json += (i ? ",{\"startTime\":" : "{\"startTime\":") + std::to_string(i) + ",\"title\":\"" +
                std::string(300, 'x') + "\"}";
    }
    json += "]}";
    std::string error;
    EXPECT_FALSE(ParsePodcastChapters(json, error));  // over 8 MiB
    json.resize(kMaxChaptersFileBytes / 2);
    const std::size_t cut = json.rfind(",{");
    json = json.substr(0, cut) + "]}";
    const auto chapters = Parse(json);
    ASSERT_TRUE(chapters);
    EXPECT_EQ(chapters->size(), kMaxChapters);
    EXPECT_EQ(chapters->back().title.size(), kMaxChapterTitleChars);
}
