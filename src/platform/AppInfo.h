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
// settings file's place, and its file version.
class AppInfo {
public:
    AppInfo(std::filesystem::path executablePath, FileVersion version)
        : executablePath_(std::move(executablePath)), version_(version) {}

    // The running executable and the version compiled into it.
    static AppInfo Current();

    const std::filesystem::path& ExecutablePath() const { return executablePath_; }
    const FileVersion& Version() const { return version_; }

private:
    std::filesystem::path executablePath_;
    FileVersion version_;
};
