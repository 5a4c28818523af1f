#pragma once

#include <vector>

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A desktop's notification server (org.freedesktop.Notifications) on a bus of
// the test's own, on a connection of its own: it records what it is asked to
// show and reports the capabilities it was given.
class NotificationStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown {
        QString app;
        QString icon;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    NotificationStandIn(const QString& busAddress, QStringList capabilities);
    ~NotificationStandIn() override;

    // Registered under the service's name.
    bool Ready() const { return ready_; }
    const std::vector<Shown>& Notifications() const { return shown_; }

public slots:
    QStringList GetCapabilities();
    uint Notify(const QString& app, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeoutMs);
    void CloseNotification(uint) {}

private:
    QDBusConnection connection_;
    QStringList capabilities_;
    bool ready_ = false;
    std::vector<Shown> shown_;
};
