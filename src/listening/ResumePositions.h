#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the listener stopped each episode, by its feed link, so that the play
// menu can offer to go on from there. Holds the most recently stopped links
// only; a stop near the end counts as having finished the episode.
class TResumePositions {
public:
    static constexpr std::size_t kCapacity = 200;
    // A stop closer than this to the end finishes the episode.
    static constexpr int kFinishedMarginMs = 30000;

    struct Entry {
        std::string link;
        int positionMs = 0;
        bool operator==(const Entry&) const = default;
    };

    // Records a stop at `positionMs` of a medium `lengthMs` long (0: length
    // unknown). The link becomes the most recent; the oldest beyond the capacity
    // is dropped. A stop within the margin of the end forgets the link instead;
    // a stop at the start changes nothing (a medium merely opened, or already
    // rewound by a stop, keeps the place it was left at). Links that could not
    // be stored on one line are ignored. True when anything changed.
    bool Remember(const std::string& link, int positionMs, int lengthMs);
    bool Forget(const std::string& link);
    std::optional<int> Find(const std::string& link) const;

    // Most recent first.
    const std::vector<Entry>& Entries() const { return entries_; }

    // One line per entry, "<ms>\t<link>", most recent first; Parse skips lines
    // it cannot read, repeated links and anything past the capacity.
    std::string Serialize() const;
    static TResumePositions Parse(std::string_view text);

private:
    std::vector<Entry> entries_;
};

// True when `text` can be stored as one field of a line: not empty, and no line
// break, tab or NUL inside.
bool IsStorableLine(std::string_view text);
