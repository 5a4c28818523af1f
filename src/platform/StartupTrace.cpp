#include "StartupTrace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

void StartupMark(const char* step) {
    static const bool enabled = std::getenv("ZURAV3_STARTUP_TRACE") != nullptr;
    if (!enabled) {
        return;
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::fprintf(
        stderr, "startup-mark %s %lld\n", step,
        static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
}
