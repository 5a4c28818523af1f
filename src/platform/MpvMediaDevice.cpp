#include "MpvMediaDevice.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>

#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <mpv/client.h>

#include "MpvLibrary.h"
#include "WebLink.h"

namespace {

// How long mpv may take to end a medium: after a stop command, or after it
// decoded a medium it has no sound output for. Neither waits for a server.
constexpr std::chrono::milliseconds kUnloadTimeout{5000};

// Quieter than -45 dB for 0.6 s is a pause, not a breath between words. The
// detector runs first, on the medium's own sound.
constexpr int kSilenceMinimumMs = 600;
constexpr const char* kSilenceFilter = "@zurav3silence:lavfi=[silencedetect=noise=-45dB:d=0.6]";
constexpr const char* kSilenceMetadata = "af-metadata/zurav3silence";
// A short window (15 frames of 250 ms) follows a change of speaker within a
// few seconds; the target RMS of -20 dBFS with a -6 dB peak limit brings a
// quiet and a loud passage together with headroom left. Measured against
// loudnorm, which evens out as well but costs more than ten times the
// processor.
constexpr const char* kLevelFilter = "@zurav3level:lavfi=[dynaudnorm=f=250:g=15:p=0.5:m=100:r=0.1]";

// The value under `key` in a map node, null when it has none.
const mpv_node* NodeValue(const mpv_node& map, const char* key) {
    if (map.format != MPV_FORMAT_NODE_MAP) {
        return nullptr;
    }
    for (int i = 0; i < map.u.list->num; ++i) {
        if (std::strcmp(map.u.list->keys[i], key) == 0) {
            return &map.u.list->values[i];
        }
    }
    return nullptr;
}

// A string value of a map node, empty when it has none.
std::string NodeString(const mpv_node& map, const char* key) {
    const mpv_node* value = NodeValue(map, key);
    return value != nullptr && value->format == MPV_FORMAT_STRING ? value->u.string : "";
}

double NodeDouble(const mpv_node& map, const char* key) {
    const mpv_node* value = NodeValue(map, key);
    if (value != nullptr && value->format == MPV_FORMAT_DOUBLE) {
        return value->u.double_;
    }
    if (value != nullptr && value->format == MPV_FORMAT_INT64) {
        return static_cast<double>(value->u.int64);
    }
    return 0.0;
}

double SecondsOf(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    return end != text.c_str() && std::isfinite(seconds) ? seconds : 0.0;
}

// What is handed to mpv: an http/https URL with its scheme in lower case, or a
// local path made absolute, so that mpv never takes it for a protocol of its
// own or for "-" (standard input). Anything with another scheme is refused.
std::optional<std::string> PlayableTarget(const std::string& element) {
    if (element.empty()) {
        return std::nullopt;
    }
    if (element.find("://") != std::string::npos) {
        return NormalizedWebLink(element);
    }
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(element, error);
    if (error) {
        return std::nullopt;
    }
    return path.string();
}

int ToMilliseconds(double seconds) {
    const double ms = std::round(seconds * 1000.0);
    if (!(ms > 0.0)) {
        return 0;
    }
    return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
}

}  // namespace

MpvMediaDevice::MpvMediaDevice(std::string audioOutput, int networkTimeoutSeconds,
                               std::string library)
    : library_(std::move(library)),
      audioOutput_(std::move(audioOutput)),
      pump_(std::make_unique<QObject>()),
      networkTimeoutSeconds_(networkTimeoutSeconds) {
    // Owned by the pump, so that it dies with the queued calls.
    openTimer_ = new QTimer(pump_.get());
    openTimer_->setSingleShot(true);
    openTimer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(openTimer_, &QTimer::timeout, pump_.get(), [this] {
        DrainEvents();
        AdvanceOpen();
        ArmOpenTimer();
    });
}

