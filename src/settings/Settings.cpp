#include "Settings.h"

#include <unistd.h>

#include <cstdio>
#include <system_error>
#include <utility>

#include "platform/IniFile.h"

#ifndef ZURAV3_DEFAULT_FEED_URL
#define ZURAV3_DEFAULT_FEED_URL "http://podcast.tovradio.example/tov/index.php/rss"
#endif

const char* const kDefaultRssURL = ZURAV3_DEFAULT_FEED_URL;

std::filesystem::path IniPathFor(const std::filesystem::path& executable) {
    std::filesystem::path ini = executable;
    if (ini.has_extension()) {
        ini.replace_extension(".ini");
    } else {
        ini += ".ini";
    }
    return ini;
}

std::string ExecutableFolder(const std::filesystem::path& executable) {
    std::string folder = executable.parent_path().string();
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

namespace {

std::filesystem::path UserCopy(const AppInfo& app) {
    if (app.UserConfigFolder().empty()) {
        return {};
    }
    return app.UserConfigFolder() / IniPathFor(app.ExecutablePath()).filename();
}

bool IsWritableFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec) && ::access(folder.c_str(), W_OK) == 0;
}

// The user's copy replaces the file beside the executable only when that
// folder cannot be written: a copy that can keep its own settings never picks
// up those of an installed copy.
bool UsesUserCopy(const AppInfo& app) {
    return !UserCopy(app).empty() &&
           !IsWritableFolder(IniPathFor(app.ExecutablePath()).parent_path());
}

}  // namespace

std::filesystem::path SettingsFileToRead(const AppInfo& app) {
    std::filesystem::path user = UserCopy(app);
    std::error_code ec;
    if (UsesUserCopy(app) && std::filesystem::is_regular_file(user, ec)) {
        return user;
    }
    return IniPathFor(app.ExecutablePath());
}

std::filesystem::path SettingsFileToWrite(const AppInfo& app) {
    if (!UsesUserCopy(app)) {
        return IniPathFor(app.ExecutablePath());
    }
    std::filesystem::path user = UserCopy(app);
    std::error_code ec;
    std::filesystem::create_directories(user.parent_path(), ec);
    return user;
}

std::string DefaultSaveFolder(const AppInfo& app) {
    std::string beside = ExecutableFolder(app.ExecutablePath());
    if (app.UserSaveFolder().empty() || IsWritableFolder(beside)) {
        return beside;
    }
    std::string folder = app.UserSaveFolder().string();
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::filesystem::path StateFileBesideSettings(const AppInfo& app, const std::string& extension) {
    std::filesystem::path path = SettingsFileToWrite(app);
    path.replace_extension(extension);
    return path;
}

TSettings ReadSettings(IIniFile& ini, const AppInfo& app) {
    ini.Open(SettingsFileToRead(app));
    TSettings settings;
    settings.RssURL = ini.ReadString("TOV", "RSS", kDefaultRssURL);
    settings.FindText = ini.ReadString("URL", "Find", "");
    settings.ReplaceText = ini.ReadString("URL", "Replace", "");
    settings.LastDown = ini.ReadString("OPT", "LastDown", DefaultSaveFolder(app));
    settings.Speed = ini.ReadString("OPT", "Speed", "");
    const std::string notice = ini.ReadString("OPT", "NewEpisodeNotice", "");
    if (notice == "1" || notice == "0") {
        settings.NewEpisodeNotice = notice == "1";
    }
    settings.SkipSilence = ini.ReadString("OPT", "SkipSilence", "");
    settings.EvenLoudness = ini.ReadString("OPT", "EvenLoudness", "");
    return settings;
}

void WriteSettings(IIniFile& ini, const AppInfo& app, const TSettings& settings) {
    ini.Open(SettingsFileToWrite(app));
    ini.WriteString("TOV", "RSS", settings.RssURL);
    ini.WriteString("URL", "Find", settings.FindText);
    ini.WriteString("URL", "Replace", settings.ReplaceText);
    ini.WriteString("OPT", "LastDown", settings.LastDown);
    if (!settings.Speed.empty()) {
        ini.WriteString("OPT", "Speed", settings.Speed);
    }
    if (settings.NewEpisodeNotice) {
        ini.WriteString("OPT", "NewEpisodeNotice", *settings.NewEpisodeNotice ? "1" : "0");
    }
    for (const auto& [key, value] : {std::pair{"SkipSilence", &settings.SkipSilence},
                                     std::pair{"EvenLoudness", &settings.EvenLoudness}}) {
        if (!value->empty()) {
            ini.WriteString("OPT", key, *value);
        }
    }
    ini.Save();
}

std::string FormatVersionText(const FileVersion& version) {
    char text[64];
    std::snprintf(text, sizeof text, "v%d.%d.%d.%d", version[0], version[1], version[2],
                  version[3]);
    return text;
}
