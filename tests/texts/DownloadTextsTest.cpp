#include "texts/DownloadTexts.h"

#include <gtest/gtest.h>

TEST(DownloadTexts, PercentIsTruncatedAndTextShowsMegabytesWithThreeDecimals) {
    EXPECT_EQ(DownloadPercent(1572864, 10485760), 15);
    EXPECT_EQ(DownloadProgressText(1572864, 10485760), "Downloading... ( 1.500/10.000 MB )");
    EXPECT_EQ(DownloadPercent(524288, 3000000), 17);
    EXPECT_EQ(DownloadProgressText(524288, 3000000), "Downloading... ( 0.500/2.861 MB )");
    EXPECT_EQ(DownloadPercent(0, 1000000), 0);
    EXPECT_EQ(DownloadProgressText(0, 1000000), "Downloading... ( 0.000/0.954 MB )");
    // 99.9999% is not yet 100.
    EXPECT_EQ(DownloadPercent(999999, 1000000), 99);
    EXPECT_EQ(DownloadPercent(1000000, 1000000), 100);
}

// Sizes beyond 4 GiB must neither wrap nor overflow the bar.
TEST(DownloadTexts, LargeCountsStayExact) {
    const std::uint64_t fiveGiB = 5ULL * 1024 * 1024 * 1024;
    EXPECT_EQ(DownloadPercent(fiveGiB / 2, fiveGiB), 50);
    EXPECT_EQ(DownloadPercent(fiveGiB + 1, fiveGiB), 100);
    EXPECT_EQ(DownloadProgressText(fiveGiB, fiveGiB), "Downloading... ( 5120.000/5120.000 MB )");
}

TEST(DownloadTexts, StatusDescriptionsAppendTheTextOnlyWhereTheyNameIt) {
    EXPECT_EQ(BindStatusDescription(2, "http://h/a.mp3"), "Connecting to http://h/a.mp3");
    EXPECT_EQ(BindStatusDescription(4, "u"), "Start to download u");
    EXPECT_EQ(BindStatusDescription(5, "u"), "Downloading...");
    EXPECT_EQ(BindStatusDescription(6, "u"), "Complete downloading u");
    EXPECT_EQ(BindStatusDescription(11, "u"), "Sending request...");
    EXPECT_EQ(BindStatusDescription(33, "u"), "Valid types of range requests for a resource");
    EXPECT_EQ(BindStatusDescription(0, "u"), "");
    EXPECT_EQ(BindStatusDescription(34, "u"), "");
}
