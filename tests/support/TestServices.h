#pragma once

#include <filesystem>
#include <string>

#include <QTemporaryDir>

#include "platform/CurlHttpClient.h"
#include "ScriptedDialogs.h"
#include "platform/Services.h"

// The services a window test builds its windows with: the real HTTP client,
// transfer (with short waits before its tries again), media device (null
// audio output) and INI file, with scripted
// dialogs, and an executable path inside a fresh temporary folder so that the
// settings file lives there.
class TestServices {
public:
    explicit TestServices(const CurlHttpClient::Options& http = ShortTimeouts());

    Services& Get() { return services_; }
    ScriptedDialogs& Dialogs() { return *dialogs_; }

    std::filesystem::path Folder() const;
    std::filesystem::path IniPath() const;

    // Writes a settings file with the feed URL (other keys left out).
    void WriteIni(const std::string& text) const;
    std::string ReadIni() const;

    static CurlHttpClient::Options ShortTimeouts();

private:
    QTemporaryDir dir_;
    Services services_;
    ScriptedDialogs* dialogs_ = nullptr;
};
