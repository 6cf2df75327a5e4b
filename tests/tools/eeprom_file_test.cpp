#include "eeprom_file.h"

#include <gtest/gtest.h>

#include "config/image_checksums.h"
#include "ui/vendrel.h"

namespace palor::sim {
namespace {

TEST(SimulatorEeprom, DefaultIsTheProgrammersStartUpImage) {
  const Eeprom eeprom = defaultPagerImage();
  EXPECT_TRUE(checksumsMatch(eeprom));
  EXPECT_EQ(eeprom[0], 3);  // firmware version byte of a fresh programmer

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

}  // namespace
}  // namespace palor::sim
