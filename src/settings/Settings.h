#pragma once

#include <filesystem>
#include <optional>
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
    // The playback speed as stored. Empty, and then not written, until the
    // user first chooses a speed other than normal.
    std::string Speed;
    // Whether new episodes are announced on the desktop; unset, and then not
    // written (and off), until the user first chooses.
    std::optional<bool> NewEpisodeNotice;
    // Skip silence and even loudness, "1" or "0"; empty, and then not
    // written, until the user first chooses.
    std::string SkipSilence;
    std::string EvenLoudness;
};

// The settings file of an executable: its path with the extension replaced by
// ".ini", or ".ini" appended when it has none.
std::filesystem::path IniPathFor(const std::filesystem::path& executable);

// The folder of an executable, with a trailing separator.
std::string ExecutableFolder(const std::filesystem::path& executable);

// The settings live beside the executable while its folder can be written (a
// copy run from where it was built or unpacked). Otherwise (an installed
// program) they live in the user's configuration folder; until that copy
// exists, a file beside the executable still gives the first values.
std::filesystem::path SettingsFileToRead(const AppInfo& app);
std::filesystem::path SettingsFileToWrite(const AppInfo& app);

// Where saves start when the settings name no folder: the executable's folder
// when it can be written, otherwise the user's save folder; with a trailing
// separator.
std::string DefaultSaveFolder(const AppInfo& app);

// A file of the program's own state (resume positions, episodes seen) in the
// folder the settings are written to: the settings file's name with
// `extension` in place of ".ini".
std::filesystem::path StateFileBesideSettings(const AppInfo& app, const std::string& extension);

// Reads RSS, Find, Replace and LastDown, in that order, each with its default,
// and the speed and the notice choice when they are stored.
TSettings ReadSettings(IIniFile& ini, const AppInfo& app);

// Writes all four keys back, changed or not, and the speed and the notice
// choice when there are.
// A file that cannot be written (a read-only settings file, say) is not
// reported: the values of the run are then simply not kept.
void WriteSettings(IIniFile& ini, const AppInfo& app, const TSettings& settings);

// "v%d.%d.%d.%d" of a file version.
std::string FormatVersionText(const FileVersion& version);
