#include "HandlerGuard.h"

#include <exception>

#include <QString>

#include "platform/Dialogs.h"

void RunGuarded(IDialogs& dialogs, const std::function<void()>& handler) noexcept {
    QString message;
    try {
        handler();
        return;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    try {
        dialogs.ShowError(message);
    } catch (...) {
        // Showing the error failed too; there is nobody left to tell.
    }
}
