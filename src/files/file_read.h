// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading the files a user opens: only regular files, and without waiting, so that a name
// that is a folder, a device or a named pipe without a writer never blocks the program.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "files/file_error.h"

namespace palor {

// The error for a name whose file mode (st_mode) shows a folder, device, pipe or socket.
FileError notRegularFile(unsigned mode);

// A read-only descriptor of the regular file at `path`, or why there is none.
struct OpenedFile {
  int fd = -1;
  std::optional<FileError> error;
};
OpenedFile openForReading(const std::string& path);

// A read-only descriptor of the regular file at `path`, or -1.
int openRegularFile(const std::string& path);

// What a read delivered. `opened` tells a file that could not be opened (no bytes, the
// error says why) from one that opened and then failed or ended early (the bytes that
// arrived, and the error).
struct FileRead {
  bool opened = false;
  std::vector<std::uint8_t> bytes;
  std::optional<FileError> error;
  explicit operator bool() const { return !error; }
};

// The first bytes of a regular file, at most `limit` of them; fewer, without an error, when
// the file is shorter.
FileRead readFileStart(const std::string& path, std::size_t limit);

// The first 1024 bytes of an image file (the rest of a longer file is not read); a shorter
// file is a TooShort error that gives both sizes.
FileRead readImageFile(const std::string& path);

}  // namespace palor