void MpvMediaDevice::Start() {
    if (mpv_ != nullptr) {
        return;
    }
    initError_.clear();
    // A load begun ahead is finished, or nearly so, by the first open.
    if (preload_.valid()) {
        preload_.get();
    }
    api_ = LoadMpvLibrary(library_, initError_);
    if (api_ == nullptr) {
        return;
    }
    mpv_ = api_->create();
    if (mpv_ == nullptr) {
        initError_ = "The media player could not be started";
        return;
    }
    const std::string timeout = std::to_string(networkTimeoutSeconds_);
    const std::pair<const char*, std::string> options[] = {
        {"config", "no"},
        {"load-scripts", "no"},
        {"osc", "no"},
        {"ytdl", "no"},
        {"load-stats-overlay", "no"},
        {"load-osd-console", "no"},
        {"load-auto-profiles", "no"},
        {"resume-playback", "no"},
        {"access-references", "no"},
        {"load-unsafe-playlists", "no"},
        {"tls-verify", "yes"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"terminal", "no"},
        {"vid", "no"},
        {"vo", "null"},
        {"audio-display", "no"},
        {"sid", "no"},
        {"sub-auto", "no"},
        {"idle", "yes"},
        {"keep-open", "yes"},
        {"pause", "yes"},
        {"network-timeout", timeout},
        // Read about a minute of a 128 kbit/s stream ahead, not the whole
        // episode: less traffic and memory, and a close need not wait for a
        // transfer in full flow. Keep nothing of what has played (mpv would
        // keep up to 50 MiB, most of an hour's episode): a seek back fetches
        // again, and memory stays flat however long the episode.
        {"demuxer-max-bytes", "1MiB"},
        {"demuxer-max-back-bytes", "0"},
        // The link check refuses a link that answers with a redirect; the
        // stream's own requests must not follow one to another host either.
        {"stream-lavf-o", "max_redirects=0"},
        {"audio-client-name", "ZURav3"},
        {"ao", audioOutput_},
    };
    for (const auto& [name, value] : options) {
        // mpv's own choice of output probes the sound servers and cards; no
        // name stands for it ("auto" is not one, and gives silence).
        if (value.empty()) {
            continue;
        }
        const int result = api_->set_option_string(mpv_, name, value.c_str());
        if (result < 0) {
            initError_ = std::string("The media player refused the option ") + name + ": " +
                         api_->error_string(result);
            break;
        }
    }
    if (initError_.empty()) {
        const int result = api_->initialize(mpv_);
        if (result < 0) {
            initError_ =
                std::string("The media player could not be started: ") + api_->error_string(result);
        }
    }
    if (!initError_.empty()) {
        api_->terminate_destroy(mpv_);
        mpv_ = nullptr;
        return;
    }
    api_->observe_property(mpv_, 0, "eof-reached", MPV_FORMAT_FLAG);
    api_->observe_property(mpv_, 0, kSilenceMetadata, MPV_FORMAT_NODE);
    api_->set_wakeup_callback(mpv_, &MpvMediaDevice::Wakeup, this);
    if (speed_ * speedFactor_ != 1.0) {
        ApplySpeed();
    }
    if (levelling_ || silenceDetection_) {
        ApplyFilters(false);
    }
    if (volume_ != 100) {
        ApplyVolume();
    }
}

MpvMediaDevice::~MpvMediaDevice() {
    if (mpv_ != nullptr) {
        // No callback may run once the device is gone; mpv guarantees none is
        // in progress when this returns.
        api_->set_wakeup_callback(mpv_, nullptr, nullptr);
        api_->terminate_destroy(mpv_);
    }
    // Deleting the pump drops the drains and notifications still queued.
    pump_.reset();
}

void MpvMediaDevice::Wakeup(void* device) {
    // Called on one of mpv's threads: only queue the drain onto the UI thread.
    auto* self = static_cast<MpvMediaDevice*>(device);
    QMetaObject::invokeMethod(
        self->pump_.get(), [self] { self->DrainEvents(); }, Qt::QueuedConnection);
}

void MpvMediaDevice::DrainEvents() {
    if (mpv_ == nullptr) {
        return;
    }
    for (;;) {
        const mpv_event* event = api_->wait_event(mpv_, 0);
        if (event->event_id == MPV_EVENT_NONE) {
            return;
        }
        HandleEvent(*event);
    }
}

