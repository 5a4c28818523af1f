#include "ProcessMemory.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

std::string ProcFile(pid_t pid, const char* name) {
    return "/proc/" + std::to_string(pid) + "/" + name;
}

long KiBAfter(const std::string& line, std::size_t keyLength) {
    return std::stol(line.substr(keyLength));
}

// The path of an smaps header line ("start-end perms offset dev inode path"),
// empty for anonymous memory.
std::string MappingPath(const std::string& header) {
    std::istringstream fields(header);
    std::string skip;
    for (int i = 0; i < 5; ++i) {
        fields >> skip;
    }
    std::string path;
    std::getline(fields >> std::ws, path);
    return path;
}

bool IsHeader(const std::string& line) {
    const std::size_t dash = line.find('-');
    return dash != std::string::npos && dash > 0 &&
           std::all_of(line.begin(), line.begin() + static_cast<long>(dash),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

ResidentMemory ReadResidentMemory(pid_t pid) {
    ResidentMemory memory;
    std::ifstream status(ProcFile(pid, "status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            memory.total = KiBAfter(line, 6);
        } else if (line.rfind("RssAnon:", 0) == 0) {
            memory.anonymous = KiBAfter(line, 8);
        } else if (line.rfind("RssFile:", 0) == 0) {
            memory.file = KiBAfter(line, 8);
        } else if (line.rfind("RssShmem:", 0) == 0) {
            memory.file += KiBAfter(line, 9);
        }
    }
    return memory;
}

std::vector<std::pair<std::string, long>> ResidentByMapping(pid_t pid) {
    std::map<std::string, long> byPath;
    std::ifstream smaps(ProcFile(pid, "smaps"));
    std::string path;
    for (std::string line; std::getline(smaps, line);) {
        if (IsHeader(line)) {
            path = MappingPath(line);
            if (path.empty()) {
                path = "[anonymous]";
            }
        } else if (line.rfind("Rss:", 0) == 0) {
            byPath[path] += KiBAfter(line, 4);
        }
    }
    std::vector<std::pair<std::string, long>> sorted(byPath.begin(), byPath.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.second > b.second; });
    return sorted;
}

int MappedLibraryCount(pid_t pid) {
    std::set<std::string> libraries;
    std::ifstream maps(ProcFile(pid, "maps"));
    for (std::string line; std::getline(maps, line);) {
        const std::string path = MappingPath(line);
        if (path.find(".so") != std::string::npos) {
            libraries.insert(path);
        }
    }
    return static_cast<int>(libraries.size());
}
