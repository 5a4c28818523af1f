// A settings file the parser cannot take whole (stray NUL bytes) is read past
// its damage and never replaced without the original kept beside it.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestFiles.h"
#include "platform/SimpleIniFile.h"
#include "settings/Settings.h"

namespace fs = std::filesystem;

namespace {

using namespace std::string_literals;

class DamagedSettings : public ::testing::Test {
protected:
    fs::path Folder() const { return dir_.path().toStdString(); }
    fs::path Ini() const { return Folder() / "ZURav3.ini"; }
    fs::path Backup(const std::string& suffix = ".bak") const {
        return Folder() / ("ZURav3.ini" + suffix);
    }
    AppInfo App() const { return AppInfo(Folder() / "ZURav3", {}, Folder() / "config"); }

    // What a run of the program does with the file: read at start, write at end.
    TSettings Run(const std::string& newFeed = {}) {
        SimpleIniFile ini;
        TSettings settings = ReadSettings(ini, App());
        const TSettings read = settings;
        if (!newFeed.empty()) {
            settings.RssURL = newFeed;
        }
        WriteSettings(ini, App(), settings);
        return read;
    }
    std::string Value(const std::string& section, const std::string& key) const {
        SimpleIniFile ini;
        ini.Open(Ini());
        return ini.ReadString(section, key, "(missing)");
    }

    QTemporaryDir dir_;
};

}  // namespace

// The keys after a NUL byte are read, and at the end every section and key is
// still there, with the original bytes kept as ZURav3.ini.bak.
TEST_F(DamagedSettings, KeysAfterANulByteAreReadAndKeptAndTheOriginalIsSetAside) {
    const std::string damaged =
        "[TOV]\nRSS=http://mine/feed\n[URL]\nFind=/a/\0\0\0\n[Extra]\nkey=value\n"
        "[OPT]\nLastDown=/music/\n"s;
    WriteFileBytes(Ini(), damaged);
    const TSettings read = Run("http://changed/feed");
    EXPECT_EQ(read.RssURL, "http://mine/feed");
    EXPECT_EQ(read.FindText, "/a/");
    EXPECT_EQ(read.LastDown, "/music/");

    EXPECT_EQ(ReadFileBytes(Backup()), damaged);
    EXPECT_EQ(ReadFileBytes(Ini()).find('\0'), std::string::npos);
    EXPECT_EQ(Value("TOV", "RSS"), "http://changed/feed");
    EXPECT_EQ(Value("Extra", "key"), "value");
    EXPECT_EQ(Value("OPT", "LastDown"), "/music/");
}

// Binary junk with NUL bytes in front of the settings must not make the feed
// URL fall back to the default and be saved so.
TEST_F(DamagedSettings, JunkInFrontDoesNotReplaceTheFeedByTheDefault) {
    const std::string damaged =
        "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x01\0\n[TOV]\nRSS=http://mine/feed\n"s;
    WriteFileBytes(Ini(), damaged);
    EXPECT_EQ(Run().RssURL, "http://mine/feed");
    EXPECT_EQ(Value("TOV", "RSS"), "http://mine/feed");
    EXPECT_EQ(ReadFileBytes(Backup()), damaged);
}

// Each damaged original is kept once: the same damage again reuses its copy,
// other damage gets a copy of its own, and none is overwritten. A file that
// reads whole is written as before, with no copy.
TEST_F(DamagedSettings, EveryDamagedOriginalIsKeptOnceAndAWholeFileGetsNoCopy) {
    WriteFileBytes(Ini(), "[TOV]\nRSS=http://one/\n");
    Run();
    EXPECT_FALSE(fs::exists(Backup()));

    const std::string first = "[TOV]\nRSS=http://one/\n\0"s;
    const std::string second = "[TOV]\nRSS=http://two/\n\0\0"s;
    WriteFileBytes(Ini(), first);
    Run();
    WriteFileBytes(Ini(), first);
    Run();
    WriteFileBytes(Ini(), second);
    Run();
    EXPECT_EQ(ReadFileBytes(Backup()), first);
    EXPECT_EQ(ReadFileBytes(Backup(".bak.2")), second);
    EXPECT_FALSE(fs::exists(Backup(".bak.3")));
    EXPECT_EQ(Value("TOV", "RSS"), "http://two/");
}

// Without room for the original's copy, the file is not replaced at all.
TEST_F(DamagedSettings, FileIsKeptAsItIsWhenItsCopyCannotBeMade) {
    const std::string damaged = "[TOV]\nRSS=http://mine/\0[X]\ny=1\n"s;
    WriteFileBytes(Ini(), damaged);
    fs::create_directory(Backup());   // the copy's name is taken by a folder...
    for (int n = 2; n <= 100; ++n) {  // ...and so are all the others
        fs::create_directory(Backup(".bak." + std::to_string(n)));
    }
    Run("http://changed/");
    EXPECT_EQ(ReadFileBytes(Ini()), damaged);
}
