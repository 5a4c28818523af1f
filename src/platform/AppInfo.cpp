#include "AppInfo.h"

#include <charconv>

#include <QCoreApplication>
#include <QFile>
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

AppInfo AppInfo::Current() {
    const QByteArray path = QFile::encodeName(QCoreApplication::applicationFilePath());
    return AppInfo(std::filesystem::path(path.toStdString()),
                   ParseFileVersion(ZURAV3_FILE_VERSION));
}
