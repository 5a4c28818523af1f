#pragma once

#include <filesystem>
#include <string>

// A settings file in INI syntax: "[section]" lines, then "key=value" lines.
class IIniFile {
public:
    virtual ~IIniFile() = default;

    // Reads the file at `path`, replacing what was read before. A missing or
    // unreadable file gives an empty document (every read answers its default);
    // an unreadable one is then never replaced by Save. Stray NUL bytes do not
    // end the reading: the lines around them are read.
    virtual void Open(const std::filesystem::path& path) = 0;

    // The value of `key` in `section`, or `fallback` when either is missing.
    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& fallback) const = 0;

    // Sets `key` in `section`, creating both when missing; kept in memory until
    // Save. A value is one line: line breaks in it are stored as blanks.
    virtual void WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;

    // Writes the document back to the file last opened, replacing it whole only
    // once the new text is completely on disk. A file that held NUL bytes is
    // first kept aside as "<name>.bak" (".bak.2", ... when an older one differs),
    // since what the reading skipped may matter. A symbolic link is followed
    // only when both it and the file it names belong to the user running the
    // program; the link stays and its file is replaced. False, with the file
    // as it was, when it could not be written, kept aside, or read when opened,
    // when it is read-only, or when it is a link that is not followed.
    virtual bool Save() = 0;
};
