#pragma once

#include <string>

// A listening option the user turns on or off: "1" or "0" in the settings
// file, and nothing there until the user first chooses.
class TOnOffChoice {
public:
    // As the settings file holds it; empty until chosen.
    void Read(const std::string& setting) {
        setting_ = setting;
        on_ = setting == "1";
    }
    void Set(bool on) {
        on_ = on;
        // One character: GCC 12 warns wrongly about assigning a literal here.
        setting_.assign(1, on ? '1' : '0');
    }
    const std::string& Setting() const { return setting_; }
    bool On() const { return on_; }

private:
    bool on_ = false;
    std::string setting_;
};
