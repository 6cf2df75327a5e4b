// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The receive ring: 2048 bytes, circular, filled by the receive worker and emptied by the
// frame receiver on the user-interface thread. The two threads share only the ring bytes,
// the write index and the data-ready flag, without a lock:
//
//   worker:  store the byte (relaxed), then publish the write index (release);
//            the data-ready flag is stored after the index (release).
//   reader:  load the write index (acquire), then read the bytes it covers.
//
// There is no overflow test: when more than 2048 bytes arrive before the reader runs, the
// oldest unread bytes are overwritten. The bytes are atomics themselves so that even an
// overrun is a lost byte and never a data race. Indexes start at 0 and are never reset.
#include <array>
#include <atomic>
#include <cstdint>

namespace palor {

class ReceiveRing {
 public:
  static constexpr std::uint16_t kSize = 2048;

  static constexpr std::uint16_t next(std::uint16_t index) {
    return static_cast<std::uint16_t>((index + 1) % kSize);
  }

  // Worker side.
  void store(std::uint8_t byte) {
    const std::uint16_t w = writeIndex_.load(std::memory_order_relaxed);
    bytes_[w].store(byte, std::memory_order_relaxed);
    writeIndex_.store(next(w), std::memory_order_release);
  }
  void setDataReady(bool ready) { dataReady_.store(ready, std::memory_order_release); }

  // Reader side.
  std::uint16_t writeIndex() const { return writeIndex_.load(std::memory_order_acquire); }
  std::uint16_t readIndex() const { return readIndex_.load(std::memory_order_acquire); }
  void setReadIndex(std::uint16_t index) {
    readIndex_.store(static_cast<std::uint16_t>(index % kSize), std::memory_order_release);
  }
  std::uint8_t at(std::uint16_t index) const {
    return bytes_[index % kSize].load(std::memory_order_relaxed);
  }
  bool dataReady() const { return dataReady_.load(std::memory_order_acquire); }
  // Tests and clears the flag in one step, as the protocol tick does.
  bool takeDataReady() { return dataReady_.exchange(false, std::memory_order_acq_rel); }
  // Unread bytes, as far as the reader can tell (an overrun shows as fewer).
  std::uint16_t pending() const {
    return static_cast<std::uint16_t>((writeIndex() + kSize - readIndex()) % kSize);
  }

 private:
  std::array<std::atomic<std::uint8_t>, kSize> bytes_{};
  std::atomic<std::uint16_t> writeIndex_{0};
  std::atomic<std::uint16_t> readIndex_{0};
  std::atomic<bool> dataReady_{false};
};

}  // namespace palor
