#include "SimpleIniFile.h"

#include <fstream>
#include <system_error>

// The texts are stored as they are; no conversion library is linked.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <QSaveFile>

struct SimpleIniFile::Impl {
    CSimpleIniA ini{false, false, false};
    std::filesystem::path path;
};

SimpleIniFile::SimpleIniFile() : impl_(std::make_unique<Impl>()) {}

SimpleIniFile::~SimpleIniFile() = default;

void SimpleIniFile::Open(const std::filesystem::path& path) {
    impl_->path = path;
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    OpenText(text);
}

void SimpleIniFile::OpenText(std::string_view text) {
    impl_->ini.Reset();
    if (impl_->ini.LoadData(text.data(), text.size()) < 0) {
        impl_->ini.Reset();
    }
}

std::string SimpleIniFile::SaveText() const {
    std::string text;
    if (impl_->ini.Save(text) < 0) {
        return {};
    }
    return text;
}

std::string SimpleIniFile::ReadString(const std::string& section, const std::string& key,
                                      const std::string& fallback) const {
    const char* value = impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return value != nullptr ? std::string(value) : fallback;
}

void SimpleIniFile::WriteString(const std::string& section, const std::string& key,
                                const std::string& value) {
    // A value holds one line: a line break inside it would start a new line of
    // the file and could pose as another key when the file is read back.
    std::string line = value;
    for (char& c : line) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    impl_->ini.SetValue(section.c_str(), key.c_str(), line.c_str());
}

bool SimpleIniFile::Save() {
    if (impl_->path.empty()) {
        return false;
    }
    // A settings file without any write permission was made read-only on
    // purpose; keep it as it is even for a user (root) who could write it.
    using std::filesystem::perms;
    constexpr perms kWriteBits = perms::owner_write | perms::group_write | perms::others_write;
    std::error_code ec;
    const auto status = std::filesystem::status(impl_->path, ec);
    if (!ec && std::filesystem::exists(status) &&
        (status.permissions() & kWriteBits) == perms::none) {
        return false;
    }
    const std::string text = SaveText();
    // QSaveFile writes beside the target and renames over it at commit, so a
    // crash or a full disk never leaves a half-written settings file.
    QSaveFile file(QString::fromStdString(impl_->path.string()));
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
