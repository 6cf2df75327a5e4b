#include "files/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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
    dir = fs::temp_directory_path() / ("palor-atomic-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    target = dir / "config.bin";
    std::ofstream(target, std::ios::binary) << "old content";
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
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

  fs::path dir;
  fs::path target;
};

TEST_F(AtomicFileTest, ReplacesTheFileWhole) {
  const std::string content(1024, '\x5A');
  ASSERT_TRUE(saveFileAtomically(target, content));
  EXPECT_EQ(contentOf(target), content);
  expectNoLeftovers();
}

TEST_F(AtomicFileTest, CreatesANewFile) {
  ASSERT_TRUE(saveFileAtomically(dir / "new.csv", "a,\r\n"));
  EXPECT_EQ(contentOf(dir / "new.csv"), "a,\r\n");
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
    if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(2);
  });
  EXPECT_FALSE(saved);
  EXPECT_EQ(contentOf(target), "old content");
}

TEST_F(AtomicFileTest, APathThatIsAFolderFailsAndStaysAFolder) {
  fs::create_directory(dir / "sub.bin");
  EXPECT_FALSE(saveFileAtomically(dir / "sub.bin", "data"));
  EXPECT_TRUE(fs::is_directory(dir / "sub.bin"));
}

TEST_F(AtomicFileTest, AMissingFolderFails) {
  EXPECT_FALSE(saveFileAtomically(dir / "missing" / "x.bin", "data"));
  EXPECT_FALSE(saveFileAtomically("", "data"));
}

TEST_F(AtomicFileTest, AReadOnlyFolderFailsAndLeavesTheOldFile) {
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read |
                           fs::perms::others_exec);
  // Root may write anywhere: the save runs as an ordinary user.
  const bool saved = saveInChild(target, "new content", [] {
    if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(2);
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