void MpvMediaDevice::HandleEvent(const mpv_event& event) {
    switch (event.event_id) {
        case MPV_EVENT_FILE_LOADED:
            entryLoaded_ = true;
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            ++restarts_;
            seekPending_ = false;
            break;
        case MPV_EVENT_END_FILE: {
            const auto* end = static_cast<const mpv_event_end_file*>(event.data);
            if (end->playlist_entry_id != entryId_) {
                break;
            }
            entryEnded_ = true;
            entryError_ = end->reason == MPV_END_FILE_REASON_ERROR ? end->error : 0;
            if (state_ != State::Closed) {
                // The medium went away on its own (mpv could not go on with it,
                // say the sound server went away): whoever shows the device's
                // state must hear of it, asked or not.
                state_ = State::Closed;
                seekTarget_.reset();
                seekPending_ = false;
                heldPosition_.reset();
                if (entryError_ != 0) {
                    failure_ = ErrorText(entryError_);
                }
                if (playNotifyPending_ || entryError_ != 0) {
                    playNotifyPending_ = false;
                    Deliver(NotifyResult::Failure);
                }
            }
            break;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto* change = static_cast<const mpv_event_property*>(event.data);
            if (std::strcmp(change->name, kSilenceMetadata) == 0) {
                if (change->format == MPV_FORMAT_NODE) {
                    SilenceMetadataChanged(*static_cast<const mpv_node*>(change->data));
                }
                break;
            }
            if (std::strcmp(change->name, "eof-reached") != 0) {
                break;
            }
            eofSeen_ = change->format == MPV_FORMAT_FLAG && *static_cast<int*>(change->data) != 0;
            if (!eofSeen_) {
                break;
            }
            // keep-open leaves the medium open and paused at its end.
            if (state_ == State::Playing) {
                state_ = State::Stopped;
                if (playNotifyPending_) {
                    playNotifyPending_ = false;
                    Deliver(NotifyResult::Successful);
                }
            }
            break;
        }
        case MPV_EVENT_SHUTDOWN:
            state_ = State::Closed;
            break;
        default:
            break;
    }
    if (OpenUnsettled()) {
        AdvanceOpen();
    }
}

bool MpvMediaDevice::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!done()) {
        const auto left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        const mpv_event* event = api_->wait_event(mpv_, left);
        if (event->event_id != MPV_EVENT_NONE) {
            HandleEvent(*event);
        }
    }
    return true;
}

void MpvMediaDevice::SetNotifyHandler(NotifyHandler handler) {
    handler_ = std::move(handler);
}

void MpvMediaDevice::Deliver(NotifyResult result) {
    // Queued, so it arrives after the handler that sent the command returned.
    QMetaObject::invokeMethod(
        pump_.get(),
        [this, result] {
            if (handler_) {
                const NotifyHandler handler = handler_;
                handler(result);
            }
        },
        Qt::QueuedConnection);
}

void MpvMediaDevice::CutOffPlayNotification(bool byNotifyingCommand) {
    DrainEvents();
    if (playNotifyPending_) {
        playNotifyPending_ = false;
        Deliver(byNotifyingCommand ? NotifyResult::Superseded : NotifyResult::Aborted);
    }
}

void MpvMediaDevice::RequireOpen() const {
    if (state_ == State::Closed) {
        throw MediaDeviceError(kNoDeviceOpen);
    }
}

std::chrono::milliseconds MpvMediaDevice::NetworkTimeout() const {
    return std::chrono::seconds(networkTimeoutSeconds_);
}

void MpvMediaDevice::Unload() {
    state_ = State::Closed;
    seekTarget_.reset();
    seekPending_ = false;
    heldPosition_.reset();
    CutOffSilence();
    if (entryId_ == 0 || mpv_ == nullptr) {
        return;
    }
    if (!entryEnded_) {
        const char* stop[] = {"stop", nullptr};
        if (api_->command(mpv_, stop) >= 0) {
            WaitFor([this] { return entryEnded_; }, kUnloadTimeout);
        }
    }
    entryId_ = 0;
}

void MpvMediaDevice::Open(const std::string& element, bool notify) {
    BeginOpen(element, notify, nullptr);
    // No event loop runs here: mpv's queue is watched directly, with the
    // deadline of each step in place of the timer.
    while (OpenUnsettled()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            openDeadline_ - std::chrono::steady_clock::now());
        WaitFor([this] { return !OpenUnsettled(); }, left);
        AdvanceOpen();
    }
    const std::optional<MediaOpenFailure> failure = CompleteOpen();
    if (failure && failure->noSoundOutput) {
        throw SoundOutputError(failure->text);
    }
    if (failure) {
        throw MediaDeviceError(failure->text);
    }
    if (notify) {
        Deliver(NotifyResult::Successful);
    }
}

