#include "ResumePositions.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>
#include <utility>

namespace {

bool Finished(int positionMs, int lengthMs) {
    return lengthMs > 0 && positionMs >= lengthMs - TResumePositions::kFinishedMarginMs;
}

}  // namespace

bool IsStorableLine(std::string_view text) {
    return !text.empty() && text.find_first_of(std::string_view("\r\n\t\0", 4)) == text.npos;
}

bool TResumePositions::Remember(const std::string& link, int positionMs, int lengthMs) {
    if (!IsStorableLine(link)) {
        return false;
    }
    if (Finished(positionMs, lengthMs)) {
        // Noted even when this copy had no place for it: another copy may have.
        changes_.push_back({link, std::nullopt});
        return Erase(link);
    }
    if (positionMs <= 0) {
        return false;
    }
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& e) { return e.link == link; });
    if (found != entries_.end() && found == entries_.begin() && found->positionMs == positionMs) {
        return false;
    }
    Put(link, positionMs);
    changes_.push_back({link, positionMs});
    return true;
}

void TResumePositions::Put(const std::string& link, int positionMs) {
    Erase(link);
    entries_.insert(entries_.begin(), Entry{link, positionMs});
    if (entries_.size() > kCapacity) {
        entries_.resize(kCapacity);
    }
}

bool TResumePositions::Forget(const std::string& link) {
    if (!Erase(link)) {
        return false;
    }
    changes_.push_back({link, std::nullopt});
    return true;
}

bool TResumePositions::Erase(const std::string& link) {
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& e) { return e.link == link; });
    if (found == entries_.end()) {
        return false;
    }
    entries_.erase(found);
    return true;
}

void TResumePositions::MergeInto(std::string_view onDisk) {
    TResumePositions merged = Parse(onDisk);
    for (const Change& change : changes_) {
        if (change.positionMs) {
            merged.Put(change.link, *change.positionMs);
        } else {
            merged.Erase(change.link);
        }
    }
    entries_ = std::move(merged.entries_);
    changes_.clear();
}

std::optional<int> TResumePositions::Find(const std::string& link) const {
    for (const Entry& entry : entries_) {
        if (entry.link == link) {
            return entry.positionMs;
        }
    }
    return std::nullopt;
}

std::string TResumePositions::Serialize() const {
    std::string text;
    for (const Entry& entry : entries_) {
        text += std::to_string(entry.positionMs);
        text += '\t';
        text += entry.link;
        text += '\n';
    }
    return text;
}

TResumePositions TResumePositions::Parse(std::string_view text) {
    TResumePositions positions;
    // Links already taken, by views into the text: a file at the size cap of
    // lines that repeat the same links is read in one pass.
    std::unordered_set<std::string_view> taken;
    while (!text.empty() && positions.entries_.size() < kCapacity) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t tab = line.find('\t');
        if (tab == line.npos) {
            continue;
        }
        int position = 0;
        const std::string_view number = line.substr(0, tab);
        const auto [next, error] =
            std::from_chars(number.data(), number.data() + number.size(), position);
        const std::string_view link = line.substr(tab + 1);
        if (error != std::errc() || next != number.data() + number.size() || position <= 0 ||
            !IsStorableLine(link) || !taken.insert(link).second) {
            continue;
        }
        positions.entries_.push_back({std::string(link), position});
    }
    return positions;
}
