#include <gtest/gtest.h>

#include "WaitUntil.h"
#include "platform/DesktopNotifier.h"
#include "platform/Services.h"

// What main() builds: the steady clock that the sleep timer counts with, and
// notifications over the session bus.
TEST(ProgramServices, SleepTimerCountsWithTheSteadyClockAndNoticesGoOverDBus) {
    Services services = MakeProgramServices();
    ASSERT_NE(dynamic_cast<SteadyClock*>(services.clock.get()), nullptr);
    EXPECT_NE(dynamic_cast<DBusDesktopNotifier*>(services.notifier.get()), nullptr);
    const std::int64_t start = services.clock->NowMs();
    EXPECT_TRUE(WaitUntil([&] { return services.clock->NowMs() >= start + 20; }));
    EXPECT_GE(services.clock->NowMs(), start);
}
