// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a file could not be read or saved, as a value: the caller puts it in words (palorctl,
// the simulator) or keeps to its own message (the window's "Load failed", "Save failed").
#include <cerrno>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace palor {

struct FileError {
  enum class Kind {
    NotFound,        // no file of that name, or a folder on the way is missing
    NotRegularFile,  // a folder, a device, a named pipe or a socket
    TooShort,        // fewer bytes than the format needs
    ReadError,
    WriteError,
  };
  Kind kind = Kind::ReadError;
  // NotRegularFile: what the name is instead ("a folder"); TooShort: the sizes ("the file
  // has 1000 bytes; an image has 1024 bytes"); ReadError, WriteError: the system's text.
  std::string detail;
};

// The system's text for an error number ("Permission denied"), safe on any thread.
inline std::string systemText(int error) { return std::generic_category().message(error); }

// A failed open or stat for reading: a missing name is NotFound, anything else a read error.
inline FileError readFailure(int error) {
  if (error == ENOENT || error == ENOTDIR) return {FileError::Kind::NotFound, {}};
  return {FileError::Kind::ReadError, systemText(error)};
}

inline FileError writeFailure(int error) {
  return {FileError::Kind::WriteError, systemText(error)};
}

// The reason in words, to follow the file's name: "the file does not exist", "it is a
// folder, not a file", "cannot be read: Permission denied".
inline std::string describe(const FileError& error) {
  switch (error.kind) {
    case FileError::Kind::NotFound: return "the file does not exist";
    case FileError::Kind::NotRegularFile:
      return "it is " + (error.detail.empty() ? std::string("something else") : error.detail) +
             ", not a file";
    case FileError::Kind::TooShort:
      return error.detail.empty() ? std::string("the file is too short") : error.detail;
    case FileError::Kind::ReadError: return "cannot be read: " + error.detail;
    case FileError::Kind::WriteError: return "cannot be written: " + error.detail;
  }
  return error.detail;
}

// A save's answer: success, or why it failed. Tests true on success.
class [[nodiscard]] FileOutcome {
 public:
  FileOutcome() = default;
  FileOutcome(FileError error) : error_(std::move(error)) {}  // NOLINT: a failure converts
  explicit operator bool() const { return !error_; }
  // Only on failure.
  const FileError& error() const { return *error_; }
  const std::optional<FileError>& failure() const { return error_; }

 private:
  std::optional<FileError> error_;
};

}  // namespace palor
