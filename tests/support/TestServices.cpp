#include "TestServices.h"

#include "TestFiles.h"
#include "platform/CurlUrlDownloader.h"
#include "platform/MpvMediaDevice.h"
#include "platform/SimpleIniFile.h"

TestServices::TestServices(const CurlHttpClient::Options& http) {
    auto dialogs = std::make_unique<ScriptedDialogs>();
    dialogs_ = dialogs.get();
    services_.dialogs = std::move(dialogs);
    services_.http = std::make_unique<CurlHttpClient>(http);
    // Short waits before the tries again: a test of a failing save need not
    // sit through the program's seconds (test_program_services does).
    CurlUrlDownloader::Options transfer;
    transfer.retryDelays = {std::chrono::milliseconds(20), std::chrono::milliseconds(40),
                            std::chrono::milliseconds(80)};
    services_.downloader = std::make_unique<CurlUrlDownloader>(transfer);
    services_.media = std::make_unique<MpvMediaDevice>("null");
    services_.ini = std::make_unique<SimpleIniFile>();
    // Never the user's own configuration folder.
    services_.app = AppInfo(Folder() / "ZURav3", {3, 0, 0, 0}, Folder() / "config");
}

std::filesystem::path TestServices::Folder() const {
    return std::filesystem::path(dir_.path().toStdString());
}

std::filesystem::path TestServices::IniPath() const {
    return Folder() / "ZURav3.ini";
}

void TestServices::WriteIni(const std::string& text) const {
    WriteFileBytes(IniPath(), text);
}

std::string TestServices::ReadIni() const {
    return ReadFileBytes(IniPath());
}

CurlHttpClient::Options TestServices::ShortTimeouts() {
    CurlHttpClient::Options options;
    options.connectTimeoutSeconds = 5;
    options.lowSpeedSeconds = 3;
    options.totalTimeoutSeconds = 60;
    return options;
}
