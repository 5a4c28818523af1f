#include "MprisService.h"

#include <unistd.h>

#include <algorithm>
#include <limits>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>

#include "AppInfo.h"
#include "MprisAdaptors.h"
#include "OutsideText.h"

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr qint64 kUsPerMs = 1000;

// A title or a show's name longer than any control shows is cut, and a link
// longer than any real one is left out: a huge title from a feed must not
// make a reply or signal the bus refuses, which would end the connection.
constexpr int kMaxText = 500;
constexpr int kMaxUrl = 8192;

// a + b, held at the ends of the range instead of overflowing: an offset from a
// remote caller may be anything.
qint64 SaturatingAdd(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    }
    return sum;
}

// Milliseconds as the microseconds of the bus, held at the ends of the range.
qint64 ToUs(qint64 ms) {
    qint64 us = 0;
    if (__builtin_mul_overflow(ms, kUsPerMs, &us)) {
        return ms > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    }
    return us;
}

// The sleep timer's time left changes the metadata once a second, not at
// every look.
qint64 WholeSeconds(qint64 ms) {
    return ms < 0 ? -1 : ms / 1000;
}

}  // namespace

QString MprisStatusText(int status) {
    switch (static_cast<MprisState::Status>(status)) {
        case MprisState::Status::Playing:
            return QStringLiteral("Playing");
        case MprisState::Status::Paused:
            return QStringLiteral("Paused");
        default:
            return QStringLiteral("Stopped");
    }
}

QDBusObjectPath MprisTrackId(const QString& title) {
    if (title.isEmpty()) {
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    }
    // One id per title is enough: the player holds one medium at a time.
    return QDBusObjectPath(QStringLiteral("/org/zurav3/track/") +
                           QString::number(qHash(title), 16));
}

QVariantMap MprisMetadata(const MprisState& state) {
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(MprisTrackId(state.title)));
    if (state.sleepRemainingMs >= 0) {
        metadata.insert(QStringLiteral("zurav3:sleepRemaining"), ToUs(state.sleepRemainingMs));
    }
    if (state.title.isEmpty()) {
        return metadata;
    }
    metadata.insert(QStringLiteral("xesam:title"), CappedText(state.title, kMaxText));
    metadata.insert(QStringLiteral("mpris:length"), ToUs(state.lengthMs));
    // Keys without a value are left out rather than sent empty, and so are
    // links too long to be real (a link cut short would be wrong).
    const std::pair<const char*, const QString*> links[] = {{"xesam:url", &state.url},
                                                            {"mpris:artUrl", &state.artUrl}};
    for (const auto& [key, value] : links) {
        if (!value->isEmpty() && value->size() <= kMaxUrl) {
            metadata.insert(QString::fromLatin1(key), *value);
        }
    }
    if (!state.album.isEmpty()) {
        metadata.insert(QStringLiteral("xesam:album"), CappedText(state.album, kMaxText));
    }
    return metadata;
}

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisRootAdaptor::DesktopEntry() const {
    return QString::fromStdString(DesktopEntryId());
}

void MprisRootAdaptor::Raise() {
    service_->Player().Raise();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), service_(service) {
    setAutoRelaySignals(false);
}

QString MprisPlayerAdaptor::PlaybackStatus() const {
    return MprisStatusText(static_cast<int>(service_->Player().State().status));
}

QVariantMap MprisPlayerAdaptor::Metadata() const {
    const MprisState state = service_->Player().State();
    return MprisMetadata(state);
}

double MprisPlayerAdaptor::Rate() const {
    return service_->Player().State().rate;
}

void MprisPlayerAdaptor::SetRate(double rate) {
    // A rate of 0 asks for a pause; a negative one or no number is not a rate.
    if (rate == 0.0) {
        service_->Player().Pause();
    } else if (rate > 0.0) {
        service_->Player().SetRate(std::clamp(rate, kMinPlaybackRate, kMaxPlaybackRate));
    }
    service_->Refresh();
}

qlonglong MprisPlayerAdaptor::Position() const {
    return ToUs(service_->Player().State().positionMs);
}

bool MprisPlayerAdaptor::CanSeek() const {
    return service_->Player().State().lengthMs > 0;
}