void MpvMediaDevice::OpenAsync(const std::string& element, bool notify, OpenDone done) {
    if (!done) {
        // The open is handed over by calling done: one must be there.
        done = [](const std::optional<MediaOpenFailure>&) {};
    }
    BeginOpen(element, notify, std::move(done));
}

bool MpvMediaDevice::Opening() const {
    return openStep_ != OpenStep::None;
}

void MpvMediaDevice::Prepare() {
    // Loading libmpv and the libraries it links takes the dynamic linker a
    // good part of a second on a slow disk: better on another thread while the
    // link is checked or a file is chosen than in the window's handler.
    if (mpv_ != nullptr || preload_.valid()) {
        return;
    }
    preload_ = std::async(std::launch::async, [file = library_] {
        std::string ignored;  // the open reports it
        LoadMpvLibrary(file, ignored);
    });
}

void MpvMediaDevice::BeginOpen(const std::string& element, bool notify, OpenDone done) {
    // A link refused outright leaves what plays playing.
    const std::optional<std::string> target = PlayableTarget(element);
    if (!target) {
        throw MediaDeviceError("Only local files and http or https links can be played: " +
                               element);
    }
    DropOpen();
    CutOffPlayNotification(notify);
    Unload();
    openNotify_ = notify;
    openDone_ = std::move(done);
    element_ = element;
    failure_.clear();
    Start();
    if (mpv_ == nullptr) {
        SettleOpen(MediaOpenFailure{initError_, false});
        return;
    }
    SetPause(true);
    if (silenceDetection_) {
        ApplyFilters(true);
    }

    const char* load[] = {"loadfile", target->c_str(), "replace", nullptr};
    mpv_node result{};
    const int loaded = api_->command_ret(mpv_, load, &result);
    if (loaded < 0) {
        SettleOpen(
            MediaOpenFailure{std::string(api_->error_string(loaded)) + ": " + element, false});
        return;
    }
    std::int64_t id = 0;
    if (const mpv_node* value = NodeValue(result, "playlist_entry_id");
        value != nullptr && value->format == MPV_FORMAT_INT64) {
        id = value->u.int64;
    }
    api_->free_node_contents(&result);
    entryId_ = id;
    eofSeen_ = false;
    entryLoaded_ = false;
    entryEnded_ = false;
    entryError_ = 0;
    openRestarts_ = restarts_;
    openStep_ = OpenStep::Loading;
    openDeadline_ = std::chrono::steady_clock::now() + NetworkTimeout();
    ArmOpenTimer();
}

bool MpvMediaDevice::OpenUnsettled() const {
    return openStep_ == OpenStep::Loading || openStep_ == OpenStep::AwaitingEnd;
}

void MpvMediaDevice::AdvanceOpen() {
    const auto now = std::chrono::steady_clock::now();
    if (openStep_ == OpenStep::Loading) {
        // Past the deadline the medium has not opened in time, even when its
        // failure is only now being read.
        if (!entryLoaded_ && now >= openDeadline_) {
            SettleOpen(MediaOpenFailure{"The medium did not open within " +
                                            std::to_string(networkTimeoutSeconds_) +
                                            " seconds: " + element_,
                                        false});
            return;
        }
        // A broken stream or an unknown format ends the entry.
        if (entryEnded_) {
            SettleOpen(FailureOf(entryError_));
            return;
        }
        // Open means loaded and decoded up to the first audio, so that play
        // starts at once (a medium without any ends up at its end instead);
        // one loaded but still decoding at the deadline is open as well.
        const bool decoded = entryLoaded_ && (restarts_ != openRestarts_ || eofSeen_);
        if (!decoded) {
            if (now >= openDeadline_) {
                SettleOpen(std::nullopt);
            }
            return;
        }
        if (eofSeen_ || !PropertyText("current-ao").empty()) {
            SettleOpen(std::nullopt);
            return;
        }
        // Decoded up to the first audio, but without a sound output: mpv ends
        // the medium a moment later. Silence must not pass for playing.
        openStep_ = OpenStep::AwaitingEnd;
        openDeadline_ = now + kUnloadTimeout;
        ArmOpenTimer();
        return;
    }
    if (openStep_ == OpenStep::AwaitingEnd) {
        if (entryEnded_) {
            SettleOpen(FailureOf(entryError_));
        } else if (now >= openDeadline_) {
            SettleOpen(FailureOf(MPV_ERROR_AO_INIT_FAILED));
        }
    }
}

