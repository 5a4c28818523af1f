#include "StateFile.h"

#include <cerrno>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// Closes a descriptor once; the result of the close is the caller's to check
// by calling Close() itself.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd_; }
    bool Close() {
        if (fd_ < 0) {
            return true;
        }
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// A name for the temporary file that is not taken yet, created and opened
// for writing: hidden, in the target's folder (so the rename stays on one
// file system), never following a link an attacker may have placed there.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "." + target.filename().string() + ".";
        for (int i = 0; i < 8; ++i) {
            name += kLetters[pick(random)];
        }
        temporary = target.parent_path() / (name + ".tmp");
        // 0666 less the umask, as any new file of the user's.
        const int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

std::string StateFile::Read() const {
    if (path_.empty()) {
        return {};
    }
    // Not through a link: what the program would not write, it does not read
    // either, so what it reads is always what it wrote itself. Non-blocking,
    // so that a FIFO in its place cannot hold the program up.
    Descriptor file(::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::size_t>(status.st_size) > kMaxBytes) {
        return {};
    }
    std::string text(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(file.Get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return {};
        }
        got += static_cast<std::size_t>(n);
    }
    return text;
}

bool StateFile::MayReplace() const {
    if (path_.empty()) {
        return false;
    }
    struct stat status {};
    if (::lstat(path_.c_str(), &status) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(status.st_mode) && (status.st_mode & kWriteBits) != 0 &&
           ::access(path_.c_str(), W_OK) == 0;
}

bool StateFile::Write(std::string_view text) const {
    if (!MayReplace()) {
        return false;
    }
    struct stat old {};
    const bool replacing = ::lstat(path_.c_str(), &old) == 0;

    std::filesystem::path temporary;
    Descriptor file(CreateTemporary(path_, temporary));
    if (file.Get() < 0) {
        return false;
    }
    // Every step is checked: a write only fills the page cache, and a full
    // disk or a quota may say so only at the flush or the close.
    const bool written = (!replacing || ::fchmod(file.Get(), old.st_mode & 0777) == 0) &&
                         WriteAll(file.Get(), text) && ::fsync(file.Get()) == 0 && file.Close();
    if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
        file.Close();
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
