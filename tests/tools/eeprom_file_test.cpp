// SPDX-License-Identifier: GPL-3.0-or-later
#include "eeprom_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "config/image_checksums.h"
#include "temp_folder.h"
#include "ui/vendrel.h"

namespace palor::sim {
namespace {

TEST(SimulatorEeprom, DefaultIsTheProgrammersStartUpImage) {
  const ConfigImage eeprom = defaultPagerImage();
  EXPECT_TRUE(checksumsMatch(eeprom));
  EXPECT_EQ(eeprom[0], 3);  // firmware version byte of a fresh programmer
  // Byte for byte what a freshly started programmer writes, its start-up rules included.
  FormState started;
  started.startUp();
  ASSERT_TRUE(started.buildImageFile());
  EXPECT_EQ(eeprom, started.images().writeImage);

  // Opened by the programmer, it gives back the start-up settings.
  FormState fresh;
  fresh.startUp();
  FormState loaded;
  loaded.startUp();
  loaded.record().setText("hellomsg1", "SOMETHING ELSE");
  ASSERT_TRUE(loaded.loadImageFile(eeprom, "default"));
  EXPECT_EQ(loaded.record().text("hellomsg1"), fresh.record().text("hellomsg1"));
  EXPECT_EQ(loaded.record().text("address8"), "2004056");
  EXPECT_EQ(loaded.record().index("language"), 7);
}

TEST(SimulatorEeprom, LoadsExactly1024BytesAndSavesThemBack) {
  const test::TempFolder folder("palor-sim-eeprom");
  const std::string dir = folder.path();
  ConfigImage image = defaultPagerImage();
  image[500] = 0x5A;
  saveEeprom(dir + "/pager.bin", image);
  EXPECT_EQ(loadEeprom(dir + "/pager.bin"), image);

  for (std::size_t size : {0u, 1023u, 1025u}) {
    std::ofstream(dir + "/wrong.bin", std::ios::binary | std::ios::trunc) << std::string(size, 'x');
    EXPECT_THROW(loadEeprom(dir + "/wrong.bin"), std::runtime_error) << size;
  }
  EXPECT_THROW(loadEeprom(dir + "/missing.bin"), std::runtime_error);

  // Each refusal says why, in the words of the file's own fault.
  const struct {
    std::string path;
    const char* says;
  } refusals[] = {
      {"/dev/zero", "/dev/zero: it is a device, not a file"},
      {dir + "/missing.bin", "missing.bin: the file does not exist"},
      {dir + "/wrong.bin", "wrong.bin: the file is longer than an image; an image has 1024 bytes"},
  };
  for (const auto& r : refusals) {
    try {
      (void)loadEeprom(r.path);
      ADD_FAILURE() << r.path << " loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(r.says), std::string::npos) << e.what();
    }
  }
  try {
    saveEeprom(dir, image);
    ADD_FAILURE() << "saved over a folder";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("it is a folder, not a file"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace palor::sim
