#include "LoudnessLeveller.h"

#include "platform/Services.h"

void TLoudnessLeveller::ReadSetting(const std::string& setting) {
    setting_ = setting;
    on_ = setting == "1";
    services_.media->SetLevelling(on_);
}

void TLoudnessLeveller::SetOn(bool on) {
    on_ = on;
    // One character: GCC 12 warns wrongly about assigning a literal here.
    setting_.assign(1, on ? '1' : '0');
    services_.media->SetLevelling(on);
}
