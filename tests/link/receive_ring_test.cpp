// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/receive_ring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/serial_transport.h"
#include "test_support.h"

namespace palor {
namespace {

// A byte sequence whose values depend on the high bits of the position, so that a byte
// read one lap (2048 bytes) too early or too late is caught.
std::uint8_t streamByte(std::uint64_t i) {
  return static_cast<std::uint8_t>(i ^ (i >> 11) ^ (i >> 19) ^ (i >> 27));
}

// The consumer side of both stress tests: takes bytes as the frame receiver does, checks
// each against the stream and publishes how many it has taken, so that the producer never
// overruns the ring (which has no overflow test of its own).
struct Consumer {
  ReceiveRing& ring;
  std::atomic<std::uint64_t>& consumed;
  std::atomic<bool>& finished;  // tells the producer to give up when the consumer has
  std::uint64_t total;

  // Returns the position of the first wrong or missing byte, or total when all were right.
  std::uint64_t run() {
    const std::uint64_t count = take();
    finished.store(true, std::memory_order_release);
    return count;
  }

 private:
  std::uint64_t take() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    std::uint64_t count = 0;
    std::uint16_t r = ring.readIndex();
    while (count < total) {
      const std::uint16_t w = ring.writeIndex();
      if (w == r) {
        if (std::chrono::steady_clock::now() > deadline) return count;
        std::this_thread::yield();
        continue;
      }
      for (; r != w; r = ReceiveRing::next(r), ++count)
        if (ring.at(r) != streamByte(count)) return count;
      ring.setReadIndex(r);
      consumed.store(count, std::memory_order_release);
    }
    return count;
  }
};

constexpr std::uint64_t kRoom = ReceiveRing::kSize - 1;

TEST(ReceiveRing, TenMillionBytesArriveInOrderAcrossManyLaps) {
  constexpr std::uint64_t kTotal = 10'000'000;
  ReceiveRing ring;
  std::atomic<std::uint64_t> consumed{0};
  std::atomic<bool> finished{false};
  std::thread producer([&] {
    for (std::uint64_t i = 0; i < kTotal && !finished.load(std::memory_order_acquire);) {
      const std::uint64_t room = kRoom - (i - consumed.load(std::memory_order_acquire));
      if (room == 0) {
        std::this_thread::yield();
        continue;
      }
      for (std::uint64_t end = std::min(kTotal, i + room); i < end; ++i) ring.store(streamByte(i));
      ring.setDataReady(true);
    }
  });
  Consumer consumer{ring, consumed, finished, kTotal};
  const std::uint64_t good = consumer.run();
  producer.join();
  EXPECT_EQ(good, kTotal) << "first wrong byte at position " << good;
  EXPECT_EQ(ring.writeIndex(), kTotal % ReceiveRing::kSize);
  EXPECT_TRUE(ring.takeDataReady());
  EXPECT_FALSE(ring.dataReady());
}

// The same through a real pseudo-terminal and the receive worker.
TEST(ReceiveRing, BytesThroughTheWorkerArriveInOrder) {
  constexpr std::uint64_t kTotal = 10'000'000;
  test::PtyPair pty;
  SerialTransport transport;
  ASSERT_TRUE(transport.open(pty.slavePath()));
  std::atomic<std::uint64_t> consumed{0};
  std::atomic<bool> finished{false};
  std::thread writer([&] {
    std::uint8_t chunk[kRoom];
    for (std::uint64_t i = 0; i < kTotal && !finished.load(std::memory_order_acquire);) {
      const std::uint64_t room = kRoom - (i - consumed.load(std::memory_order_acquire));
      if (room < 256 && kTotal - i > room) {
        std::this_thread::yield();
        continue;
      }
      const std::uint64_t n = std::min(room, kTotal - i);
      for (std::uint64_t k = 0; k < n; ++k) chunk[k] = streamByte(i + k);
      pty.send({chunk, n});
      i += n;
    }
  });
  Consumer consumer{transport.ring(), consumed, finished, kTotal};
  const std::uint64_t good = consumer.run();
  writer.join();
  EXPECT_EQ(good, kTotal) << "first wrong byte at position " << good;
  EXPECT_TRUE(transport.close());
}

}  // namespace
}  // namespace palor
