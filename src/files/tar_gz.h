// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A gzip-compressed tar archive (POSIX ustar) of a few small text members, written as one
// file, atomically: the support file.
#include <string>
#include <vector>

#include "files/atomic_file.h"

namespace palor {

struct ArchiveMember {
  std::string name;  // at most 100 bytes, no folders
  std::string content;
};

// The archive's bytes: each member a regular file of mode 0644, dated `mtime` (seconds
// since 1970), then the two empty blocks that end the archive; all gzip-compressed.
std::string tarGz(const std::vector<ArchiveMember>& members, long long mtime);

// tarGz saved at `path` as every file of the program is saved.
FileOutcome saveTarGz(const std::string& path, const std::vector<ArchiveMember>& members,
                      long long mtime);

}  // namespace palor
