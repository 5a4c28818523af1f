#include <clocale>
#include <exception>
#include <optional>

#include <QApplication>
#include <QDBusConnection>
#include <QTimer>

#include "Ubrowser/WebEngineSetup.h"
#include "Ubrowser/frmBrowser.h"
#include "Udlgrss/frmRSS.h"
#include "Udownload/frmDownload.h"
#include "Umain/frmMain.h"
#include "extras/MainMpris.h"
#include "extras/PlayerExtras.h"
#include "platform/AppInfo.h"
#include "platform/ExitSignals.h"
#include "platform/MprisService.h"
#include "platform/ProgramFonts.h"
#include "platform/ProgramIcon.h"
#include "platform/QtTranslations.h"
#include "platform/Services.h"
#include "platform/StartupTrace.h"

int main(int argc, char* argv[]) {
    StartupMark("main");
    PrepareWebEngine();
    QApplication app(argc, argv);
    StartupMark("application");
    // libmpv needs the C locale for numbers.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("ZURav3"));
    // Ties the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromStdString(DesktopEntryId()));
    QApplication::setWindowIcon(ProgramIcon());
    ApplyProgramFonts();
    StartupMark("fonts");
    InstallQtTranslations(app);
    // From here on a termination signal waits for the event loop, then ends
    // the program as the close box does.
    ExitSignals exitSignals;

    Services services = MakeProgramServices();
    StartupMark("services");
    std::optional<QString> fatal;
    try {
        // Created in this order; the main window's constructor loads the feed
        // before the other windows exist. Destroyed in reverse, the main window
        // last, which writes the settings.
        TfrmMain main(services);
        StartupMark("main-window");
        TfrmRSS rss(services);
        TfrmDownload download(services);
        TfrmBrowser browser;
        StartupMark("other-windows");
        // The desktop's media keys and controls; without a session bus the
        // program simply runs without them.
        TMainWindowMpris player(main, main.Extras().SpeedAndSleep(), services);
        player.SetChapters(&main.Extras().Chapters());
        MprisService mpris(player, QDBusConnection::sessionBus());
        exitSignals.CloseOnSignal(&main);
        StartupMark("media-controls");
        main.show();
        StartupMark("shown");
        QTimer::singleShot(0, [] { StartupMark("event-loop"); });
        QApplication::exec();
    } catch (const std::exception& e) {
        fatal = QString::fromUtf8(e.what());
    } catch (...) {
        fatal = QString();
    }
    if (fatal) {
        // The windows are gone: a termination signal now closes the box.
        exitSignals.CloseBoxesOnSignal();
        services.dialogs->ShowError(*fatal);
    }
    return 0;
}
