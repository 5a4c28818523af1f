#include <gtest/gtest.h>

#include "texts/FileNames.h"

// Only the path names the file: a query or fragment holding a "/" must not
// choose the name (it used to propose ".bashrc" for "ep.mp3?next=/.bashrc").
TEST(SaveFileName, IsTheLastSegmentOfThePathOnly) {
    EXPECT_EQ(SaveFileName("http://h/x/ep080501.mp3"), "ep080501.mp3");
    EXPECT_EQ(SaveFileName("http://h/x/ep.mp3?next=/.bashrc"), "ep.mp3");
    EXPECT_EQ(SaveFileName("http://h/ep.mp3#/../../.profile"), "ep.mp3");
    EXPECT_EQ(SaveFileName("https://h:8080/a/b.mp3?x=1#y/z"), "b.mp3");
    EXPECT_EQ(SaveFileName("no-slash.mp3?a=/b"), "no-slash.mp3");
}

// Escapes are decoded into the name the user reads, except those that would
// put a separator or a control character into it; bytes that do not decode
// to UTF-8 keep the link's own text.
TEST(SaveFileName, IsPercentDecodedWhereThatGivesAPlainUtf8Name) {
    EXPECT_EQ(SaveFileName("http://h/%EC%B2%AB%20%EB%B0%A9%EC%86%A1.mp3"), "첫 방송.mp3");
    EXPECT_EQ(SaveFileName("http://h/a%2Fb%2f..%2F.bashrc"), "a%2Fb%2f..%2F.bashrc");
    EXPECT_EQ(SaveFileName("http://h/a%00b%0A%7F.mp3"), "a%00b%0A%7F.mp3");
    EXPECT_EQ(SaveFileName("http://h/%FF%FEx%20y.mp3"), "%FF%FEx%20y.mp3");
    EXPECT_EQ(SaveFileName("http://h/100%25%zz%4.mp3"), "100%%zz%4.mp3");
    EXPECT_EQ(SaveFileName(std::string("http://h/a\0b.mp3", 16)), "ab.mp3");
}

// What names no file gets a safe name instead of "", "." or "..", which the
// dialog would take for a folder.
TEST(SaveFileName, NoFileNameGivesEpisodeMp3) {
    for (const char* link : {"", "http://h/dir/", "http://h", "http://h.mp3", "http://h?x=/y.mp3",
                             "http://h/a/.", "http://h/a/..", "http://h/%2E%2E", "http://h/%2e",
                             "http://h/a/?n=ep.mp3", "http://h/#ep.mp3"}) {
        EXPECT_EQ(SaveFileName(link), "episode.mp3") << link;
    }
}