void MpvMediaDevice::ArmOpenTimer() {
    if (!OpenUnsettled()) {
        return;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        openDeadline_ - std::chrono::steady_clock::now());
    openTimer_->start(std::max(left, std::chrono::milliseconds(0)));
}

void MpvMediaDevice::SettleOpen(std::optional<MediaOpenFailure> failure) {
    // Settled before unloading: the unload handles mpv's events as well.
    openStep_ = OpenStep::Settled;
    openTimer_->stop();
    if (failure) {
        Unload();
    }
    openFailure_ = std::move(failure);
    if (!openDone_) {
        return;  // the blocking Open takes the outcome itself
    }
    // Handed over from the event loop, never inside the caller's handler; a
    // drop in between changes the generation.
    QMetaObject::invokeMethod(
        pump_.get(),
        [this, generation = openGeneration_] {
            if (generation != openGeneration_ || openStep_ != OpenStep::Settled) {
                return;
            }
            const OpenDone done = std::move(openDone_);
            openDone_ = nullptr;
            const std::optional<MediaOpenFailure> outcome = CompleteOpen();
            if (!outcome && openNotify_) {
                Deliver(NotifyResult::Successful);  // queued: arrives after done
            }
            done(outcome);
        },
        Qt::QueuedConnection);
}

std::optional<MediaOpenFailure> MpvMediaDevice::CompleteOpen() {
    openStep_ = OpenStep::None;
    std::optional<MediaOpenFailure> failure = std::move(openFailure_);
    openFailure_.reset();
    if (!failure && entryEnded_) {
        // The medium went away between settling and now.
        failure = FailureOf(entryError_);
        Unload();
    }
    if (!failure) {
        state_ = State::Stopped;
    }
    return failure;
}

void MpvMediaDevice::DropOpen() {
    if (!Opening()) {
        return;
    }
    ++openGeneration_;
    openStep_ = OpenStep::None;
    openDone_ = nullptr;
    openFailure_.reset();
    openTimer_->stop();
}

MediaOpenFailure MpvMediaDevice::FailureOf(int error) const {
    return {ErrorText(error), error == MPV_ERROR_AO_INIT_FAILED};
}

void MpvMediaDevice::Close(bool notify) {
    if (Opening()) {
        DropOpen();
        Unload();
        return;
    }
    if (state_ == State::Closed) {
        return;
    }
    CutOffPlayNotification(notify);
    Unload();
    if (notify) {
        Deliver(NotifyResult::Successful);
    }
}

void MpvMediaDevice::SetTimeFormatMilliseconds() {
    // The device counts in milliseconds only.
}

double MpvMediaDevice::DoubleProperty(const char* name, double fallback) const {
    double value = 0;
    if (mpv_ == nullptr || api_->get_property(mpv_, name, MPV_FORMAT_DOUBLE, &value) < 0) {
        return fallback;
    }
    return value;
}

bool MpvMediaDevice::EofReached() const {
    int flag = 0;
    return mpv_ != nullptr &&
           api_->get_property(mpv_, "eof-reached", MPV_FORMAT_FLAG, &flag) >= 0 && flag != 0;
}

std::string MpvMediaDevice::PropertyText(const std::string& name) const {
    if (mpv_ == nullptr) {
        return {};
    }
    char* text = api_->get_property_string(mpv_, name.c_str());
    if (text == nullptr) {
        return {};
    }
    std::string result(text);
    api_->free(text);
    return result;
}

int MpvMediaDevice::Length() {
    RequireOpen();
    return ToMilliseconds(DoubleProperty("duration", 0.0));
}

int MpvMediaDevice::Position() {
    if (state_ == State::Closed) {
        return 0;
    }
    const int length = Length();
    // At its end the medium stays open; report the length so the bar stays full.
    if (AtEnd()) {
        return length;
    }
    if (heldPosition_ && state_ != State::Playing) {
        return *heldPosition_;
    }
    // Until mpv is there it still reports where it was.
    if (seekPending_ && seekTarget_) {
        return *seekTarget_;
    }
    int position = ToMilliseconds(DoubleProperty("time-pos", 0.0));
    // After a seek mpv reports the place less what its audio output holds
    // until playback moves on; the device is at the target meanwhile. Only
    // playing past it ends that: seeks in a row may each report a restart,
    // and mpv may stand at the target between them and fall short after.
    if (seekTarget_) {
        if (position < *seekTarget_) {
            position = *seekTarget_;
        } else if (state_ == State::Playing) {
            seekTarget_.reset();
        }
    }
    return length > 0 ? std::min(position, length) : position;
}

