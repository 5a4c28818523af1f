#include "StateFile.h"

#include <fstream>
#include <system_error>

#include <QSaveFile>

std::string StateFile::Read() const {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path_, ec);
    if (ec || size > kMaxBytes) {
        return {};
    }
    std::ifstream in(path_, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(text.size()))) {
        return {};
    }
    return text;
}

bool StateFile::Write(std::string_view text) const {
    if (path_.empty()) {
        return false;
    }
    QSaveFile file(QString::fromStdString(path_.string()));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(text.data(), static_cast<qint64>(text.size())) !=
        static_cast<qint64>(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
