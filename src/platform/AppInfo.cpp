#include "AppInfo.h"

#include <charconv>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifndef ZURAV3_FILE_VERSION
#define ZURAV3_FILE_VERSION ""
#endif

FileVersion ParseFileVersion(const std::string& text) {
    FileVersion version{0, 0, 0, 0};
    const char* p = text.data();
    const char* end = p + text.size();
    for (std::size_t i = 0; i < version.size() && p < end; ++i) {
        int value = 0;
        const auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc() || value < 0 || value > 0xFFFF) {
            return {0, 0, 0, 0};
        }
        version[i] = value;
        p = next;
        if (p < end) {
            // A dot must be followed by another number.
            if (*p != '.' || i + 1 == version.size() || p + 1 == end) {
                return {0, 0, 0, 0};
            }
            ++p;
        }
    }
    return p == end ? version : FileVersion{0, 0, 0, 0};
}

namespace {

std::filesystem::path LocalPath(const QString& path) {
    return path.isEmpty() ? std::filesystem::path()
                          : std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

AppInfo AppInfo::Current() {
    // The configuration folder is named after the program, not after whatever
    // application and organisation names Qt was given.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QString save = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (save.isEmpty() || !QFileInfo(save).isDir()) {
        save = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    }
    return {
        LocalPath(QCoreApplication::applicationFilePath()), ParseFileVersion(ZURAV3_FILE_VERSION),
        config.isEmpty() ? std::filesystem::path() : LocalPath(config) / "ZURav3", LocalPath(save)};
}

std::string DesktopEntryId() {
    return ZURAV3_APP_ID;
}
