#include "Umain/Settings.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/SimpleIniFile.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    std::filesystem::path Folder() const { return dir_.path().toStdString(); }
    std::filesystem::path Exe() const { return Folder() / "ZURav3"; }
    std::filesystem::path Ini() const { return Folder() / "ZURav3.ini"; }
    void Write(const std::string& text) const { std::ofstream(Ini(), std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(Ini(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    QTemporaryDir dir_;
    SimpleIniFile ini_;
};

}  // namespace

TEST(SettingsPath, ExtensionIsReplacedOrAppended) {
    EXPECT_EQ(IniPathFor("/opt/z/ZURav3"), "/opt/z/ZURav3.ini");
    EXPECT_EQ(IniPathFor("/opt/z/ZURav3.exe"), "/opt/z/ZURav3.ini");
    EXPECT_EQ(IniPathFor("/opt/my.app/ZURav3"), "/opt/my.app/ZURav3.ini");
    EXPECT_EQ(ExecutableFolder("/opt/z/ZURav3"), "/opt/z/");
}

TEST_F(SettingsTest, MissingFileGivesDefaultsAndWritingCreatesFourKeysInThreeSections) {
    const TSettings read = ReadSettings(ini_, Exe());
    EXPECT_EQ(read.RssURL, kDefaultRssURL);
    EXPECT_EQ(read.FindText, "");
    EXPECT_EQ(read.ReplaceText, "");
    EXPECT_EQ(read.LastDown, Folder().string() + "/");

    WriteSettings(ini_, Exe(), read);
    const std::string text = Read();
    for (const char* line : {"[TOV]", "[URL]", "[OPT]", "RSS", "Find", "Replace", "LastDown"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    SimpleIniFile again;
    const TSettings back = ReadSettings(again, Exe());
    EXPECT_EQ(back.RssURL, read.RssURL);
    EXPECT_EQ(back.LastDown, read.LastDown);
}

TEST_F(SettingsTest, ValuesRoundTripAndOtherContentIsKept) {
    Write("; kept comment\n[TOV]\nRSS=http://feed/한글?a=b=c\n[URL]\nFind=/abc/\n[Other]\nX=1\n");
    TSettings s = ReadSettings(ini_, Exe());
    EXPECT_EQ(s.RssURL, "http://feed/한글?a=b=c");
    EXPECT_EQ(s.FindText, "/abc/");
    EXPECT_EQ(s.ReplaceText, "");
    s.LastDown = "/music/";
    WriteSettings(ini_, Exe(), s);

    const std::string text = Read();
    EXPECT_NE(text.find("; kept comment"), std::string::npos);
    EXPECT_NE(text.find("X"), std::string::npos);
    SimpleIniFile again;
    const TSettings back = ReadSettings(again, Exe());
    EXPECT_EQ(back.RssURL, s.RssURL);
    EXPECT_EQ(back.FindText, "/abc/");
    EXPECT_EQ(back.ReplaceText, "");
    EXPECT_EQ(back.LastDown, "/music/");
}

// An unwritable settings file is neither reported nor damaged.
TEST_F(SettingsTest, ReadOnlyFileAndMissingFolderAreLeftAloneSilently) {
    Write("[TOV]\nRSS=http://old/\n");
    chmod(Ini().c_str(), 0444);
    TSettings s = ReadSettings(ini_, Exe());
    s.RssURL = "http://new/";
    WriteSettings(ini_, Exe(), s);
    EXPECT_EQ(Read(), "[TOV]\nRSS=http://old/\n");

    EXPECT_NO_THROW(WriteSettings(ini_, Folder() / "missing" / "ZURav3", s));
}

TEST_F(SettingsTest, GarbageFileGivesDefaults) {
    Write(std::string("\x00\xff\xfe[\n=\x01\x02\n[TOV\nRSS", 16));
    const TSettings s = ReadSettings(ini_, Exe());
    EXPECT_FALSE(s.RssURL.empty());
    EXPECT_EQ(s.LastDown, Folder().string() + "/");
}
