#pragma once

#include <array>
#include <filesystem>
#include <string>

// The four numbers of a file version, most significant first (7.0.0.36).
using FileVersion = std::array<int, 4>;

// Reads "a.b.c.d" (fewer parts are padded with zeros). Anything else, the empty
// text included, gives 0.0.0.0.
FileVersion ParseFileVersion(const std::string& text);

// What the program knows of its own executable: where it lives, which gives the
// settings file's place, and its file version; and the user's configuration
// folder for the program, where the settings go when the executable's folder
// cannot be written (empty: no such folder).
class AppInfo {
public:
    AppInfo(std::filesystem::path executablePath, FileVersion version,
            std::filesystem::path userConfigFolder = {})
        : executablePath_(std::move(executablePath)),
          version_(version),
          userConfigFolder_(std::move(userConfigFolder)) {}

    // The running executable, the version compiled into it, and the user's
    // configuration folder ($XDG_CONFIG_HOME/ZURav3, or ~/.config/ZURav3).
    static AppInfo Current();

    const std::filesystem::path& ExecutablePath() const { return executablePath_; }
    const FileVersion& Version() const { return version_; }
    const std::filesystem::path& UserConfigFolder() const { return userConfigFolder_; }

private:
    std::filesystem::path executablePath_;
    FileVersion version_;
    std::filesystem::path userConfigFolder_;
};
