// SPDX-License-Identifier: GPL-3.0-or-later
// The two image checksums: what they cover, how they are stored, and the test that adopts a
// read image only when both match.
#include "config/image_checksums.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>

#include "config/crc16.h"

namespace palor {
namespace {

ConfigImage randomImage(std::uint32_t seed) {
  std::mt19937 rng(seed);
  ConfigImage image;
  for (auto& b : image) b = static_cast<std::uint8_t>(rng());
  return image;
}

TEST(Crc16Xmodem, PublishedCheckValue0x31C3) {
  constexpr std::string_view digits = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(digits.data());
  EXPECT_EQ(crc16Xmodem({bytes, digits.size()}), 0x31C3);
}

TEST(Checksums, StoredLowByteFirstAtTheEnd) {
  ConfigImage image = randomImage(1);
  fillChecksums(image);
  const std::uint16_t settings = settingsChecksum(image);
  const std::uint16_t hardware = hardwareChecksum(image);
  EXPECT_EQ(image[1020], settings & 0xFF);
  EXPECT_EQ(image[1021], settings >> 8);
  EXPECT_EQ(image[1022], hardware & 0xFF);
  EXPECT_EQ(image[1023], hardware >> 8);
  EXPECT_EQ(settings, crc16Xmodem({image.data(), 255}));
  EXPECT_EQ(hardware, crc16Xmodem({image.data() + 256, 42}));
  EXPECT_TRUE(checksumsMatch(image));
}

// Every byte of 0..254 and 256..297 is guarded; 255 and 298..1019 are not.
TEST(Checksums, ChangingAnyCoveredByteFailsTheTestAndNoOtherByteDoes) {
  ConfigImage image = randomImage(2);
  fillChecksums(image);
  for (int offset = 0; offset < 1020; ++offset) {
    ConfigImage changed = image;
    changed[offset] ^= 0x01;
    const bool covered = offset <= 254 || (offset >= 256 && offset <= 297);
    EXPECT_EQ(checksumsMatch(changed), !covered) << "byte " << offset;
  }
}

TEST(Checksums, OneWrongByteOfAStoredChecksumFails) {
  ConfigImage image = randomImage(3);
  fillChecksums(image);
  for (int offset = 1020; offset < 1024; ++offset) {
    ConfigImage changed = image;
    changed[offset] ^= 0x80;
    EXPECT_FALSE(checksumsMatch(changed)) << "byte " << offset;
  }
}

TEST(ChecksumTestAndAdopt, CopiesAPassingReadImageWhole) {
  ImageBuffer buffer;
  buffer.readImage = randomImage(4);
  fillChecksums(buffer.readImage);
  buffer.writeImage.fill(0x55);
  EXPECT_TRUE(checksumTestAndAdopt(buffer));
  EXPECT_EQ(buffer.writeImage, buffer.readImage);
}

TEST(ChecksumTestAndAdopt, LeavesBothImagesAsTheyWereOnFailure) {
  ImageBuffer buffer;
  buffer.readImage = randomImage(5);
  fillChecksums(buffer.readImage);
  buffer.readImage[1021] ^= 1;  // only the high byte of the settings checksum is wrong
  const ImageBuffer before = buffer;
  buffer.writeImage.fill(0x55);
  const ConfigImage write = buffer.writeImage;
  EXPECT_FALSE(checksumTestAndAdopt(buffer));
  EXPECT_EQ(buffer.writeImage, write);
  EXPECT_EQ(buffer.readImage, before.readImage);
}

}  // namespace
}  // namespace palor
