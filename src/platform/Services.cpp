#include "Services.h"

#include <QDBusConnection>

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
    services.clock = std::make_unique<SteadyClock>();
    services.notifier = std::make_unique<DBusDesktopNotifier>(QDBusConnection::sessionBus());
    services.app = AppInfo::Current();
    return services;
}
