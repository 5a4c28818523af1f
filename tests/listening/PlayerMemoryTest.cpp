#include <gtest/gtest.h>

#include "FeedBuilder.h"
#include "listening/NewEpisodes.h"
#include "listening/ResumePositions.h"

namespace {

TEpisodeList Episodes(const std::vector<std::string>& links) {
    TEpisodeList episodes;
    for (const std::string& link : links) {
        episodes.push_back({"", "title of " + link, "", "", link, 0});
    }
    return episodes;
}

std::string Link(int i) {
    return "http://h/ep" + std::to_string(i) + ".mp3";
}

}  // namespace

// A stop near the end finishes the episode; a stop at the very start (a
// medium merely opened, or rewound by the stop button) must not wipe the
// place kept from an earlier listen.
TEST(ResumePositions, KeepsTheLastStopForgetsFinishedEpisodesAndIgnoresStopsAtTheStart) {
    TResumePositions positions;
    EXPECT_TRUE(positions.Remember("http://h/a.mp3", 600000, 3600000));
    EXPECT_EQ(positions.Find("http://h/a.mp3"), 600000);
    EXPECT_FALSE(positions.Remember("http://h/a.mp3", 600000, 3600000));
    EXPECT_FALSE(positions.Remember("http://h/a.mp3", 0, 3600000));
    EXPECT_EQ(positions.Find("http://h/a.mp3"), 600000);

    // 30 s from the end is finished; a millisecond earlier is not.
    EXPECT_TRUE(positions.Remember("http://h/a.mp3", 3569999, 3600000));
    EXPECT_EQ(positions.Find("http://h/a.mp3"), 3569999);
    EXPECT_TRUE(positions.Remember("http://h/a.mp3", 3570000, 3600000));
    EXPECT_EQ(positions.Find("http://h/a.mp3"), std::nullopt);
    // At the end, where the device reports the length.
    positions.Remember("http://h/a.mp3", 5000, 3600000);
    EXPECT_TRUE(positions.Remember("http://h/a.mp3", 3600000, 3600000));
    EXPECT_EQ(positions.Find("http://h/a.mp3"), std::nullopt);

    // An unknown length (0) finishes nothing.
    EXPECT_TRUE(positions.Remember("http://h/stream", 42000, 0));
    EXPECT_EQ(positions.Find("http://h/stream"), 42000);

    // A link that would break the file's lines is not kept.
    EXPECT_FALSE(positions.Remember("http://h/a\nb.mp3", 5000, 0));
    EXPECT_FALSE(positions.Remember("", 5000, 0));
}

TEST(ResumePositions, HoldsTheTwoHundredMostRecentlyStoppedLinks) {
    TResumePositions positions;
    for (int i = 0; i < 201; ++i) {
        positions.Remember(Link(i), 1000 + i, 0);
    }
    EXPECT_EQ(positions.Entries().size(), 200u);
    EXPECT_EQ(positions.Find(Link(0)), std::nullopt);
    EXPECT_EQ(positions.Find(Link(1)), 1001);
    EXPECT_EQ(positions.Entries().front().link, Link(200));

    // Stopping an old one again makes it the newest, so the next one pushes
    // out the second oldest instead.
    positions.Remember(Link(1), 7777, 0);
    positions.Remember(Link(500), 5, 0);
    EXPECT_EQ(positions.Find(Link(1)), 7777);
    EXPECT_EQ(positions.Find(Link(2)), std::nullopt);
}

TEST(ResumePositions, FileTextRoundTripsAndDamagedLinesAreSkipped) {
    TResumePositions positions;
    positions.Remember("http://h/old.mp3", 1500, 0);
    positions.Remember("http://h/new ep.mp3?a=1&b=2", 61000, 0);
    const std::string text = positions.Serialize();
    EXPECT_EQ(text, "61000\thttp://h/new ep.mp3?a=1&b=2\n1500\thttp://h/old.mp3\n");
    EXPECT_EQ(TResumePositions::Parse(text).Entries(), positions.Entries());

    const TResumePositions damaged = TResumePositions::Parse(
        "garbage\n-5\thttp://h/neg\n12x\thttp://h/x\n\t\n99999999999\thttp://h/big\n"
        "300\thttp://h/ok\r\n400\thttp://h/ok\n700\thttp://h/last");
    ASSERT_EQ(damaged.Entries().size(), 2u);
    EXPECT_EQ(damaged.Find("http://h/ok"), 300);
    EXPECT_EQ(damaged.Find("http://h/last"), 700);
    EXPECT_TRUE(TResumePositions::Parse(std::string("\0\0\n", 3)).Entries().empty());
}

