#include "SimpleIniFile.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The texts are stored as they are; no conversion library is linked.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include "StateFile.h"

namespace fs = std::filesystem;

namespace {

enum class ReadOutcome { Whole, Missing, Failed };

// The whole file into `text`; Failed when it exists but could not be read to
// its end (no permission, a folder, an I/O error).
ReadOutcome ReadWholeFile(const fs::path& path, std::string& text) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
    }
    char buffer[64 * 1024];
    ReadOutcome outcome = ReadOutcome::Whole;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            outcome = ReadOutcome::Failed;
            break;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return outcome;
}

// Writes `bytes` to `path` whole or not at all.
bool WriteWholeFile(const fs::path& path, const std::string& bytes) {
    return StateFile(path).Write(bytes);
}

// Keeps `original` beside `path` as "<name>.bak", or "<name>.bak.2" and so on
// when an older copy with other bytes is there already: each damaged original
// is kept once, none overwritten.
bool KeepAside(const fs::path& path, const std::string& original) {
    constexpr int kMaxCopies = 100;
    for (int n = 1; n <= kMaxCopies; ++n) {
        fs::path copy = path;
        copy += n == 1 ? std::string(".bak") : ".bak." + std::to_string(n);
        std::string existing;
        switch (ReadWholeFile(copy, existing)) {
            case ReadOutcome::Missing:
                return WriteWholeFile(copy, original);
            case ReadOutcome::Whole:
                if (existing == original) {
                    return true;
                }
                break;
            case ReadOutcome::Failed:
                break;
        }
    }
    return false;
}

// The file a save replaces: `path` itself, or, when `path` is a symbolic
// link the user made to a file of their own (settings kept with their other
// dotfiles), the file it points to, so that the link stays. A link or a
// target of anyone else, a link to a link and a dangling link are not
// followed: nothing is written then.
std::optional<fs::path> FileToReplace(const fs::path& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return path;
    }
    std::error_code ec;
    const fs::path pointsTo = fs::read_symlink(path, ec);
    if (ec || link.st_uid != ::geteuid()) {
        return std::nullopt;
    }
    const fs::path target = pointsTo.is_absolute() ? pointsTo : path.parent_path() / pointsTo;
    struct stat file {};
    if (::lstat(target.c_str(), &file) != 0 || !S_ISREG(file.st_mode) ||
        file.st_uid != ::geteuid()) {
        return std::nullopt;
    }
    return target;
}

}  // namespace

struct SimpleIniFile::Impl {
    CSimpleIniA ini{false, false, false};
    fs::path path;
    // The file could not be read to its end: it must not be replaced.
    bool readFailed = false;
    // The bytes of a file the parser could not take whole (it stops at a NUL
    // byte): kept aside before the file is replaced.
    std::optional<std::string> original;
};

SimpleIniFile::SimpleIniFile() : impl_(std::make_unique<Impl>()) {}

SimpleIniFile::~SimpleIniFile() = default;

void SimpleIniFile::Open(const fs::path& path) {
    std::string text;
    const ReadOutcome outcome = ReadWholeFile(path, text);
    OpenText(text);
    impl_->path = path;
    impl_->readFailed = outcome == ReadOutcome::Failed;
}

void SimpleIniFile::OpenText(std::string_view text) {
    impl_->ini.Reset();
    impl_->readFailed = false;
    impl_->original.reset();
    std::string parsed(text);
    if (parsed.find('\0') != std::string::npos) {
        // SimpleIni reads up to the first NUL only. Read on past each one as
        // past a line break, so that what follows still counts.
        impl_->original = parsed;
        std::replace(parsed.begin(), parsed.end(), '\0', '\n');
    }
    if (impl_->ini.LoadData(parsed.data(), parsed.size()) < 0) {
        impl_->ini.Reset();
    }
}

std::string SimpleIniFile::SaveText() const {
    std::string text;
    if (impl_->ini.Save(text) < 0) {
        return {};
    }
    return text;
}

std::string SimpleIniFile::ReadString(const std::string& section, const std::string& key,
                                      const std::string& fallback) const {
    const char* value = impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return value != nullptr ? std::string(value) : fallback;
}

void SimpleIniFile::WriteString(const std::string& section, const std::string& key,
                                const std::string& value) {
    // A value holds one line: a line break inside it would start a new line of
    // the file and could pose as another key when the file is read back.
    std::string line = value;
    for (char& c : line) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    impl_->ini.SetValue(section.c_str(), key.c_str(), line.c_str());
}

bool SimpleIniFile::Save() {
    if (impl_->path.empty() || impl_->readFailed) {
        return false;
    }
    const std::optional<fs::path> target = FileToReplace(impl_->path);
    // A file without any write permission was made read-only on purpose; it
    // is kept as it is even for a user (root) who could write it.
    if (!target || !StateFile(*target).MayReplace()) {
        return false;
    }
    // What could not be read whole may hold more than the parser saw.
    if (impl_->original && !KeepAside(*target, *impl_->original)) {
        return false;
    }
    // The new text is written beside the target and renamed over it, so a
    // crash or a full disk never leaves a half-written settings file.
    return WriteWholeFile(*target, SaveText());
}
