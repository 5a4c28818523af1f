#include <gtest/gtest.h>

#include "feed/RewriteLink.h"
#include "platform/AppInfo.h"
#include "platform/FileFilter.h"
#include "settings/Settings.h"
#include "texts/FailureText.h"
#include "texts/FileNames.h"
#include "texts/PlayTime.h"

namespace {
std::string Rewritten(std::string link, const std::string& find, const std::string& replace) {
    RewriteLink(link, find, replace);
    return link;
}
}  // namespace

TEST(RewriteLink, ReplacesEveryOccurrenceIgnoringCase) {
    EXPECT_EQ(Rewritten("http://h/abc/ep.mp3", "/abc/", "/xyz/"), "http://h/xyz/ep.mp3");
    EXPECT_EQ(Rewritten("http://h/abc/ep.mp3", "/ABC/", "/xyz/"), "http://h/xyz/ep.mp3");
    EXPECT_EQ(Rewritten("http://h/ABC/abc/x", "abc", "d"), "http://h/d/d/x");
    // Left to right without overlap, and the inserted text is not searched again.
    EXPECT_EQ(Rewritten("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(Rewritten("abab", "ab", "abab"), "abababab");
}

TEST(RewriteLink, IsOffWhenEitherTextIsEmpty) {
    EXPECT_EQ(Rewritten("http://h/abc/ep.mp3", "/abc/", ""), "http://h/abc/ep.mp3");
    EXPECT_EQ(Rewritten("http://h/abc/ep.mp3", "", "/xyz/"), "http://h/abc/ep.mp3");
}

TEST(PlayTime, FormatsTruncatedHoursMinutesSeconds) {
    EXPECT_EQ(FormatPlayTime(0), "00:00:00");
    EXPECT_EQ(FormatPlayTime(999), "00:00:00");
    EXPECT_EQ(FormatPlayTime(61000), "00:01:01");
    EXPECT_EQ(FormatPlayTime(3599999), "00:59:59");
    EXPECT_EQ(FormatPlayTime(3600000), "01:00:00");
    EXPECT_EQ(FormatPlayTime(360000000), "100:00:00");
    EXPECT_EQ(FormatPlayTime(-65000), "00:-1:-5");
}

// The pointer time on a 258-pixel bar; a captured pointer outside the bar
// is held to the medium's ends.
TEST(PlayTime, PointerTimeTruncatesAndStaysWithinTheMedium) {
    EXPECT_EQ(PointerTime(3600000, 0, 258), 0);
    EXPECT_EQ(PointerTime(3600000, 129, 258), 1800000);
    EXPECT_EQ(PointerTime(3600000, 257, 258), 3586046);
    EXPECT_EQ(PointerTime(1000, 1, 258), 3);
    EXPECT_EQ(PointerTime(3600000, -1, 258), 0);
    EXPECT_EQ(PointerTime(3600000, 400, 258), 3600000);
    EXPECT_EQ(PointerTime(2147483647, 257, 258), 2139160066);
    EXPECT_EQ(PointerTime(3600000, 10, 0), 0);
}

TEST(FileNames, LinkPathAndPanelNames) {
    EXPECT_EQ(LinkFileName("http://h/x/ep080501.mp3"), "ep080501.mp3");
    EXPECT_EQ(LinkFileName("no-slash.mp3"), "no-slash.mp3");
    EXPECT_EQ(LinkFileName("http://h/dir/"), "");
    EXPECT_EQ(PathFileName("/home/me/Music/a.mp3"), "a.mp3");
    EXPECT_EQ(PathFolder("/home/me/Music/a.mp3"), "/home/me/Music/");
    EXPECT_EQ(PathFileName("a.mp3"), "a.mp3");
    EXPECT_EQ(PanelFileName("2008/05/01"), "TOV2008-05-01.mp3");
}

TEST(Version, ParsesFourNumbersOrGivesZeros) {
    EXPECT_EQ(ParseFileVersion("7.0.0.36"), (FileVersion{7, 0, 0, 36}));
    EXPECT_EQ(ParseFileVersion("3.1"), (FileVersion{3, 1, 0, 0}));
    EXPECT_EQ(ParseFileVersion(""), (FileVersion{0, 0, 0, 0}));
    for (const char* bad : {"1.2.3.4.5", "a.b", "1..2", "1.2.", "70000.0.0.0", "-1.0"}) {
        EXPECT_EQ(ParseFileVersion(bad), (FileVersion{0, 0, 0, 0})) << bad;
    }
    EXPECT_EQ(FormatVersionText({7, 0, 0, 36}), "v7.0.0.36");
    EXPECT_EQ(FormatVersionText({0, 0, 0, 0}), "v0.0.0.0");
}

TEST(FileFilter, ConvertsBarSeparatedPairsForQt) {
    EXPECT_EQ(ToQtNameFilters(QStringLiteral(
                  "MP3 Files(*.mp3)|*.mp3|Wave Files(*.wav)|*.wav|All Files(*.*)|*.*|")),
              (QStringList{QStringLiteral("MP3 Files(*.mp3) (*.mp3 *.MP3)"),
                           QStringLiteral("Wave Files(*.wav) (*.wav *.WAV)"),
                           QStringLiteral("All Files(*.*) (*)")}));
    EXPECT_EQ(ToQtNameFilters(QStringLiteral("Audio|*.mp3;*.wav")),
              QStringList{QStringLiteral("Audio (*.mp3 *.MP3 *.wav *.WAV)")});
    EXPECT_TRUE(ToQtNameFilters(QString()).isEmpty());
}

// Standard error gets one line per failure, whatever line breaks a server's
// or a library's reason holds.
TEST(FailureText, TheStandardErrorLineStaysOneLine) {
    EXPECT_EQ(FailureLine(kFeedFetchFailed, "http://h/rss", "HTTP/1.1 502 Bad\r\nGateway\n"),
              "ZURav3: 피드를 불러오지 못했습니다: http://h/rss: HTTP/1.1 502 Bad  Gateway ");
}
