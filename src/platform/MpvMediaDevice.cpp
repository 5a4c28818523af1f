#include "MpvMediaDevice.h"

// Placeholder until the libmpv device lands: behaves as a device that can open nothing.
MpvMediaDevice::MpvMediaDevice(const std::string&) {}
MpvMediaDevice::~MpvMediaDevice() = default;
void MpvMediaDevice::SetNotifyHandler(NotifyHandler handler) {
    handler_ = std::move(handler);
}
void MpvMediaDevice::Open(const std::string& element, bool) {
    throw MediaDeviceError("Cannot open " + element);
}
void MpvMediaDevice::Close(bool) {}
void MpvMediaDevice::SetTimeFormatMilliseconds() {}
int MpvMediaDevice::Length() {
    throw MediaDeviceError(kNoDeviceOpen);
}
int MpvMediaDevice::Position() {
    return 0;
}
MediaMode MpvMediaDevice::Mode() {
    return MediaMode::NotReady;
}
void MpvMediaDevice::Play(bool) {
    throw MediaDeviceError(kNoDeviceOpen);
}
void MpvMediaDevice::Pause(bool) {
    throw MediaDeviceError(kNoDeviceOpen);
}
void MpvMediaDevice::Stop(bool) {
    throw MediaDeviceError(kNoDeviceOpen);
}
void MpvMediaDevice::Seek(int, bool) {
    throw MediaDeviceError(kNoDeviceOpen);
}
bool MpvMediaDevice::IsOpen() const {
    return false;
}
