#pragma once

#include <chrono>
#include <functional>

// Processes Qt events until `condition` holds or `timeout` has passed; true when
// it held. Tests wait for conditions, never for a fixed time.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Processes Qt events for `duration` (to let queued calls arrive).
void PumpEvents(std::chrono::milliseconds duration);

// Runs a local event loop, as a modal dialog does, until `condition` holds
// (checked every few milliseconds; never when empty) or `timeout` has passed;
// true when it held.
bool RunEventLoopUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
