#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <QLockFile>
#include <QObject>
#include <QTimer>

#include "platform/StateFile.h"

// A state file that several copies of the program may replace: each replaces
// it under a lock file beside it (its name with ".lock" added), after reading
// it again and merging what it holds with its own. The lock is never waited
// for in a handler: while another copy holds it, the write is tried again
// from the event loop, and at the end of the program it is waited for only
// briefly, then written without it (a lost merge is better than a lost
// place). A lock left by a copy that died is taken over after kStaleLock.
class SharedStateFile final : public QObject {
public:
    // Gets the text on disk now (empty when there is none) and returns what
    // should replace it.
    using Merge = std::function<std::string(std::string_view onDisk)>;

    static constexpr std::chrono::milliseconds kRetry{250};
    static constexpr std::chrono::milliseconds kExitWait{250};
    static constexpr std::chrono::milliseconds kStaleLock{5000};

    SharedStateFile();
    ~SharedStateFile() override;
    SharedStateFile(const SharedStateFile&) = delete;
    SharedStateFile& operator=(const SharedStateFile&) = delete;

    void SetPath(std::filesystem::path path);
    const StateFile& File() const { return file_; }
    std::string Read() const { return file_.Read(); }

    // Writes now if the lock is free, else as soon as it is; a write still
    // waiting is replaced by this one.
    void Save(Merge merge);
    // At the end: writes what waits (or `merge`), waiting for the lock at most
    // kExitWait.
    void SaveAtExit(Merge merge);
    bool Waiting() const { return pending_ != nullptr; }

private:
    void TrySave();
    void WriteMerged(const Merge& merge);

    StateFile file_{{}};
    std::unique_ptr<QLockFile> lock_;
    Merge pending_;
    QTimer retry_;
};
