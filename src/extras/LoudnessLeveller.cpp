#include "LoudnessLeveller.h"

#include "platform/Services.h"

void TLoudnessLeveller::ReadSetting(const std::string& setting) {
    choice_.Read(setting);
    services_.media->SetLevelling(choice_.On());
}

void TLoudnessLeveller::SetOn(bool on) {
    choice_.Set(on);
    services_.media->SetLevelling(on);
}
