#pragma once

#include <memory>

#include <QDBusConnection>
#include <QString>

class QObject;

// Notifications on the desktop, for news the user did not ask for just now.
class IDesktopNotifier {
public:
    virtual ~IDesktopNotifier() = default;
    // Shows one notification and returns at once. Without a notification
    // service (or a bus) nothing is shown and nothing is reported.
    virtual void Notify(const QString& summary, const QString& body) = 0;
};

// org.freedesktop.Notifications on a D-Bus connection. The calls do not wait:
// the server's capabilities are asked first, so that a body is escaped for a
// server that reads markup in it (the texts come from the feed), and the
// notification goes out when the answer is in. The summary and each line of
// the body are cut to 150 characters, the body to 500.
class DBusDesktopNotifier final : public IDesktopNotifier {
public:
    explicit DBusDesktopNotifier(QDBusConnection connection);
    ~DBusDesktopNotifier() override;
    DBusDesktopNotifier(const DBusDesktopNotifier&) = delete;
    DBusDesktopNotifier& operator=(const DBusDesktopNotifier&) = delete;

    void Notify(const QString& summary, const QString& body) override;

private:
    void Send(const QString& summary, const QString& body);

    QDBusConnection connection_;
    // Owns the watchers of calls still waiting for their answer.
    std::unique_ptr<QObject> calls_;
};
