#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The device's modes. A medium that is open but not playing is Stopped (also at
// its end); Paused only after a pause command. NotReady: no medium is open.
enum class MediaMode { NotReady, Stopped, Playing, Recording, Seeking, Paused, Open };

// How a command sent with a notification ended.
enum class NotifyResult { Successful, Superseded, Aborted, Failure };

// An error of the media device; its text is what the user is shown.
class MediaDeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The device could not open a sound output (no sound server, no card, or the
// server went away): nothing can be heard, so the medium is closed rather than
// left "playing" in silence. The text starts with kNoSoundOutput's line.
class SoundOutputError : public MediaDeviceError {
public:
    using MediaDeviceError::MediaDeviceError;
};

inline constexpr const char* kNoDeviceOpen = "No MCI device open";
// The first line of a SoundOutputError's text; the device's reason follows.
inline constexpr const char* kNoSoundOutput = "소리를 출력할 장치를 열 수 없습니다.";

// Why an open failed: the device's message (what Open would have thrown), and
// whether it was that no sound output could be opened (a SoundOutputError).
struct MediaOpenFailure {
    std::string text;
    bool noSoundOutput = false;
};

// The playing rates the player offers, 1.0 being normal.
inline constexpr double kMinPlaybackRate = 0.5;
inline constexpr double kMaxPlaybackRate = 3.0;

// A chapter the medium itself carries: where it starts and its title (UTF-8,
// as the medium holds it).
struct MediaChapter {
    int startMs = 0;
    std::string title;

    bool operator==(const MediaChapter&) const = default;
};

// One media device with at most one medium open. Times are milliseconds.
//
// A command sent with `notify` reports its completion to the notify handler
// later, from the event loop, never before the calling handler has returned. A
// play's notification waits for the end of the medium (Successful) or is cut off
// by the next command sent with a notification (Superseded).
class IMediaDevice {
public:
    using NotifyHandler = std::function<void(NotifyResult)>;

    virtual ~IMediaDevice() = default;

    virtual void SetNotifyHandler(NotifyHandler handler) = 0;

    // Opens a local path or an http/https URL (the scheme in any case), waiting
    // until it is open or has failed (closing what was open before). Throws
    // MediaDeviceError with the device's message on failure (SoundOutputError
    // when no sound output could be opened); the device is then closed.
    // Anything else is refused before what is open is touched.
    virtual void Open(const std::string& element, bool notify) = 0;

    using OpenDone = std::function<void(std::optional<MediaOpenFailure>)>;
    // Starts opening a local path or an http/https URL and returns at once,
    // closing what was open (as Open does; a link that cannot be played is
    // refused with MediaDeviceError before anything is touched). `done` is
    // called once, from the event loop and never before this returns: with
    // nothing when the medium is open (Stopped at its start, as after Open),
    // or with the failure, the device then closed. An open that has not
    // settled within the network time-out fails with the same text Open uses.
    // A later OpenAsync, Open or Close drops a pending open: its `done` is
    // never called. With `notify`, a successful open also sends a Successful
    // notification after `done`, as Open does.
    virtual void OpenAsync(const std::string& element, bool notify, OpenDone done) = 0;
    // True from OpenAsync until its done has been called or it was dropped.
    virtual bool Opening() const = 0;
    // Gets ready for an open soon, without waiting: what the first open needs
    // loads in the background meanwhile. Does nothing once that is done.
    virtual void Prepare() = 0;

    // Closes the medium; does nothing when none is open. A pending open is
    // dropped and its loading stopped, without a notification.
    virtual void Close(bool notify) = 0;

    virtual void SetTimeFormatMilliseconds() = 0;

    // Length of the medium. Throws kNoDeviceOpen when no medium is open.
    virtual int Length() = 0;

    // Current position; 0 when no medium is open.
    virtual int Position() = 0;

    // Current mode; NotReady when no medium is open.
    virtual MediaMode Mode() = 0;

    // Plays from the current position (from the start when at the end). Returns
    // at once. Throws kNoDeviceOpen when no medium is open, as do the three below.
    virtual void Play(bool notify) = 0;
    virtual void Pause(bool notify) = 0;
    virtual void Stop(bool notify) = 0;
    // Moves to `positionMs` (within the length) and returns at once; the
    // position is the target until the device is there.
    virtual void Seek(int positionMs, bool notify) = 0;

    virtual bool IsOpen() const = 0;

    // When the medium went away on its own (the device could not go on with
    // it, say the sound output failed while playing), the device closes it and
    // sends a Failure notification whether or not one was asked for; this is
    // then the device's message. Empty otherwise; the next open clears it.
    virtual std::string FailureText() const = 0;

    // Beyond the commands above, for the player's extras. Both hold for the
    // medium open and for those opened later, and work with none open.
    //
    // The playing rate (1.0 normal), with the pitch kept. Positions and lengths
    // stay in the medium's own time.
    virtual void SetSpeed(double rate) = 0;
    // The output volume in percent, 0 to 100 (100 at the start).
    virtual void SetVolume(int percent) = 0;
    virtual int Volume() = 0;

    // Told, from the event loop, when a quiet passage has lasted a moment
    // (true) and when it ends (false), with where that happened in the
    // medium's time (-1 when unknown: a seek or a new medium ended it).
    using SilenceHandler = std::function<void(bool silent, int atMs)>;
    virtual void SetSilenceHandler(SilenceHandler handler) = 0;
    // Watches for quiet passages while on (off at the start).
    virtual void SetSilenceDetection(bool on) = 0;
    // Multiplies the rate of SetSpeed, 1.0 at the start: quiet passages play
    // faster without changing the rate the listener chose.
    virtual void SetSpeedFactor(double factor) = 0;
    // Evens out the loudness of quiet and loud passages while on.
    virtual void SetLevelling(bool on) = 0;
    // The chapters of the medium open, by their start; empty when it has none.
    virtual std::vector<MediaChapter> Chapters() = 0;
};
