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
    impl_->ini.Reset();
    impl_->path = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (impl_->ini.LoadData(text) < 0) {
        impl_->ini.Reset();
    }
}

std::string SimpleIniFile::ReadString(const std::string& section, const std::string& key,
                                      const std::string& fallback) const {
    const char* value = impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return value != nullptr ? std::string(value) : fallback;
}

void SimpleIniFile::WriteString(const std::string& section, const std::string& key,
                                const std::string& value) {
    impl_->ini.SetValue(section.c_str(), key.c_str(), value.c_str());
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
    std::string text;
    if (impl_->ini.Save(text) < 0) {
        return false;
    }
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