// The first load of a feed announces nothing; later loads announce the links
// not seen before, each once, even when an episode leaves the feed and comes
// back.
TEST(SeenEpisodes, AnnouncesEachNewLinkOnceAndNothingOnAFeedsFirstLoad) {
    TSeenEpisodes seen;
    const std::string feed = "http://h/rss";
    auto learned = seen.Learn(feed, Episodes({"a", "b"}));
    EXPECT_TRUE(learned.arrived.empty());
    EXPECT_TRUE(learned.changed);

    learned = seen.Learn(feed, Episodes({"c", "a", "c", "b"}));
    EXPECT_EQ(learned.arrived, std::vector<std::size_t>{0});
    learned = seen.Learn(feed, Episodes({"c", "a", "b"}));
    EXPECT_TRUE(learned.arrived.empty());
    EXPECT_FALSE(learned.changed);

    // "a" leaves the feed and comes back: still known.
    seen.Learn(feed, Episodes({"d", "c", "b"}));
    learned = seen.Learn(feed, Episodes({"d", "c", "b", "a"}));
    EXPECT_TRUE(learned.arrived.empty());

    // Another feed starts afresh, and so does going back to the first one.
    EXPECT_TRUE(seen.Learn("http://other/rss", Episodes({"x", "y"})).arrived.empty());
    EXPECT_TRUE(seen.Learn(feed, Episodes({"e", "d"})).arrived.empty());
    EXPECT_EQ(seen.Learn(feed, Episodes({"f", "e", "d"})).arrived, std::vector<std::size_t>{0});
}

TEST(SeenEpisodes, ForgetsOnlyTheOldestLinksThatLeftTheFeed) {
    TSeenEpisodes seen;
    std::vector<std::string> gone;
    for (std::size_t i = 0; i < TSeenEpisodes::kFormerLinks + 5; ++i) {
        gone.push_back(Link(static_cast<int>(i)));
    }
    seen.Learn("f", Episodes(gone));
    seen.Learn("f", Episodes({"now"}));
    EXPECT_EQ(seen.Links().size(), 1 + TSeenEpisodes::kFormerLinks);
    // The last five of the old load went first.
    const auto arrived = seen.Learn("f", Episodes({"now", gone.front(), gone.back()})).arrived;
    EXPECT_EQ(arrived, std::vector<std::size_t>{2});
}

TEST(SeenEpisodes, FileTextRoundTripsAndADamagedFileCountsAsNothingSeen) {
    TSeenEpisodes seen;
    seen.Learn("http://h/rss", Episodes({"http://h/2.mp3", "http://h/1.mp3"}));
    const std::string text = seen.Serialize();
    EXPECT_EQ(text, "http://h/rss\nhttp://h/2.mp3\nhttp://h/1.mp3\n");
    TSeenEpisodes again = TSeenEpisodes::Parse(text);
    EXPECT_EQ(again.Feed(), "http://h/rss");
    EXPECT_EQ(again.Links(), seen.Links());
    EXPECT_EQ(again.Learn("http://h/rss", Episodes({"http://h/3.mp3", "http://h/2.mp3"})).arrived,
              std::vector<std::size_t>{0});

    // A file that repeats a link (not one this program wrote) is read as it
    // is, and the next load keeps each link once.
    TSeenEpisodes repeated = TSeenEpisodes::Parse("f\r\nhttp://h/1.mp3\nhttp://h/1.mp3\r\n\n");
    EXPECT_EQ(repeated.Learn("f", Episodes({"http://h/2.mp3"})).arrived,
              std::vector<std::size_t>{0});
    EXPECT_EQ(repeated.Serialize(), "f\nhttp://h/2.mp3\nhttp://h/1.mp3\n");

    EXPECT_FALSE(TSeenEpisodes::Parse("").KnowsFeed());
    EXPECT_FALSE(TSeenEpisodes::Parse("\nhttp://h/1.mp3\n").KnowsFeed());
    EXPECT_FALSE(TSeenEpisodes().KnowsFeed());
    EXPECT_EQ(TSeenEpisodes().Serialize(), "");
}

TEST(NewEpisodesNotice, NamesOneListsUpToThreeAndCountsTheRest) {
    EXPECT_EQ(NewEpisodesNotice({}), TNotice{});
    EXPECT_EQ(NewEpisodesNotice({"첫 방송"}), (TNotice{"새 에피소드: 첫 방송", ""}));
    EXPECT_EQ(NewEpisodesNotice({"a", "b"}), (TNotice{"새 에피소드 2편", "a\nb"}));
    EXPECT_EQ(NewEpisodesNotice({"a", "b", "c", "d", "e"}),
              (TNotice{"새 에피소드 5편", "a\nb\nc\n외 2편"}));

    // The text scan reads dates but no titles.
    EXPECT_EQ(EpisodeName({"2008/03/15", "", "", "", "http://h/tov_080315.mp3", 0}), "2008/03/15");
    EXPECT_EQ(EpisodeName({"", "", "", "", "http://h/tov_080315.mp3", 0}), "tov_080315.mp3");
    EXPECT_EQ(EpisodeName({"2008/03/15", "제목", "", "", "x", 0}), "제목");
}
