#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// A small file of the program's own state, read whole and replaced whole.
class StateFile {
public:
    // Larger files are not the program's own and are read as empty.
    static constexpr std::size_t kMaxBytes = std::size_t{8} * 1024 * 1024;

    explicit StateFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& Path() const { return path_; }

    // The file's bytes; empty when it is missing, unreadable or too large.
    std::string Read() const;

    // Replaces the file only once the new text is completely on disk, so a
    // crash or a full disk leaves the old one. False when it could not be
    // written.
    bool Write(std::string_view text) const;

private:
    std::filesystem::path path_;
};
