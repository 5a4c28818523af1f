#pragma once

#include <array>
#include <filesystem>
#include <string>

// The four numbers of a file version, most significant first (7.0.0.36).
using FileVersion = std::array<int, 4>;

// The reverse-DNS id of the program's desktop entry, without ".desktop": the
// name the windows and the media controls give the desktop.
std::string DesktopEntryId();

// Reads "a.b.c.d" (fewer parts are padded with zeros). Anything else, the empty
// text included, gives 0.0.0.0.
FileVersion ParseFileVersion(const std::string& text);

// What the program knows of its own executable: where it lives, which gives the
// settings file's place, and its file version; and two of the user's folders,
// for when the executable's folder cannot be written (an installed program):
// the program's configuration folder, where the settings go, and the folder
// where saved episodes go first. Empty: no such folder.
class AppInfo {
public:
    AppInfo(std::filesystem::path executablePath, FileVersion version,
            std::filesystem::path userConfigFolder = {}, std::filesystem::path userSaveFolder = {})
        : executablePath_(std::move(executablePath)),
          version_(version),
          userConfigFolder_(std::move(userConfigFolder)),
          userSaveFolder_(std::move(userSaveFolder)) {}

    // The running executable, the version compiled into it, the user's
    // configuration folder ($XDG_CONFIG_HOME/ZURav3, or ~/.config/ZURav3) and
    // their download folder (their home when they have none).
    static AppInfo Current();

    const std::filesystem::path& ExecutablePath() const { return executablePath_; }
    const FileVersion& Version() const { return version_; }
    const std::filesystem::path& UserConfigFolder() const { return userConfigFolder_; }
    const std::filesystem::path& UserSaveFolder() const { return userSaveFolder_; }

private:
    std::filesystem::path executablePath_;
    FileVersion version_;
    std::filesystem::path userConfigFolder_;
    std::filesystem::path userSaveFolder_;
};
