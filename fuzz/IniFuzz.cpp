// Any bytes as a settings file: reading gives values or defaults, values
// written back read back the same, and a NUL byte anywhere costs none of the
// keys after it, through a read and a write.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/SimpleIniFile.h"

namespace {

// What a value looks like after a trip through the file: one line, without
// blanks at its ends.
std::string AsStored(std::string value) {
    for (char& c : value) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    const auto first = value.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = value.find_last_not_of(" \t");
    return value.substr(first, last - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string keys[4][2] = {
        {"TOV", "RSS"}, {"URL", "Find"}, {"URL", "Replace"}, {"OPT", "LastDown"}};

    SimpleIniFile ini;
    ini.OpenText(bytes);
    for (const auto& key : keys) {
        volatile std::size_t length = ini.ReadString(key[0], key[1], "default").size();
        (void)length;
    }

    // The input cut into four values, written over whatever the file held.
    std::string values[4];
    const std::string text(bytes.c_str());  // a value ends at the first NUL
    for (std::size_t i = 0, part = 0; i < text.size(); ++i) {
        if (text[i] == '\x01') {
            part = (part + 1) % 4;
        } else {
            values[part] += text[i];
        }
    }
    for (int i = 0; i < 4; ++i) {
        ini.WriteString(keys[i][0], keys[i][1], values[i]);
    }
    SimpleIniFile back;
    back.OpenText(ini.SaveText());
    for (int i = 0; i < 4; ++i) {
        if (back.ReadString(keys[i][0], keys[i][1], "\x01missing") != AsStored(values[i])) {
            std::abort();
        }
    }

    // The same bytes with a NUL put in where the first byte says and a key
    // after them: the key is read, and still there once the file is written.
    std::string damaged = bytes;
    damaged.insert(size == 0 ? 0 : data[0] % (size + 1), 1, '\0');
    // The "]" line ends a lone "[" the input may close with: the parser would
    // take the next line for that section's name, NUL or not.
    damaged += "\n]\n[Kept]\nkey=after the damage\n";
    SimpleIniFile nul;
    nul.OpenText(damaged);
    if (nul.ReadString("Kept", "key", "") != "after the damage") {
        std::abort();
    }
    for (int i = 0; i < 4; ++i) {
        nul.WriteString(keys[i][0], keys[i][1], values[i]);
    }
    SimpleIniFile written;
    written.OpenText(nul.SaveText());
    if (written.ReadString("Kept", "key", "") != "after the damage") {
        std::abort();
    }
    for (int i = 0; i < 4; ++i) {
        if (written.ReadString(keys[i][0], keys[i][1], "\x01missing") != AsStored(values[i])) {
            std::abort();
        }
    }
    return 0;
}
