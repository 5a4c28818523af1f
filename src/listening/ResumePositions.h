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

    // Another copy of the program may have written the file since it was
    // read: its places are taken from `onDisk`, and this copy's own changes
    // since the last merge are made again over them (its newer places win,
    // what it finished or forgot goes). The changes are then cleared.
    void MergeInto(std::string_view onDisk);
    // Changes not merged yet, a finished episode this copy had no place for
    // among them.
    bool HasChanges() const { return !changes_.empty(); }

private:
    // A change made by Remember or Forget: a place, or none for a link forgotten.
    struct Change {
        std::string link;
        std::optional<int> positionMs;
    };

    void Put(const std::string& link, int positionMs);
    bool Erase(const std::string& link);

    std::vector<Entry> entries_;
    std::vector<Change> changes_;
};

// True when `text` can be stored as one field of a line: not empty, and no line
// break, tab or NUL inside.
bool IsStorableLine(std::string_view text);
