#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "IniFile.h"

// IIniFile over SimpleIni. Texts are kept as the file's bytes (UTF-8 in practice).
class SimpleIniFile final : public IIniFile {
public:
    SimpleIniFile();
    ~SimpleIniFile() override;
    SimpleIniFile(const SimpleIniFile&) = delete;
    SimpleIniFile& operator=(const SimpleIniFile&) = delete;

    void Open(const std::filesystem::path& path) override;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) const override;
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;
    bool Save() override;

    // The document from and to text, as Open and Save read and write it.
    void OpenText(std::string_view text);
    std::string SaveText() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
