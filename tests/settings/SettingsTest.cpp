#include "settings/Settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestFiles.h"
#include "TransferHelpers.h"
#include "platform/SimpleIniFile.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    std::filesystem::path Folder() const { return dir_.path().toStdString(); }
    std::filesystem::path Exe() const { return Folder() / "ZURav3"; }
    std::filesystem::path Ini() const { return Folder() / "ZURav3.ini"; }
    std::filesystem::path UserCopy() const { return Folder() / "config" / "ZURav3.ini"; }
    AppInfo App(const std::filesystem::path& exe) const {
        return AppInfo(exe, {}, Folder() / "config");
    }
    AppInfo App() const { return App(Exe()); }
    void Write(const std::string& text) const { WriteFileBytes(Ini(), text); }
    std::string Read() const { return ReadFileBytes(Ini()); }

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
    const TSettings read = ReadSettings(ini_, App());
    EXPECT_EQ(read.RssURL, kDefaultRssURL);
    EXPECT_EQ(read.FindText, "");
    EXPECT_EQ(read.ReplaceText, "");
    EXPECT_EQ(read.LastDown, Folder().string() + "/");

    WriteSettings(ini_, App(), read);
    const std::string text = Read();
    for (const char* line : {"[TOV]", "[URL]", "[OPT]", "RSS", "Find", "Replace", "LastDown"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    SimpleIniFile again;
    const TSettings back = ReadSettings(again, App());
    EXPECT_EQ(back.RssURL, read.RssURL);
    EXPECT_EQ(back.LastDown, read.LastDown);
}

TEST_F(SettingsTest, ValuesRoundTripAndOtherContentIsKept) {
    Write("; kept comment\n[TOV]\nRSS=http://feed/한글?a=b=c\n[URL]\nFind=/abc/\n[Other]\nX=1\n");
    TSettings s = ReadSettings(ini_, App());
    EXPECT_EQ(s.RssURL, "http://feed/한글?a=b=c");
    EXPECT_EQ(s.FindText, "/abc/");
    EXPECT_EQ(s.ReplaceText, "");
    s.LastDown = "/music/";
    WriteSettings(ini_, App(), s);

    const std::string text = Read();
    EXPECT_NE(text.find("; kept comment"), std::string::npos);
    EXPECT_NE(text.find("X"), std::string::npos);
    SimpleIniFile again;
    const TSettings back = ReadSettings(again, App());
    EXPECT_EQ(back.RssURL, s.RssURL);
    EXPECT_EQ(back.FindText, "/abc/");
    EXPECT_EQ(back.ReplaceText, "");
    EXPECT_EQ(back.LastDown, "/music/");
}

// The notice choice is absent until made, then kept both ways; a value that
// is neither 1 nor 0 counts as no choice (off).
TEST_F(SettingsTest, NoticeChoiceIsWrittenOnlyOnceMadeAndReadBackBothWays) {
    TSettings s = ReadSettings(ini_, App());
    EXPECT_EQ(s.NewEpisodeNotice, std::nullopt);
    WriteSettings(ini_, App(), s);
    EXPECT_EQ(Read().find("NewEpisodeNotice"), std::string::npos);
    for (const bool on : {true, false}) {
        s.NewEpisodeNotice = on;
        WriteSettings(ini_, App(), s);
        SimpleIniFile again;
        EXPECT_EQ(ReadSettings(again, App()).NewEpisodeNotice, on);
    }
    Write("[OPT]\nNewEpisodeNotice=yes\n");
    SimpleIniFile damaged;
    EXPECT_EQ(ReadSettings(damaged, App()).NewEpisodeNotice, std::nullopt);
}

// A settings file made read-only is neither reported nor damaged, and no copy
// elsewhere takes its place.
TEST_F(SettingsTest, ReadOnlyFileIsLeftAloneSilently) {
    Write("[TOV]\nRSS=http://old/\n");
    chmod(Ini().c_str(), 0444);
    TSettings s = ReadSettings(ini_, App());
    s.RssURL = "http://new/";
    WriteSettings(ini_, App(), s);
    EXPECT_EQ(Read(), "[TOV]\nRSS=http://old/\n");
    EXPECT_FALSE(std::filesystem::exists(UserCopy()));
}

// A settings file that is a link is followed only when the user made it to a
// file of their own (settings kept with their dotfiles): the file it names is
// replaced and the link stays. Before, any link was followed, a dangling one
// created its target, and as root another user's file was replaced.
TEST_F(SettingsTest, ALinkIsFollowedOnlyToTheUsersOwnFile) {
    constexpr uid_t kSomeoneElse = 65534;
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* what;
        bool followed;
        bool needsRoot;
        std::function<void(const std::filesystem::path& link, const std::filesystem::path& target)>
            make;
    };
    const auto linkTo = [](const std::filesystem::path& link, const std::filesystem::path& target) {
        WriteFileBytes(target, "[TOV]\nRSS=http://old/\n");
        std::filesystem::create_symlink(target.filename(), link);
    };
    const Case cases[] = {
        {"the user's link to the user's file", true, false, linkTo},
        {"a dangling link", false, false,
         [](const std::filesystem::path& link, const std::filesystem::path& target) {
             std::filesystem::create_symlink(target, link);
         }},
        {"a link to a link", false, false,
         [&](const std::filesystem::path& link, const std::filesystem::path& target) {
             linkTo(link.string() + ".2", target);
             std::filesystem::create_symlink(link.filename().string() + ".2", link);
         }},
        {"a link to a read-only file", false, false,
         [&](const std::filesystem::path& link, const std::filesystem::path& target) {
             linkTo(link, target);
             ::chmod(target.c_str(), 0444);
         }},
        {"a link to someone else's file", false, true,
         [&](const std::filesystem::path& link, const std::filesystem::path& target) {
             linkTo(link, target);
             ASSERT_EQ(::chown(target.c_str(), kSomeoneElse, kSomeoneElse), 0);
         }},
        {"someone else's link to the user's file", false, true,
         [&](const std::filesystem::path& link, const std::filesystem::path& target) {
             linkTo(link, target);
             ASSERT_EQ(::lchown(link.c_str(), kSomeoneElse, kSomeoneElse), 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) {
            std::printf("skipped \"%s\": making files of another user needs root\n", c.what);
            continue;
        }
        QTemporaryDir dir;
        const std::filesystem::path folder = dir.path().toStdString();
        const std::filesystem::path link = folder / "ZURav3.ini";
        const std::filesystem::path target = folder / "dotfile.ini";
        c.make(link, target);
        const bool targetExisted = std::filesystem::exists(target);

        SimpleIniFile ini;
        ini.Open(link);
        ini.WriteString("TOV", "RSS", "http://new/");
        EXPECT_EQ(ini.Save(), c.followed);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(std::filesystem::exists(target), targetExisted);
        if (targetExisted) {
            EXPECT_EQ(ReadFileBytes(target).find("http://new/") != std::string::npos, c.followed);
        }
    }
}

// When the executable's folder cannot be written (here it is not a folder at
// all, which holds for root too), the settings go to the user's configuration
// folder and are read back from there, and saves start in the user's folder
// rather than beside the executable.
TEST_F(SettingsTest, UnwritableExecutableFolderUsesTheUsersFolders) {
    std::ofstream(Folder() / "not-a-folder") << "x";
    const AppInfo app(Folder() / "not-a-folder" / "ZURav3", {}, Folder() / "config",
                      Folder() / "saves");
    TSettings s = ReadSettings(ini_, app);
    EXPECT_EQ(s.LastDown, Folder().string() + "/saves/");
    s.RssURL = "http://kept/";
    WriteSettings(ini_, app, s);
    ASSERT_TRUE(std::filesystem::exists(UserCopy()));
    EXPECT_EQ(SettingsFileToRead(app), UserCopy());
    EXPECT_EQ(ReadSettings(ini_, app).RssURL, "http://kept/");

    // A copy that can write beside itself keeps its own settings: it neither
    // reads nor overwrites the installed copy's. (Before, a user copy won
    // everywhere, so the demo's copy played the user's feed.)
    EXPECT_EQ(SettingsFileToRead(App()), Ini());
    EXPECT_EQ(ReadSettings(ini_, App()).RssURL, kDefaultRssURL);
    EXPECT_EQ(ReadSettings(ini_, App()).LastDown, Folder().string() + "/");
    Write("[TOV]\nRSS=http://beside/\n");
    EXPECT_EQ(ReadSettings(ini_, App()).RssURL, "http://beside/");
    s.RssURL = "http://newer/";
    WriteSettings(ini_, App(), s);
    EXPECT_EQ(ReadSettings(ini_, App()).RssURL, "http://newer/");
    EXPECT_EQ(ReadSettings(ini_, app).RssURL, "http://kept/");
}

// A line break in a value must not let it pose as another key in the file.
TEST_F(SettingsTest, LineBreaksInAValueCannotInjectKeys) {
    TSettings s = ReadSettings(ini_, App());
    s.RssURL = "http://a/\n[OPT]\nLastDown=/evil/";
    s.LastDown = "/music/";
    WriteSettings(ini_, App(), s);
    const TSettings back = ReadSettings(ini_, App());
    EXPECT_EQ(back.RssURL, "http://a/ [OPT] LastDown=/evil/");
    EXPECT_EQ(back.LastDown, "/music/");
}

// A damaged file is read as no file at all, and the next write replaces it.
TEST_F(SettingsTest, GarbageFilesGiveDefaultsAndAreWrittenAnew) {
    for (const std::string& garbage :
         {std::string("\x00\xff\xfe[\n=\x01\x02\n[TOV\nRSS", 16), PatternBytes(4096)}) {
        Write(garbage);
        TSettings s = ReadSettings(ini_, App());
        EXPECT_EQ(s.RssURL, kDefaultRssURL);
        EXPECT_EQ(s.LastDown, Folder().string() + "/");
        s.RssURL = "http://new/";
        WriteSettings(ini_, App(), s);
        SimpleIniFile again;
        EXPECT_EQ(ReadSettings(again, App()).RssURL, "http://new/");
    }
}

TEST_F(SettingsTest, HugeValuesSurviveInEveryKey) {
    const std::string huge = "/" + std::string(100 * 1024, 'q');
    Write("[TOV]\nRSS=http://h" + huge + "\n[URL]\nFind=" + huge +
          "\nReplace=/r/\n[OPT]\nLastDown=" + huge + "/\n");
    const TSettings s = ReadSettings(ini_, App());
    EXPECT_EQ(s.RssURL, "http://h" + huge);
    EXPECT_EQ(s.FindText, huge);
    EXPECT_EQ(s.LastDown, huge + "/");
    WriteSettings(ini_, App(), s);
    SimpleIniFile again;
    const TSettings back = ReadSettings(again, App());
    EXPECT_EQ(back.RssURL, s.RssURL);
    EXPECT_EQ(back.FindText, s.FindText);
    EXPECT_EQ(back.ReplaceText, "/r/");
    EXPECT_EQ(back.LastDown, s.LastDown);
}
