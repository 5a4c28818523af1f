#pragma once

#include <string>

#include "MediaDevice.h"

// IMediaDevice over libmpv. `audioOutput` is mpv's "ao" option ("null" in tests).
class MpvMediaDevice final : public IMediaDevice {
public:
    explicit MpvMediaDevice(const std::string& audioOutput = "auto");
    ~MpvMediaDevice() override;
    MpvMediaDevice(const MpvMediaDevice&) = delete;
    MpvMediaDevice& operator=(const MpvMediaDevice&) = delete;

    void SetNotifyHandler(NotifyHandler handler) override;
    void Open(const std::string& element, bool notify) override;
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

private:
    NotifyHandler handler_;
};
