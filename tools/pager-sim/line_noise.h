// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Line noise, as a bad cable or a charger in trouble puts it on the line in front of a
// frame: pseudo-random bytes with the beginnings of frames among them (lone lead pairs,
// three lead bytes, frames cut short after their length byte, whole frames with a wrong
// checksum), so that the programmer's receiver has to find its way back to the frame
// grammar again and again.
//
// Two promises keep the noise from being more than noise: no frame in it, from whichever
// lead pair the receiver starts, carries a matching checksum; and its last 70 bytes (all
// of it when it is shorter) hold no 0x7E, so that any frame it starts is over before the
// frame that follows. That frame is then lost only when the programmer's receive ring
// overruns. The same seed gives the same noise.
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace palor::sim {

class LineNoise {
 public:
  explicit LineNoise(std::uint32_t seed = 1) : random_(seed) {}

  // `count` bytes of noise, appended to `out`.
  void append(std::size_t count, std::vector<std::uint8_t>& out);

 private:
  std::uint8_t byte() { return static_cast<std::uint8_t>(random_() >> 24); }
  std::uint8_t byteOtherThanLead();
  std::uint8_t acceptedCode();

  std::mt19937 random_;
};

}  // namespace palor::sim
