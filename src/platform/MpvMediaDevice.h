#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MediaDevice.h"

class QObject;
class QTimer;
struct MpvLibrary;
struct mpv_handle;
struct mpv_event;
struct mpv_node;

// IMediaDevice over libmpv, for the UI thread. mpv plays links taken from a
// feed nobody here controls, so it runs locked down: no user configuration, no
// scripts, no ytdl hook, no references followed from inside a medium, no input
// bindings, no terminal, no video, a network time-out, and only local paths and
// http/https URLs are handed to it.
//
// mpv's events reach the UI thread through a queued call. An open started by
// OpenAsync and a seek go on from there (and from a timer for the open's
// time-out), so a slow server never holds the window. The commands that must
// wait (the blocking Open, a close) wait on mpv's own event queue instead, so
// no other handler runs in the middle of them. libmpv is loaded and its player
// started on the first open, so that a device costs nothing until something
// plays; a library that cannot be loaded is that open's error. Build it after
// the QApplication, with LC_NUMERIC set to "C" as libmpv requires.
class MpvMediaDevice final : public IMediaDevice {
public:
    // `audioOutput` is mpv's "ao" option ("null" in tests); empty leaves mpv's
    // own choice, which tries PipeWire, PulseAudio, ALSA and others in turn.
    // An open waits at most `networkTimeoutSeconds`, which is also mpv's own
    // network time-out. `library` is the libmpv file to load.
    explicit MpvMediaDevice(std::string audioOutput = {}, int networkTimeoutSeconds = 15,
                            std::string library = "libmpv.so.2");
    ~MpvMediaDevice() override;
    MpvMediaDevice(const MpvMediaDevice&) = delete;
    MpvMediaDevice& operator=(const MpvMediaDevice&) = delete;

    void SetNotifyHandler(NotifyHandler handler) override;
    void Open(const std::string& element, bool notify) override;
    void OpenAsync(const std::string& element, bool notify, OpenDone done) override;
    bool Opening() const override;
    void Prepare() override;
    void Close(bool notify) override;
    void SetTimeFormatMilliseconds() override;
    int Length() override;
    int Position() override;
    MediaMode Mode() override;
    void Play(bool notify) override;
    void Pause(bool notify) override;
    void Stop(bool notify) override;
    void Seek(int positionMs, bool notify) override;
    bool IsOpen() const override;
    std::string FailureText() const override;
    void SetSpeed(double rate) override;
    void SetVolume(int percent) override;
    int Volume() override;
    void SetSilenceHandler(SilenceHandler handler) override;
    void SetSilenceDetection(bool on) override;
    void SetSpeedFactor(double factor) override;
    void SetLevelling(bool on) override;
    std::vector<MediaChapter> Chapters() override;

    // An mpv property as text, empty when it has no value or nothing has been
    // opened yet: for diagnostics, tests and benchmarks.
    std::string PropertyText(const std::string& name) const;

private:
    // What the device is doing with its medium; mpv itself only knows "pause".
    enum class State { Closed, Stopped, Playing, Paused };
    // Where an open stands: waiting for the medium to load and decode, then,
    // when it decoded without a sound output, for mpv to end it; Settled once
    // the outcome is known and until it has been handed over.
    enum class OpenStep { None, Loading, AwaitingEnd, Settled };

    // Loads libmpv and starts the player unless that has been done; on
    // failure the reason is left in initError_.
    void Start();
    void ApplySpeed();
    void ApplyVolume();
    // Hands mpv the audio filters that are on. `restartDetection` starts the
    // silence detector afresh, so that it reports a passage it has reported
    // before (after a seek back, or in a new medium).
    void ApplyFilters(bool restartDetection);
    void SilenceMetadataChanged(const mpv_node& metadata);
    void DeliverSilence(bool silent, int atMs);
    // A quiet passage being played fast ends without being heard to its end.
    void CutOffSilence();
    static void Wakeup(void* device);
    void DrainEvents();
    void HandleEvent(const mpv_event& event);
    // Handles mpv's events until `done` holds or `timeout` has passed.
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // Closes what was open and hands mpv the new medium; the outcome is
    // settled later from mpv's events or the time-out.
    void BeginOpen(const std::string& element, bool notify, OpenDone done);
    bool OpenUnsettled() const;
    // Settles the open when mpv's events or the time-out decide it.
    void AdvanceOpen();
    void ArmOpenTimer();
    void SettleOpen(std::optional<MediaOpenFailure> failure);
    // Ends a settled open: the device is then open, or closed with the failure.
    std::optional<MediaOpenFailure> CompleteOpen();
    // Forgets a pending open, so that its done is never called.
    void DropOpen();
    MediaOpenFailure FailureOf(int error) const;

    void RequireOpen() const;
    // A pending play notification is cut off by the next command: superseded
    // when that command asks for a notification itself, aborted otherwise.
    void CutOffPlayNotification(bool byNotifyingCommand);
    void Deliver(NotifyResult result);
    void Unload();
    void SetPause(bool pause);
    void SendSeek(int positionMs);
    void HoldPosition();
    bool EofReached() const;
    // At the end of the medium, and not moving away from it by a seek.
    bool AtEnd() const;
    std::string ErrorText(int error) const;
    double DoubleProperty(const char* name, double fallback) const;
    std::chrono::milliseconds NetworkTimeout() const;

    std::string library_;
    std::string audioOutput_;
    const MpvLibrary* api_ = nullptr;
    mpv_handle* mpv_ = nullptr;
    std::string initError_;
    std::unique_ptr<QObject> pump_;
    // libmpv being loaded on another thread ahead of the first open.
    std::future<void> preload_;
    NotifyHandler handler_;
    int networkTimeoutSeconds_;

    State state_ = State::Closed;
    bool playNotifyPending_ = false;

    // The open under way: its step, what it reports to, and when it gives up.
    // A dropped open's queued completion sees another generation and stays
    // silent.
    OpenStep openStep_ = OpenStep::None;
    bool openNotify_ = false;
    OpenDone openDone_;
    std::optional<MediaOpenFailure> openFailure_;
    std::uint64_t openGeneration_ = 0;
    std::uint64_t openRestarts_ = 0;
    std::chrono::steady_clock::time_point openDeadline_;
    QTimer* openTimer_ = nullptr;

    // The playlist entry of the medium being opened or open, and what mpv has
    // reported about it so far.
    std::string element_;
    std::string failure_;
    std::int64_t entryId_ = 0;
    bool entryLoaded_ = false;
    bool entryEnded_ = false;
    int entryError_ = 0;
    std::uint64_t restarts_ = 0;
    bool eofSeen_ = false;
    // Where the last seek went, until playback has moved past it.
    std::optional<int> seekTarget_;
    // A seek has been sent and mpv has not yet reported playback from there.
    bool seekPending_ = false;
    // That pending seek goes to the medium's end, where mpv will stop.
    bool seekToEnd_ = false;
    // Where a pause or a stop left the medium: mpv may still move its clock by
    // a millisecond after pausing, but a paused device stands still.
    std::optional<int> heldPosition_;

    // What SetSpeed and SetVolume asked for, also before mpv runs.
    double speed_ = 1.0;
    int volume_ = 100;
    double speedFactor_ = 1.0;
    bool levelling_ = false;
    bool silenceDetection_ = false;
    SilenceHandler silenceHandler_;
    // The detector's last reported start and end of a quiet passage, as it
    // writes them, and whether one is going on.
    std::string silenceStart_;
    std::string silenceEnd_;
    bool silent_ = false;
};
