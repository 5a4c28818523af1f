#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// The whole content of a file (empty when it cannot be read).
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

#ifdef ZURAV3_TEST_DATA
// The path of a file kept in tests/data.
inline std::string TestDataFile(const std::string& name) {
    return std::string(ZURAV3_TEST_DATA) + "/" + name;
}
#endif

// Runs `write` in a child process whose files cannot grow past `limitBytes`
// (RLIMIT_FSIZE, with SIGXFSZ ignored: a write past it fails with EFBIG, as
// one on a full disk fails with ENOSPC) and gives what it returned; nullopt
// when the child did not end normally.
std::optional<bool> InChildWithFileSizeLimit(std::size_t limitBytes,
                                             const std::function<bool()>& write);