MediaMode MpvMediaDevice::Mode() {
    switch (state_) {
        case State::Closed:
            return MediaMode::NotReady;
        case State::Stopped:
            return MediaMode::Stopped;
        case State::Paused:
            return MediaMode::Paused;
        case State::Playing:
            return AtEnd() ? MediaMode::Stopped : MediaMode::Playing;
    }
    return MediaMode::NotReady;
}

void MpvMediaDevice::SetPause(bool pause) {
    int flag = pause ? 1 : 0;
    api_->set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag);
}

bool MpvMediaDevice::AtEnd() const {
    // mpv still reports the end until it carries out a seek away from it, and
    // a seek to the end puts the medium there before mpv gets there: a play
    // in between must start over, not run into the end.
    return seekPending_ ? seekToEnd_ : EofReached();
}

void MpvMediaDevice::SendSeek(int positionMs) {
    const int length = Length();
    const int target = std::clamp(positionMs, 0, std::max(length, 0));
    const std::string seconds = std::to_string(target / 1000.0);
    const char* seek[] = {"seek", seconds.c_str(), "absolute+exact", nullptr};
    seekTarget_.reset();
    seekPending_ = false;
    heldPosition_.reset();
    CutOffSilence();
    if (silenceDetection_) {
        ApplyFilters(true);
    }
    // mpv carries the seek out on its own; a stream may first have to fetch
    // from the new offset. Its playback restart (or the medium's end) follows.
    if (api_->command(mpv_, seek) < 0) {
        return;
    }
    seekTarget_ = target;
    seekPending_ = true;
    seekToEnd_ = length > 0 && target >= length;
}

void MpvMediaDevice::Play(bool notify) {
    RequireOpen();
    CutOffPlayNotification(notify);
    if (AtEnd()) {
        SendSeek(0);
    }
    SetPause(false);
    heldPosition_.reset();
    state_ = State::Playing;
    playNotifyPending_ = notify;
}

void MpvMediaDevice::Pause(bool notify) {
    RequireOpen();
    CutOffPlayNotification(notify);
    if (state_ == State::Playing && !AtEnd()) {
        SetPause(true);
        HoldPosition();
        state_ = State::Paused;
    }
    if (notify) {
        Deliver(NotifyResult::Successful);
    }
}

void MpvMediaDevice::Stop(bool notify) {
    RequireOpen();
    CutOffPlayNotification(notify);
    SetPause(true);
    HoldPosition();
    state_ = State::Stopped;
    if (notify) {
        Deliver(NotifyResult::Successful);
    }
}

void MpvMediaDevice::HoldPosition() {
    heldPosition_.reset();
    heldPosition_ = Position();
}

void MpvMediaDevice::Seek(int positionMs, bool notify) {
    RequireOpen();
    CutOffPlayNotification(notify);
    // Like a stop, a seek leaves the device stopped at the new place.
    SetPause(true);
    state_ = State::Stopped;
    SendSeek(positionMs);
    if (notify) {
        Deliver(NotifyResult::Successful);
    }
}

bool MpvMediaDevice::IsOpen() const {
    return state_ != State::Closed;
}

std::string MpvMediaDevice::FailureText() const {
    return failure_;
}

std::string MpvMediaDevice::ErrorText(int error) const {
    std::string reason =
        std::string(error != 0 ? api_->error_string(error) : "Unknown error code") + ": " +
        element_;
    if (error == MPV_ERROR_AO_INIT_FAILED) {
        return std::string(kNoSoundOutput) + "\n\n" + reason;
    }
    return reason;
}

void MpvMediaDevice::SetSpeed(double rate) {
    if (!(rate > 0.0)) {
        return;
    }
    speed_ = rate;
    if (mpv_ != nullptr) {
        ApplySpeed();
    }
}

void MpvMediaDevice::SetVolume(int percent) {
    volume_ = std::clamp(percent, 0, 100);
    if (mpv_ != nullptr) {
        ApplyVolume();
    }
}

int MpvMediaDevice::Volume() {
    return volume_;
}

