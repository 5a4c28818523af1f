#include "platform/ExitSignals.h"

#include <csignal>
#include <optional>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "Controls.h"
#include "WaitUntil.h"
#include "platform/QtDialogs.h"

namespace {

using namespace std::chrono_literals;

bool HandlerIsDefault(int signal) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

}  // namespace

// A signal closes the window it is given, also when it came before the
// window was set (start-up blocks the event loop for a while); the default
// handlers come back with the object.
TEST(ExitSignalsInProcess, CloseTheWindowAlsoWhenTheSignalCameFirst) {
    QWidget early;
    QWidget late;
    {
        ExitSignals handlers;
        ASSERT_TRUE(handlers.Installed());
        early.show();
        late.show();

        ::raise(SIGHUP);
        PumpEvents(200ms);
        EXPECT_TRUE(early.isVisible());
        handlers.CloseOnSignal(&early);
        EXPECT_TRUE(WaitUntil([&] { return !early.isVisible(); }));

        handlers.CloseOnSignal(&late);
        ::raise(SIGTERM);
        ::raise(SIGINT);
        EXPECT_TRUE(WaitUntil([&] { return !late.isVisible(); }));
    }
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        EXPECT_TRUE(HandlerIsDefault(signal)) << signal;
    }
}

// Once the windows are gone, main shows a fatal error in a box of its own; a
// signal then closes it, so the program ends, also one that came before the
// box. Before, the signal was kept for a window that would never come, and
// the box stayed until someone clicked it.
TEST(ExitSignalsInProcess, CloseTheFatalErrorBoxOnceTheWindowsAreGone) {
    // A box no signal closes is closed here after a while, and the test fails.
    bool leftOpen = false;
    QTimer rescue;
    rescue.setInterval(30s);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            leftOpen = true;
            box->done(QDialog::Rejected);
        }
    });
    rescue.start();
    QtDialogs dialogs;

    for (const bool signalFirst : {false, true}) {
        SCOPED_TRACE(signalFirst ? "signal before the box" : "signal while it is shown");
        ExitSignals handlers;
        ASSERT_TRUE(handlers.Installed());
        {
            QWidget window;
            window.show();
            handlers.CloseOnSignal(&window);
        }
        if (signalFirst) {
            ::raise(SIGHUP);
            PumpEvents(200ms);
        }
        handlers.CloseBoxesOnSignal();
        std::optional<NextModal<QMessageBox>> signalWhileShown;
        if (!signalFirst) {
            signalWhileShown.emplace([](QMessageBox*) { ::raise(SIGTERM); });
        }
        dialogs.ShowError(QStringLiteral("fatal"));
        EXPECT_FALSE(leftOpen);
    }
}
