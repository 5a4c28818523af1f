#include "Settings.h"

#include <cstdio>

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

TSettings ReadSettings(IIniFile& ini, const std::filesystem::path& executable) {
    ini.Open(IniPathFor(executable));
    TSettings settings;
    settings.RssURL = ini.ReadString("TOV", "RSS", kDefaultRssURL);
    settings.FindText = ini.ReadString("URL", "Find", "");
    settings.ReplaceText = ini.ReadString("URL", "Replace", "");
    settings.LastDown = ini.ReadString("OPT", "LastDown", ExecutableFolder(executable));
    return settings;
}

void WriteSettings(IIniFile& ini, const std::filesystem::path& executable,
                   const TSettings& settings) {
    ini.Open(IniPathFor(executable));
    ini.WriteString("TOV", "RSS", settings.RssURL);
    ini.WriteString("URL", "Find", settings.FindText);
    ini.WriteString("URL", "Replace", settings.ReplaceText);
    ini.WriteString("OPT", "LastDown", settings.LastDown);
    ini.Save();
}

std::string FormatVersionText(const FileVersion& version) {
    char text[64];
    std::snprintf(text, sizeof text, "v%d.%d.%d.%d", version[0], version[1], version[2],
                  version[3]);
    return text;
}
