#include "StalePartFiles.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kSuffixLength = 6;
const std::string kExtension = ".part";

bool IsSuffixCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

// Removes `path` when it is a regular file nobody holds locked. The file is
// opened without following a link, and locked before it is removed, so a
// transfer that holds it is never disturbed.
void RemoveIfStale(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::unlink(path.c_str());
    }
    ::close(fd);
}

}  // namespace

bool HoldPartFile(int fd) {
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool IsPartFileName(const std::string& name, const std::string& base) {
    const std::size_t length = 1 + base.size() + 1 + kSuffixLength + kExtension.size();
    if (name.size() != length || name[0] != '.' || name.compare(1, base.size(), base) != 0 ||
        name[1 + base.size()] != '.' ||
        name.compare(name.size() - kExtension.size(), kExtension.size(), kExtension) != 0) {
        return false;
    }
    for (std::size_t i = 0; i < kSuffixLength; ++i) {
        if (!IsSuffixCharacter(name[2 + base.size() + i])) {
            return false;
        }
    }
    return true;
}

void RemoveStalePartFiles(const fs::path& folder, const std::string& base) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        return;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            return;
        }
        if (IsPartFileName(it->path().filename().string(), base)) {
            RemoveIfStale(it->path());
        }
    }
}
