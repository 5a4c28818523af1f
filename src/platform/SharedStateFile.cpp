#include "SharedStateFile.h"

#include <exception>
#include <utility>

#include <QString>

SharedStateFile::SharedStateFile() {
    retry_.setSingleShot(true);
    retry_.setInterval(kRetry);
    connect(&retry_, &QTimer::timeout, this, [this] {
        // From the event loop: a write that fails for want of memory is lost
        // like one that fails on the disk.
        try {
            TrySave();
        } catch (const std::exception&) {
            pending_ = nullptr;
            if (lock_->isLocked()) {
                lock_->unlock();
            }
        }
    });
}

SharedStateFile::~SharedStateFile() = default;

void SharedStateFile::SetPath(std::filesystem::path path) {
    file_ = StateFile(std::move(path));
    std::filesystem::path lockPath = file_.Path();
    lockPath += ".lock";
    lock_ = std::make_unique<QLockFile>(QString::fromStdString(lockPath.string()));
    lock_->setStaleLockTime(static_cast<int>(kStaleLock.count()));
}

void SharedStateFile::Save(Merge merge) {
    pending_ = std::move(merge);
    TrySave();
}

void SharedStateFile::TrySave() {
    if (!pending_ || !lock_) {
        return;
    }
    const bool locked = lock_->tryLock(0);
    if (!locked && lock_->error() == QLockFile::LockFailedError) {
        retry_.start();  // another copy holds it
        return;
    }
    // A lock file that cannot be made (a folder that cannot be written, say)
    // is not waited for: the write meets the same fault and is left undone.
    const Merge merge = std::exchange(pending_, nullptr);
    WriteMerged(merge);
    if (locked) {
        lock_->unlock();
    }
}

void SharedStateFile::SaveAtExit(Merge merge) {
    retry_.stop();
    if (merge) {
        pending_ = std::move(merge);
    }
    if (!pending_ || !lock_) {
        return;
    }
    const Merge ready = std::exchange(pending_, nullptr);
    const bool locked = lock_->tryLock(static_cast<int>(kExitWait.count()));
    WriteMerged(ready);
    if (locked) {
        lock_->unlock();
    }
}

// A file that cannot be written is not reported, like the settings.
void SharedStateFile::WriteMerged(const Merge& merge) {
    file_.Write(merge(file_.Read()));
}
