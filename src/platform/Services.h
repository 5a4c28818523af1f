#pragma once

#include <memory>

#include "AppInfo.h"
#include "Clock.h"
#include "DesktopNotifier.h"
#include "Dialogs.h"
#include "HttpClient.h"
#include "IniFile.h"
#include "MediaDevice.h"
#include "UrlDownloader.h"

// The platform services the windows use, owned in one place: the program fills
// it with the real ones, a test with the real ones and scripted dialogs.
struct Services {
    std::unique_ptr<IHttpClient> http;
    std::unique_ptr<IUrlDownloader> downloader;
    std::unique_ptr<IMediaDevice> media;
    std::unique_ptr<IIniFile> ini;
    std::unique_ptr<IDialogs> dialogs;
    // The steady clock of the sleep timer.
    std::unique_ptr<IClock> clock = std::make_unique<SteadyClock>();
    // Desktop notifications; none means none are sent.
    std::unique_ptr<IDesktopNotifier> notifier;
    AppInfo app{{}, {0, 0, 0, 0}};
};

// The real services of the running program.
Services MakeProgramServices();
