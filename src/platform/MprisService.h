#pragma once

#include <memory>

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include "MediaDevice.h"

// What the desktop's media controls see of the player.
struct MprisState {
    enum class Status { Stopped, Playing, Paused };
    Status status = Status::Stopped;
    QString title;  // what is loaded; empty when nothing is
    qint64 lengthMs = 0;
    qint64 positionMs = 0;
    double rate = 1.0;
    // The sleep timer's time left before it pauses the player; -1 when off.
    qint64 sleepRemainingMs = -1;
    QString url;     // where it was loaded from, as a URI
    QString album;   // the show's name, for an episode of the feed
    QString artUrl;  // the program's installed icon, as a file URI; empty when not installed
    // Next and Previous go between the chapters of what plays.
    bool hasChapters = false;

    bool operator==(const MprisState&) const = default;
};

// The player as the media controls drive it.
class IMprisPlayer {
public:
    virtual ~IMprisPlayer() = default;
    virtual MprisState State() = 0;
    virtual void PlayPause() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    // Moves to `positionMs`, playing on if the player was playing.
    virtual void SetPosition(qint64 positionMs) = 0;
    virtual void Raise() = 0;
    // Plays at `rate` (within kMinPlaybackRate..kMaxPlaybackRate).
    virtual void SetRate(double /*rate*/) {}
    // The next and the previous chapter, when what plays has chapters.
    virtual void Next() {}
    virtual void Previous() {}
};

class MprisRootAdaptor;
class MprisPlayerAdaptor;

// The MPRIS2 D-Bus service (org.mpris.MediaPlayer2.zurav3): the desktop's
// media keys and controls reach the player through it, and it reports the
// title (with where it came from, the show's name and the program's icon),
// the play state, the length, the position, the rate and the sleep timer's
// time left. Changes are noticed by
// looking at the player twice a second and announced with PropertiesChanged.
class MprisService final : public QObject {
    Q_OBJECT
public:
    MprisService(IMprisPlayer& player, QDBusConnection connection, QObject* parent = nullptr);
    ~MprisService() override;

    // False when there is no session bus or the name could not be taken; the
    // program then runs without media controls.
    bool IsRegistered() const { return registered_; }
    const QString& ServiceName() const { return serviceName_; }

    // Looks at the player now and announces what changed.
    void Refresh();

    IMprisPlayer& Player() { return player_; }
    const MprisState& Last() const { return last_; }
    // Announces a jump of the position (the Seeked signal).
    void AnnounceSeek(qint64 positionUs);

private:
    IMprisPlayer& player_;
    QDBusConnection connection_;
    QString serviceName_;
    bool registered_ = false;
    MprisState last_;
};
