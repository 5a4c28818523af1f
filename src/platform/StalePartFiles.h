#pragma once

#include <filesystem>
#include <string>

// A transfer writes into a hidden file beside its target, named "." + `base`
// + "." + six lower-case letters or digits + ".part", and holds an exclusive
// lock on it while it runs. A process that dies (killed, crashed) cannot
// remove that file, but its lock goes with it: a file of that name that
// nobody holds locked is stale.

// Marks the open temporary file `fd` as in use. False when the file system
// cannot lock; the file is then simply never taken for stale.
bool HoldPartFile(int fd);

// True when `name` is a temporary file name of a transfer into `base`.
bool IsPartFileName(const std::string& name, const std::string& base);

// Removes the stale temporary files of transfers into `base` from `folder`:
// regular files of that name whose lock nobody holds. Nothing is reported;
// what cannot be checked or removed stays.
void RemoveStalePartFiles(const std::filesystem::path& folder, const std::string& base);
