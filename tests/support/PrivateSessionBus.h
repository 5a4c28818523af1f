#pragma once

#include <QProcess>
#include <QString>

// A D-Bus session bus of the test's own (dbus-daemon --session), so that tests
// never touch the desktop's bus.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();

    bool Running() const { return !address_.isEmpty(); }
    const QString& Address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};
