#pragma once

#include <cstdint>

// A steady clock in milliseconds, for what waits for wall time (the sleep
// timer); tests put a clock of their own in its place.
class IClock {
public:
    virtual ~IClock() = default;
    virtual std::int64_t NowMs() = 0;
};

// std::chrono::steady_clock: never jumps when the system time is set.
class SteadyClock final : public IClock {
public:
    std::int64_t NowMs() override;
};
