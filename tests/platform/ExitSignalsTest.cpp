#include "platform/ExitSignals.h"

#include <csignal>

#include <gtest/gtest.h>

#include "WaitUntil.h"

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
