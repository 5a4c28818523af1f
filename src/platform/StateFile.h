#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// A small file of the program's own state, read whole and replaced whole.
//
// The program never writes its state through a symbolic link (the link's
// target may be anyone's file) nor over a file that has been made read-only,
// and never reads it from anything but a plain file (a link, a FIFO, a
// device).
class StateFile {
public:
    // Larger files are not the program's own and are read as empty.
    static constexpr std::size_t kMaxBytes = std::size_t{8} * 1024 * 1024;

    explicit StateFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& Path() const { return path_; }

    // The file's bytes; empty when it is missing, unreadable, too large, or
    // not a plain file of its own (a symbolic link, say).
    std::string Read() const;

    // True when Write may replace what is at the path: nothing, or a plain
    // file (not a symbolic link) that has a write permission bit and that this
    // process may write. A file without one was made read-only on purpose,
    // and is kept even from a user (root) who could write it anyway.
    bool MayReplace() const;

    // Replaces the file only once the whole new text is on disk (written to
    // a temporary file beside it, flushed, then renamed over it), so a crash,
    // a full disk or a size limit leaves the old one as it was. The new file
    // keeps the old one's permissions. False, with nothing changed, when it
    // could not be written or MayReplace() is false.
    bool Write(std::string_view text) const;

private:
    std::filesystem::path path_;
};
