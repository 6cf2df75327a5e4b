// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include "as_nobody.h"
#include "temp_folder.h"

namespace palor {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target = dir / "config.bin";
    std::ofstream(target, std::ios::binary) << "old content";
  }
  // Only the target is left in the folder: no temporary file stays behind.
  void expectNoLeftovers() {
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
      (void)entry;
      ++files;
    }
    EXPECT_EQ(files, 1);
  }

  // Runs a save in a child process under the given limits, so that the test process keeps
  // its own privileges and limits. Returns the save's result.
  template <typename Setup>
  bool saveInChild(const std::string& path, std::string_view content, Setup setup) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      setup();
      ::_exit(saveFileAtomically(path, content) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  test::TempFolder folder{"palor-atomic"};
  fs::path dir = folder.path();
  fs::path target;
};

// What a folder holds: each name's type, file number and, for a file, its content.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    struct stat info {};
    ::lstat(entry.path().c_str(), &info);
    std::string seen = std::to_string(info.st_mode) + " " + std::to_string(info.st_ino);
    if (S_ISREG(info.st_mode)) seen += " " + contentOf(entry.path());
    entries[entry.path().string()] = seen;
  }
  return entries;
}

// Every kind of name a save may be pointed at. A regular file or a new name is saved
// (a file is replaced by a new one, never written over); anything else is refused with its
// reason and left exactly as it was, and no temporary file stays behind.
TEST_F(AtomicFileTest, EveryKindOfOutputTarget) {
  const std::string longName(250, 'n');
  const fs::path shared = dir / "shared";  // sticky and writable by all, as /tmp
  const struct {
    const char* what;
    std::function<fs::path()> make;  // makes the target, returns the name to save to
    std::string refusal;             // the reason in words; empty: saved
    bool needsRoot = false;          // makes a device, or gives a link to another user
  } cases[] = {
      {"regular file", [&] { return target; }, ""},
      {"new name", [&] { return dir / "new.csv"; }, ""},
      {"name at the length limit",
       [&] {
         std::ofstream(dir / longName) << "old";
         return dir / longName;
       },
       ""},
      {"character device",
       [&] {
         EXPECT_EQ(::mknod((dir / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
         return dir / "null";
       },
       "it is a device, not a file", true},
      {"named pipe",
       [&] {
         EXPECT_EQ(::mkfifo((dir / "pipe").c_str(), 0666), 0);
         return dir / "pipe";
       },
       "it is a named pipe, not a file"},
      {"socket",
       [&] {
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         const std::string name = (dir / "socket").string();
         name.copy(address.sun_path, sizeof address.sun_path - 1);
         EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
         ::close(fd);
         return dir / "socket";
       },
       "it is a socket, not a file"},
      {"folder",
       [&] {
         fs::create_directory(dir / "sub.bin");
         return dir / "sub.bin";
       },
       "it is a folder, not a file"},
      {"new name ending in a slash", [&] { return fs::path(dir.string() + "/new.bin/"); },
       "cannot be written: Is a directory"},
      {"another user's link in a shared folder",
       [&] {
         fs::create_directory(shared);
         fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
         fs::create_symlink(target, shared / "pager.bin");
         EXPECT_EQ(::lchown((shared / "pager.bin").c_str(), test::kNobody, test::kNogroup), 0);
         return shared / "pager.bin";
       },
       "cannot be written: the link " + (shared / "pager.bin").string() +
           " belongs to another user in a folder that all may write to, and is not followed",
       true},
      {"own link in a shared folder",
       [&] {
         fs::create_directory(shared);
         fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
         fs::create_symlink(target, shared / "pager.bin");
         return shared / "pager.bin";
       },
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsRoot && ::geteuid() != 0) continue;
    std::ofstream(target, std::ios::binary | std::ios::trunc) << "old content";
    const fs::path name = c.make();
    struct stat before {};
    const bool existed = ::stat(name.c_str(), &before) == 0;
    const auto held = snapshot(dir);
    const FileOutcome checked = checkSaveTarget(name);
    const FileOutcome saved = saveFileAtomically(name, "new content");
    EXPECT_EQ(static_cast<bool>(checked), static_cast<bool>(saved));
    if (c.refusal.empty()) {
      EXPECT_TRUE(saved) << describe(saved.error());
      EXPECT_EQ(contentOf(name), "new content");
      struct stat after {};
      ASSERT_EQ(::stat(name.c_str(), &after), 0);
      if (existed) {
        EXPECT_NE(after.st_ino, before.st_ino) << "replaced, not written over";
      }
    } else {
      ASSERT_FALSE(saved);
      EXPECT_EQ(describe(saved.error()), c.refusal);
      EXPECT_EQ(describe(checked.error()), c.refusal);
      EXPECT_EQ(snapshot(dir), held);
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir))
      EXPECT_FALSE(entry.path().filename().string().starts_with(".palor-")) << entry.path();
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.path() != target) fs::remove_all(entry.path());
  }
}

TEST_F(AtomicFileTest, KeepsThePermissionsOfTheFileItReplaces) {
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(saveFileAtomically(target, "new"));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(AtomicFileTest, ASymbolicLinkKeepsPointingAtTheSavedFile) {
  fs::create_symlink(target, dir / "link.bin");
  ASSERT_TRUE(saveFileAtomically(dir / "link.bin", "through the link"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
  EXPECT_EQ(contentOf(target), "through the link");
}

TEST_F(AtomicFileTest, AReadOnlyFileIsNotReplaced) {
  // The folder lets anyone write: only the file's own permissions stand in the way.
  fs::permissions(dir, fs::perms::all);
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const bool saved = saveInChild(target, "new content", [] {
    if (!test::becomeNobody()) ::_exit(2);
  });
  EXPECT_FALSE(saved);
  EXPECT_EQ(contentOf(target), "old content");
}

TEST_F(AtomicFileTest, AMissingFolderFails) {
  const FileOutcome saved = saveFileAtomically(dir / "missing" / "x.bin", "data");
  ASSERT_FALSE(saved);
  EXPECT_EQ(describe(saved.error()), "cannot be written: No such file or directory");
  EXPECT_FALSE(saveFileAtomically("", "data"));
}

// A link whose target does not exist yet: the save creates the target and the link stays.
// A loop of links is refused and left alone.
TEST_F(AtomicFileTest, ADanglingLinkGetsItsTargetCreated) {
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // name, target
    std::string created;                                     // empty: the save fails
  } cases[] = {
      {"absolute", {{"link.bin", (dir / "made.bin").string()}}, "made.bin"},
      {"relative", {{"link.bin", "made.bin"}}, "made.bin"},
      {"into a folder", {{"link.bin", "sub/made.bin"}}, "sub/made.bin"},
      {"chain", {{"link.bin", "second.bin"}, {"second.bin", "made.bin"}}, "made.bin"},
      {"loop", {{"link.bin", "second.bin"}, {"second.bin", "link.bin"}}, ""},
  };
  fs::create_directory(dir / "sub");
  for (const auto& c : cases) {
    for (const auto& [name, to] : c.links) fs::create_symlink(to, dir / name);
    const bool saved = static_cast<bool>(saveFileAtomically(dir / "link.bin", "new"));
    EXPECT_EQ(saved, !c.created.empty()) << c.what;
    for (const auto& link : c.links)
      EXPECT_TRUE(fs::is_symlink(dir / link.first)) << c.what << ": " << link.first;
    if (!c.created.empty()) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / c.created))) << c.what;
      EXPECT_EQ(contentOf(dir / "link.bin"), "new") << c.what;
    }
    for (const auto& link : c.links) fs::remove(dir / link.first);
    if (!c.created.empty()) fs::remove(dir / c.created);
  }
}

