#include "FileNames.h"

#include <algorithm>

namespace {
constexpr char kSeparator = '/';
}

std::string LinkFileName(const std::string& link) {
    const auto slash = link.rfind('/');
    return slash == std::string::npos ? link : link.substr(slash + 1);
}

std::string PathFileName(const std::string& path) {
    const auto slash = path.rfind(kSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PathFolder(const std::string& path) {
    const auto slash = path.rfind(kSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string PanelFileName(const std::string& date) {
    std::string base = date;
    std::replace(base.begin(), base.end(), '/', '-');
    return "TOV" + base + ".mp3";
}
