#include "RewriteLink.h"

#include <algorithm>

namespace {

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

void RewriteLink(std::string& link, const std::string& findText, const std::string& replaceText) {
    if (findText.empty() || replaceText.empty()) {
        return;
    }
    const auto equalFolded = [](char a, char b) { return Fold(a) == Fold(b); };
    std::string result;
    auto from = link.begin();
    while (true) {
        const auto hit =
            std::search(from, link.end(), findText.begin(), findText.end(), equalFolded);
        result.append(from, hit);
        if (hit == link.end()) {
            break;
        }
        result += replaceText;
        from = hit + static_cast<std::ptrdiff_t>(findText.size());
    }
    link = std::move(result);
}
