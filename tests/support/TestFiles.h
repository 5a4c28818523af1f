#pragma once

#include <fstream>
#include <sstream>
#include <string>

// The whole content of a file.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

#ifdef ZURAV3_TEST_DATA
// The path of a file kept in tests/data.
inline std::string TestDataFile(const std::string& name) {
    return std::string(ZURAV3_TEST_DATA) + "/" + name;
}
#endif