// Root may give the new file the old one's owner and group; the permissions stay too.
TEST_F(AtomicFileTest, AReplacedFileKeepsItsOwnerAndGroup) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  ASSERT_EQ(::chown(target.c_str(), test::kNobody, test::kNogroup), 0);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(saveFileAtomically(target, "new"));
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, test::kNobody);
  EXPECT_EQ(info.st_gid, test::kNogroup);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(contentOf(target), "new");
}

// A folder that refuses the temporary file, holding a file this user may write: the file is
// written in place, cut to the new length, and a failing write is reported.
TEST_F(AtomicFileTest, AWritableFileInAFolderThatRefusesNewFilesIsWrittenInPlace) {
  const struct {
    const char* what;
    std::string content;
    bool sizeLimit;  // the system refuses the write half-way, as on a full disk
    bool saved;
  } cases[] = {
      {"shorter", "new", false, true},
      {"longer", std::string(3000, 'x'), false, true},
      {"write fails", std::string(64 * 1024, 'x'), true, false},
  };
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec);
  for (const auto& c : cases) {
    std::ofstream(target, std::ios::binary | std::ios::trunc) << "old content";
    fs::permissions(target, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                               fs::perms::others_exec));
    const auto status = test::runAsNobody([&] {
      if (c.sizeLimit) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      return saveFileAtomically(target, c.content) ? 0 : 1;
    });
    if (!status) GTEST_SKIP() << "needs root to act as another user";
    EXPECT_EQ(*status == 0, c.saved) << c.what;
    if (c.saved) {
      EXPECT_EQ(contentOf(target), c.content) << c.what;
    }
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u) << c.what << ": the file stays its owner's";
    EXPECT_EQ(info.st_mode & 0777, 0666u) << c.what;
    expectNoLeftovers();
  }
}

TEST_F(AtomicFileTest, AReadOnlyFolderFailsAndLeavesTheOldFile) {
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  // Root may write anywhere: the save runs as an ordinary user.
  const bool saved = saveInChild(target, "new content", [] {
    if (!test::becomeNobody()) ::_exit(2);
  });
  EXPECT_FALSE(saved);
  EXPECT_EQ(contentOf(target), "old content");
}

TEST_F(AtomicFileTest, AFailingWriteLeavesTheOldFileAndNoTemporary) {
  // A file-size limit makes the system refuse the write half-way, as a full disk does.
  const std::string content(64 * 1024, 'x');
  const bool saved = saveInChild(target, content, [] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_FALSE(saved);
  EXPECT_EQ(contentOf(target), "old content");
  expectNoLeftovers();
}

}  // namespace
}  // namespace palor
