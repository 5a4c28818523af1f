#pragma once

#include <functional>

class IDialogs;

// Runs one event handler. An exception it throws is shown in the error box with
// the application's title, and the rest of that handler does not run; nothing
// crosses into Qt's event loop.
void RunGuarded(IDialogs& dialogs, const std::function<void()>& handler) noexcept;

// A slot that runs `handler` under RunGuarded.
template <typename Handler>
auto Guarded(IDialogs& dialogs, Handler handler) {
    return [&dialogs, handler = std::move(handler)](auto&&...) { RunGuarded(dialogs, handler); };
}
