#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A PulseAudio server of the test's own, playing into a null sink (nothing is
// heard), reached only through its socket in a private folder, so that tests
// never touch the desktop's sound. Use() points this process's sound clients at
// it; Stop() makes it go away as a crashed or ended sound server would.
class PrivateSoundServer {
public:
    PrivateSoundServer();
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    bool Running() const { return !address_.isEmpty(); }
    // The server's address as clients take it in PULSE_SERVER: unix:<socket>.
    const QString& Address() const { return address_; }

    // Sets PULSE_SERVER to this server, and XDG_RUNTIME_DIR to a private folder
    // so that no PipeWire server of the desktop is found first.
    void Use() const;
    // Points the sound clients at a socket where no server listens.
    static void UseNoServer(const QTemporaryDir& folder);

    // The names of the clients whose streams reach the null sink.
    QString PlayingClients() const;

    void Stop();

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};
