#include "Services.h"

#include "CurlHttpClient.h"
#include "CurlUrlDownloader.h"
#include "MpvMediaDevice.h"
#include "QtDialogs.h"
#include "SimpleIniFile.h"

Services MakeProgramServices() {
    Services services;
    services.http = std::make_unique<CurlHttpClient>();
    services.downloader = std::make_unique<CurlUrlDownloader>();
    services.media = std::make_unique<MpvMediaDevice>();
    services.ini = std::make_unique<SimpleIniFile>();
    services.dialogs = std::make_unique<QtDialogs>();
    services.app = AppInfo::Current();
    return services;
}