bool MprisPlayerAdaptor::CanGoNext() const {
    return service_->Player().State().hasChapters;
}

void MprisPlayerAdaptor::Next() {
    service_->Player().Next();
    service_->Refresh();
}

void MprisPlayerAdaptor::Previous() {
    service_->Player().Previous();
    service_->Refresh();
}

void MprisPlayerAdaptor::Pause() {
    service_->Player().Pause();
    service_->Refresh();
}

void MprisPlayerAdaptor::PlayPause() {
    service_->Player().PlayPause();
    service_->Refresh();
}

void MprisPlayerAdaptor::Stop() {
    service_->Player().Stop();
    service_->Refresh();
}

void MprisPlayerAdaptor::Play() {
    service_->Player().Play();
    service_->Refresh();
}

void MprisPlayerAdaptor::Seek(qlonglong offsetUs) {
    const MprisState state = service_->Player().State();
    if (state.lengthMs <= 0) {
        return;
    }
    const qint64 target = SaturatingAdd(ToUs(state.positionMs), offsetUs);
    // Past the end would mean the next track, and there is none; before the
    // start means the start.
    if (target > ToUs(state.lengthMs)) {
        return;
    }
    const qint64 targetMs = std::max<qint64>(0, target / kUsPerMs);
    service_->Player().SetPosition(targetMs);
    service_->AnnounceSeek(ToUs(targetMs));
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs) {
    const MprisState state = service_->Player().State();
    if (trackId != MprisTrackId(state.title) || positionUs < 0 ||
        positionUs > ToUs(state.lengthMs) || state.lengthMs <= 0) {
        return;
    }
    service_->Player().SetPosition(positionUs / kUsPerMs);
    service_->AnnounceSeek(positionUs);
}

MprisService::MprisService(IMprisPlayer& player, QDBusConnection connection, QObject* parent)
    : QObject(parent), player_(player), connection_(std::move(connection)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    if (!connection_.isConnected() ||
        !connection_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) {
        return;
    }
    // A second copy of the program takes a name of its own.
    serviceName_ = QStringLiteral("org.mpris.MediaPlayer2.zurav3");
    if (!connection_.registerService(serviceName_)) {
        serviceName_ += QStringLiteral(".instance") + QString::number(::getpid());
        if (!connection_.registerService(serviceName_)) {
            connection_.unregisterObject(kObjectPath);
            serviceName_.clear();
            return;
        }
    }
    registered_ = true;
    last_ = player_.State();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MprisService::Refresh);
    timer->start(500);
}

MprisService::~MprisService() {
    if (registered_) {
        connection_.unregisterService(serviceName_);
        connection_.unregisterObject(kObjectPath);
    }
}

void MprisService::AnnounceSeek(qint64 positionUs) {
    if (!registered_) {
        return;
    }
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, kPlayerInterface, QStringLiteral("Seeked"));
    signal << static_cast<qlonglong>(positionUs);
    connection_.send(signal);
}

void MprisService::Refresh() {
    if (!registered_) {
        return;
    }
    const MprisState now = player_.State();
    QVariantMap changed;
    if (now.status != last_.status) {
        changed.insert(QStringLiteral("PlaybackStatus"),
                       MprisStatusText(static_cast<int>(now.status)));
    }
    if (now.title != last_.title || now.lengthMs != last_.lengthMs || now.url != last_.url ||
        now.album != last_.album || now.artUrl != last_.artUrl ||
        WholeSeconds(now.sleepRemainingMs) != WholeSeconds(last_.sleepRemainingMs)) {
        changed.insert(QStringLiteral("Metadata"), MprisMetadata(now));
        changed.insert(QStringLiteral("CanSeek"), now.lengthMs > 0);
    }
    if (now.rate != last_.rate) {
        changed.insert(QStringLiteral("Rate"), now.rate);
    }
    if (now.hasChapters != last_.hasChapters) {
        changed.insert(QStringLiteral("CanGoNext"), now.hasChapters);
        changed.insert(QStringLiteral("CanGoPrevious"), now.hasChapters);
    }
    last_ = now;
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    connection_.send(signal);
}
