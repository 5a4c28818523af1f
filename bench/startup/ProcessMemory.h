#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

// A process's resident memory from /proc, in KiB.
struct ResidentMemory {
    long total = 0;  // VmRSS
    long anonymous = 0;
    long file = 0;
};

ResidentMemory ReadResidentMemory(pid_t pid);

// Resident KiB per mapped file from /proc/PID/smaps, largest first; memory
// with no file is grouped as "[anonymous]", "[heap]" and "[stack]".
std::vector<std::pair<std::string, long>> ResidentByMapping(pid_t pid);

// How many distinct shared libraries (".so") the process has mapped.
int MappedLibraryCount(pid_t pid);
