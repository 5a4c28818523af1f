#include "FailureText.h"

#include <algorithm>

std::string FailureText(std::string_view whatFailed, std::string_view subject,
                        std::string_view reason) {
    std::string text;
    text.append(whatFailed).append(": ").append(subject);
    if (!reason.empty()) {
        text.append("\n\n").append(reason);
    }
    return text;
}

std::string FailureLine(std::string_view whatFailed, std::string_view subject,
                        std::string_view reason) {
    std::string line = "ZURav3: ";
    line.append(whatFailed).append(": ").append(subject);
    if (!reason.empty()) {
        line.append(": ").append(reason);
    }
    // One line, whatever a server or a library put into the reason.
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return line;
}
