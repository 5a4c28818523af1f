#pragma once

#include <filesystem>
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