// Both are kept by the device until mpv runs, so that setting them never
// loads libmpv, and handed to mpv when it starts. mpv keeps the pitch at any
// speed by itself (audio-pitch-correction, on by default).
void MpvMediaDevice::ApplySpeed() {
    double speed = speed_ * speedFactor_;
    api_->set_property(mpv_, "speed", MPV_FORMAT_DOUBLE, &speed);
}

void MpvMediaDevice::ApplyVolume() {
    double volume = volume_;
    api_->set_property(mpv_, "volume", MPV_FORMAT_DOUBLE, &volume);
}

void MpvMediaDevice::SetSilenceHandler(SilenceHandler handler) {
    silenceHandler_ = std::move(handler);
}

void MpvMediaDevice::SetSilenceDetection(bool on) {
    if (on == silenceDetection_) {
        return;
    }
    silenceDetection_ = on;
    CutOffSilence();
    if (mpv_ != nullptr) {
        ApplyFilters(on);
    }
}

void MpvMediaDevice::SetSpeedFactor(double factor) {
    if (!(factor > 0.0) || factor == speedFactor_) {
        return;
    }
    speedFactor_ = factor;
    if (mpv_ != nullptr) {
        ApplySpeed();
    }
}

void MpvMediaDevice::SetLevelling(bool on) {
    if (on == levelling_) {
        return;
    }
    levelling_ = on;
    if (mpv_ != nullptr) {
        ApplyFilters(false);
    }
}

// One change of the whole chain: mpv rebuilds it once, with the sound going
// on from where it was.
void MpvMediaDevice::ApplyFilters(bool restartDetection) {
    std::string chain;
    if (levelling_) {
        chain = kLevelFilter;
    }
    const auto set = [this](const std::string& text) {
        const char* value = text.c_str();
        api_->set_property(mpv_, "af", MPV_FORMAT_STRING, &value);
    };
    if (silenceDetection_) {
        if (restartDetection) {
            // A detector taken out and put back forgets what it reported.
            set(chain);
            silenceStart_.clear();
            silenceEnd_.clear();
        }
        chain =
            chain.empty() ? std::string(kSilenceFilter) : std::string(kSilenceFilter) + "," + chain;
    }
    set(chain);
}

// The detector's metadata keeps the start and the end of the last quiet
// passage; a new value of either is news. Both may have changed between two
// looks: the later one tells where the medium is now.
void MpvMediaDevice::SilenceMetadataChanged(const mpv_node& metadata) {
    const std::string start = NodeString(metadata, "lavfi.silence_start");
    const std::string end = NodeString(metadata, "lavfi.silence_end");
    const bool started = !start.empty() && start != silenceStart_;
    const bool ended = !end.empty() && end != silenceEnd_;
    silenceStart_ = start;
    silenceEnd_ = end;
    if (!silenceDetection_ || (!started && !ended)) {
        return;
    }
    const bool silent = started && (!ended || SecondsOf(start) > SecondsOf(end));
    if (silent == silent_) {
        return;
    }
    silent_ = silent;
    DeliverSilence(silent, silent ? ToMilliseconds(SecondsOf(start)) + kSilenceMinimumMs
                                  : ToMilliseconds(SecondsOf(end)));
}

void MpvMediaDevice::CutOffSilence() {
    if (silent_) {
        silent_ = false;
        DeliverSilence(false, -1);
    }
}

void MpvMediaDevice::DeliverSilence(bool silent, int atMs) {
    // Queued, like the notifications: the change may be seen inside a command.
    QMetaObject::invokeMethod(
        pump_.get(),
        [this, silent, atMs] {
            if (silenceHandler_) {
                const SilenceHandler handler = silenceHandler_;
                handler(silent, atMs);
            }
        },
        Qt::QueuedConnection);
}

std::vector<MediaChapter> MpvMediaDevice::Chapters() {
    std::vector<MediaChapter> chapters;
    if (state_ == State::Closed) {
        return chapters;
    }
    mpv_node list{};
    if (api_->get_property(mpv_, "chapter-list", MPV_FORMAT_NODE, &list) < 0) {
        return chapters;
    }
    if (list.format == MPV_FORMAT_NODE_ARRAY) {
        for (int i = 0; i < list.u.list->num; ++i) {
            const mpv_node& chapter = list.u.list->values[i];
            chapters.push_back(
                {ToMilliseconds(NodeDouble(chapter, "time")), NodeString(chapter, "title")});
        }
    }
    api_->free_node_contents(&list);
    return chapters;
}
