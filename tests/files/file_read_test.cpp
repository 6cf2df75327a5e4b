// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/file_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "as_nobody.h"
#include "temp_folder.h"

namespace palor {
namespace {

namespace fs = std::filesystem;
using Kind = FileError::Kind;

// What an image load is told about each kind of name: the reason, and whether the file was
// opened (the window then still applies its method28a rule before it refuses).
TEST(ReadImageFile, EveryRefusalSaysWhy) {
  const test::TempFolder folder("palor-read");
  const fs::path& dir = folder.path();
  fs::create_directories(dir / "folder.bin");
  ASSERT_EQ(::mkfifo((dir / "pipe.bin").c_str(), 0600), 0);
  auto write = [&](const char* name, std::size_t size) {
    std::ofstream(dir / name, std::ios::binary) << std::string(size, '\x11');
  };
  write("short.bin", 1000);
  write("empty.bin", 0);
  write("image.bin", 1024);
  write("long.bin", 1500);

  const struct {
    const char* name;
    std::optional<Kind> kind;
    bool opened;
    std::size_t bytes;
    const char* says;
  } cases[] = {
      {"missing.bin", Kind::NotFound, false, 0, "the file does not exist"},
      {"no-folder/x.bin", Kind::NotFound, false, 0, "the file does not exist"},
      {"folder.bin", Kind::NotRegularFile, false, 0, "it is a folder, not a file"},
      {"pipe.bin", Kind::NotRegularFile, false, 0, "it is a named pipe, not a file"},
      {"short.bin", Kind::TooShort, true, 1000, "the file has 1000 bytes; an image has 1024 bytes"},
      {"empty.bin", Kind::TooShort, true, 0, "the file has 0 bytes; an image has 1024 bytes"},
      {"image.bin", std::nullopt, true, 1024, ""},
      {"long.bin", std::nullopt, true, 1024, ""},
  };
  for (const auto& c : cases) {
    const FileRead read = readImageFile((dir / c.name).string());
    EXPECT_EQ(read.opened, c.opened) << c.name;
    EXPECT_EQ(read.bytes.size(), c.bytes) << c.name;
    ASSERT_EQ(read.error.has_value(), c.kind.has_value()) << c.name;
    if (!c.kind) continue;
    EXPECT_EQ(read.error->kind, *c.kind) << c.name;
    EXPECT_EQ(describe(*read.error), c.says) << c.name;
  }

  // A file its owner keeps to himself is a read error with the system's text.
  fs::permissions(dir / "image.bin", fs::perms::owner_read | fs::perms::owner_write);
  const auto refused = test::runAsNobody([&] {
    const FileRead read = readImageFile((dir / "image.bin").string());
    return !read.opened && read.error &&
                   describe(*read.error) == "cannot be read: Permission denied"
               ? 0
               : 1;
  });
  if (refused) {
    EXPECT_EQ(*refused, 0) << "an unreadable file";
  }
}

}  // namespace
}  // namespace palor
