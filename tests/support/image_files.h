// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A configuration image written to and read from a file, as the simulator's EEPROM file
// and palorctl's raw reads hold it.
#include <fstream>
#include <string>

#include "config/image_layout.h"

namespace palor::test {

inline void writeImage(const std::string& path, const ConfigImage& image) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
}

inline ConfigImage readImage(const std::string& path) {
  ConfigImage image{};
  std::ifstream(path, std::ios::binary)
      .read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
  return image;
}

}  // namespace palor::test
