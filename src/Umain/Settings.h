#pragma once

#include <filesystem>
#include <string>

#include "platform/AppInfo.h"

class IIniFile;

// The feed read when the settings file names none, and the value of the
// settings dialog's default button.
extern const char* const kDefaultRssURL;

// The persistent settings, as kept in the settings file.
struct TSettings {
    std::string RssURL;
    std::string FindText;
    std::string ReplaceText;
    std::string LastDown;  // a folder, with a trailing separator
};

// The settings file of an executable: its path with the extension replaced by
// ".ini", or ".ini" appended when it has none.
std::filesystem::path IniPathFor(const std::filesystem::path& executable);

// The folder of an executable, with a trailing separator.
std::string ExecutableFolder(const std::filesystem::path& executable);

// The settings file read at start: the copy in the user's configuration folder
// when there is one (it is made when the executable's folder cannot be
// written), otherwise the file beside the executable.
std::filesystem::path SettingsFileToRead(const AppInfo& app);

// The settings file written at the end: the user's copy when there is one; the
// file beside the executable when its folder can be written; otherwise a new
// copy in the user's configuration folder, so the settings are not lost.
std::filesystem::path SettingsFileToWrite(const AppInfo& app);

// Reads RSS, Find, Replace and LastDown, in that order, each with its default.
TSettings ReadSettings(IIniFile& ini, const AppInfo& app);

// Writes all four keys back, changed or not. A file that cannot be written (a
// read-only settings file, say) is not reported: the values of the run are then
// simply not kept.
void WriteSettings(IIniFile& ini, const AppInfo& app, const TSettings& settings);

// "v%d.%d.%d.%d" of a file version.
std::string FormatVersionText(const FileVersion& version);
