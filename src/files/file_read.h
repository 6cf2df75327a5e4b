#pragma once
// Reading the files a user opens: only regular files, and without waiting, so that a name
// that is a folder, a device or a named pipe without a writer never blocks the program.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace palor {

// A read-only descriptor of the regular file at `path`, or -1.
int openRegularFile(const std::string& path);

// The first bytes of a regular file, at most `limit` of them (fewer when the file is
// shorter or a read fails); nothing when it cannot be opened as a regular file.
std::optional<std::vector<std::uint8_t>> readFileStart(const std::string& path,
                                                       std::size_t limit);

}  // namespace palor
