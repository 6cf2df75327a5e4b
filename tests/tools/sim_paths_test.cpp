// SPDX-License-Identifier: GPL-3.0-or-later
// The paths the simulator makes for others to find it by, the control FIFO and the link to
// its device: made when it starts, removed when it ends, and nothing else touched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "control_fifo.h"
#include "device_link.h"
#include "temp_folder.h"

namespace palor::sim {
namespace {

namespace fs = std::filesystem;

class SimPaths : public ::testing::Test {
 protected:
  std::string at(const std::string& name) const { return (dir_ / name).string(); }
  static void writeFile(const std::string& path) { std::ofstream(path) << "keep"; }
  static fs::file_type typeOf(const std::string& path) { return fs::symlink_status(path).type(); }

  test::TempFolder folder_{"palor-sim-paths"};
  fs::path dir_ = folder_.path();
};

TEST_F(SimPaths, ControlFifoIsMadeUsedAndRemovedOnlyWhenItsOwn) {
  const std::string path = at("control");
  const struct {
    const char* name;
    std::function<void()> before;  // what is at the path when the simulator starts
    std::function<void()> during;  // what someone does while it runs
    fs::file_type after;           // what is there once it has ended
  } cases[] = {
      {"missing: made, then removed", [] {}, [] {}, fs::file_type::not_found},
      {"a FIFO already: used and left", [&] { ::mkfifo(path.c_str(), 0600); }, [] {},
       fs::file_type::fifo},
      {"replaced while running: the new file is left", [] {},
       [&] {
         ::unlink(path.c_str());
         writeFile(path);
       },
       fs::file_type::regular},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.before();
    {
      ControlFifo fifo(path);
      EXPECT_GE(fifo.fd(), 0);
      EXPECT_EQ(typeOf(path), fs::file_type::fifo);
      ASSERT_EQ(::write(fifo.fd(), "in\n", 3), 3) << "open for reading and writing";
      char got[3];
      EXPECT_EQ(::read(fifo.fd(), got, 3), 3);
      c.during();
    }
    EXPECT_EQ(typeOf(path), c.after);
    ::unlink(path.c_str());
  }
}

TEST_F(SimPaths, DeviceLinkIsMadeReplacedAndRemovedOnlyWhenItsOwn) {
  const std::string path = at("port");
  const struct {
    const char* name;
    std::function<void()> before;
    std::function<void()> during;
    std::string after;  // where the path points once the link's owner has ended
  } cases[] = {
      {"missing: made, then removed", [] {}, [] {}, ""},
      {"an old link: replaced, then removed", [&] { ::symlink("/dev/old", path.c_str()); }, [] {},
       ""},
      {"relinked while running: the new link is left", [] {},
       [&] {
         ::unlink(path.c_str());
         ::symlink("/dev/other", path.c_str());
       },
       "/dev/other"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.before();
    {
      DeviceLink link(path, "/dev/pts/77");
      EXPECT_EQ(fs::read_symlink(path), "/dev/pts/77");
      c.during();
    }
    EXPECT_EQ(typeOf(path), c.after.empty() ? fs::file_type::not_found : fs::file_type::symlink);
    if (!c.after.empty()) {
      EXPECT_EQ(fs::read_symlink(path), c.after);
    }
    ::unlink(path.c_str());
  }
}

// Refusals name the real reason, and leave what was there as it was.
TEST_F(SimPaths, RefusalsSayWhyAndTouchNothing) {
  const std::string file = at("file");
  writeFile(file);
  const std::string noFolder = at("missing/path");
  const struct {
    const char* name;
    std::function<void()> make;
    std::string reason;
  } cases[] = {
      {"FIFO over a file", [&] { ControlFifo f(file); }, file + " exists and is not a FIFO"},
      {"FIFO in a missing folder", [&] { ControlFifo f(noFolder); },
       "cannot make the control FIFO " + noFolder + ": No such file or directory"},
      {"link over a file", [&] { DeviceLink l(file, "/dev/pts/77"); },
       file + " exists and is not a symbolic link"},
      {"link in a missing folder", [&] { DeviceLink l(noFolder, "/dev/pts/77"); },
       "cannot create the link " + noFolder + ": No such file or directory"},
  };
  for (const auto& c : cases) {
    try {
      c.make();
      ADD_FAILURE() << c.name << ": not refused";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), c.reason) << c.name;
    }
  }
  EXPECT_EQ(typeOf(file), fs::file_type::regular);
  EXPECT_EQ(fs::file_size(file), 4u);
}

}  // namespace
}  // namespace palor::sim
