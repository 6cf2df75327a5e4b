// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/link_frames.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "test_support.h"

namespace palor {
namespace {

using test::Bytes;
using test::hex;

struct Delivered {
  std::uint8_t code;
  std::uint8_t length;
  Bytes data;
  bool checksumOk;
};

// The programmer's link frames over a receive ring the test fills by hand, with every
// transmitted frame and every delivered frame recorded.
class FramesFixture : public ::testing::Test {
 protected:
  FramesFixture()
      : frames_(
            ring_,
            [this](std::span<const std::uint8_t> b) {
              sent_.emplace_back(b.begin(), b.end());
              return true;
            },
            image_) {
    frames_.setFrameHandler([this](const ReceivedFrame& f) {
      EXPECT_EQ(f.checksumOk(), frames_.FrameChecksumOk());
      delivered_.push_back(
          {f.code(), f.length(), Bytes(f.data().begin(), f.data().end()), f.checksumOk()});
    });
  }

  void arrive(const Bytes& bytes) {
    for (std::uint8_t b : bytes) ring_.store(b);
  }
  void feed(const Bytes& bytes) {
    arrive(bytes);
    frames_.FeedReceiver();
  }
  std::vector<std::uint8_t> codes() const {
    std::vector<std::uint8_t> c;
    for (const auto& d : delivered_) c.push_back(d.code);
    return c;
  }

  ReceiveRing ring_;
  std::array<std::uint8_t, kImageSize> image_{};
  std::vector<Bytes> sent_;
  std::vector<Delivered> delivered_;
  LinkFrames frames_;
};

// The programmer's commands, as the charger must see them.
TEST_F(FramesFixture, CommandFramesMatchTheKnownBytes) {
  const struct {
    std::uint8_t code;
    const char* bytes;
  } cases[] = {
      {0x32, "7E 7E 32 00 63 F7"},  // presence poll
      {0x48, "7E 7E 48 00 84 65"},  // identify request
      {0x49, "7E 7E 49 00 B7 54"},  // closing command
      {0x60, "7E 7E 60 00 0B 2A"},  // read block 0
      {0x6F, "7E 7E 6F 00 1B 14"},  // read block 15
  };
  for (const auto& c : cases) {
    sent_.clear();
    frames_.SendCommand(c.code);
    ASSERT_EQ(sent_.size(), 1u) << std::hex << int(c.code);
    EXPECT_EQ(sent_[0], hex(c.bytes)) << std::hex << int(c.code);
    frames_.SendAgain();
    ASSERT_EQ(sent_.size(), 2u);
    EXPECT_EQ(sent_[1], sent_[0]) << "SendAgain repeats the store exactly";
  }
}

// The charger's replies: built by the simulator's side and taken apart by the receiver.
TEST_F(FramesFixture, ReplyFramesMatchTheKnownBytesBothWays) {
  const struct {
    std::uint8_t code;
    Bytes data;
    const char* bytes;
  } cases[] = {
      {0x30, {}, "7E 7E 30 00 05 95"},                           // no pager
      {0x31, {}, "7E 7E 31 00 36 A4"},                           // pager present
      {0x70, {}, "7E 7E 70 00 08 59"},                           // write block 0 acknowledged
      {0x48, {0x01, 0x03, 0x02}, "7E 7E 48 03 01 03 02 CA B8"},  // firmware 3 revision 2
  };
  for (const auto& c : cases) {
    const FrameBytes built = buildFrame(c.code, c.data);
    EXPECT_EQ(Bytes(built.view().begin(), built.view().end()), hex(c.bytes));
    delivered_.clear();
    feed(hex(c.bytes));
    ASSERT_EQ(delivered_.size(), 1u) << c.bytes;
    EXPECT_EQ(delivered_[0].code, c.code);
    EXPECT_EQ(delivered_[0].length, c.data.size());
    EXPECT_EQ(delivered_[0].data, c.data);
    EXPECT_TRUE(delivered_[0].checksumOk);
  }
}

TEST_F(FramesFixture, WriteBlockTakesItsBlockOfTheWriteImageAndWaitsForSendAgain) {
  frames_.BuildWriteBlock(0x70);
  EXPECT_TRUE(sent_.empty()) << "building does not send";
  Bytes zeroBlock = hex("7E 7E 70 40");
  zeroBlock.insert(zeroBlock.end(), 64, 0x00);
  zeroBlock.push_back(0x51);
  zeroBlock.push_back(0x10);
  frames_.SendAgain();
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0], zeroBlock);

  for (std::size_t i = 0; i < image_.size(); ++i)
    image_[i] = static_cast<std::uint8_t>(i * 7 + (i >> 6));
  for (std::uint8_t code : {0x75, 0x7E, 0x7F}) {
    frames_.BuildWriteBlock(code);
    const auto& store = frames_.transmitStore();
    ASSERT_EQ(store.length, 70u);
    const std::size_t block = code & 0x0F;
    EXPECT_EQ(store.bytes[2], code);
    EXPECT_EQ(store.bytes[3], 0x40);
    EXPECT_TRUE(
        std::equal(store.bytes.begin() + 4, store.bytes.begin() + 68, image_.begin() + 64 * block))
        << "block " << block;
  }
}

Bytes readReply(std::uint8_t block, std::uint8_t fill) {
  const Bytes data(64, fill);
  const FrameBytes f = buildFrame(static_cast<std::uint8_t>(0x60 + block), data);
  return Bytes(f.view().begin(), f.view().end());
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Byte streams, fed in the given pieces, and the frames that must come out of them.
TEST_F(FramesFixture, ReceiverTurnsStreamsIntoFrames) {
  const Bytes present = hex("7E 7E 31 00 36 A4");
  const Bytes noPager = hex("7E 7E 30 00 05 95");
  const Bytes reply3 = readReply(3, 0x11);
  const FrameBytes ack14Frame = buildFrame(0x7E);
  const Bytes ack14(ack14Frame.view().begin(), ack14Frame.view().end());
  struct Case {
    const char* name;
    std::vector<Bytes> feeds;
    std::vector<std::uint8_t> codes;
    std::vector<bool> checksums;
    ReceiverState after;
  };
  const Case cases[] = {
      {"frame split over two feeds",
       {Bytes(reply3.begin(), reply3.begin() + 30), Bytes(reply3.begin() + 30, reply3.end())},
       {0x63},
       {true},
       ReceiverState::Hunt1},
      {"two frames in one feed",
       {cat({present, reply3})},
       {0x31, 0x63},
       {true, true},
       ReceiverState::Hunt1},
      {"noise before a frame",
       {cat({hex("00 7E 55 7E 13 FF"), present})},
       {0x31},
       {true},
       ReceiverState::Hunt1},
      // The third 0x7E stands in the code position, the real code byte becomes the length.
      {"three lead bytes lose a block reply",
       {cat({hex("7E"), readReply(0, 0x22), noPager})},
       {0x30},
       {true},
       ReceiverState::Hunt1},
      {"three lead bytes lose a report", {cat({hex("7E"), present})}, {}, {}, ReceiverState::Data},
      {"unknown code refused at its code byte", {hex("7E 7E 49")}, {}, {}, ReceiverState::Hunt1},
      {"unknown code skipped whole",
       {cat({hex("7E 7E 49 00 B7 54"), present})},
       {0x31},
       {true},
       ReceiverState::Hunt1},
      {"length above 64 dropped",
       {cat({hex("7E 7E 60 41"), Bytes(65, 0x22), hex("00 00"), noPager})},
       {0x30},
       {true},
       ReceiverState::Hunt1},
      {"length 255 dropped",
       {cat({hex("7E 7E 31 FF 01 02"), present})},
       {0x31},
       {true},
       ReceiverState::Hunt1},
      {"wrong checksum still reaches the handler",
       {hex("7E 7E 31 00 36 A5")},
       {0x31},
       {false},
       ReceiverState::Hunt1},
      {"0x7E inside data and checksum", {readReply(0, 0x7E)}, {0x60}, {true}, ReceiverState::Hunt1},
      // Code 0x7E is the acknowledgement of write block 14.
      {"acknowledgement of block 14", {ack14}, {0x7E}, {true}, ReceiverState::Hunt1},
      {"frame cut short waits for the rest",
       {Bytes(present.begin(), present.begin() + 5)},
       {},
       {},
       ReceiverState::CrcLow},
  };
  for (const auto& c : cases) {
    LinkFrames fresh(ring_, nullptr, image_);
    std::vector<Delivered> got;
    fresh.setFrameHandler([&](const ReceivedFrame& f) {
      got.push_back({f.code(), f.length(), {}, f.checksumOk()});
    });
    for (const auto& piece : c.feeds) {
      arrive(piece);
      fresh.FeedReceiver();
    }
    std::vector<std::uint8_t> codes;
    std::vector<bool> checksums;
    for (const auto& d : got) {
      codes.push_back(d.code);
      checksums.push_back(d.checksumOk);
    }
    EXPECT_EQ(codes, c.codes) << c.name;
    EXPECT_EQ(checksums, c.checksums) << c.name;
    EXPECT_EQ(fresh.receiverState(), c.after) << c.name;
    EXPECT_EQ(ring_.readIndex(), ring_.writeIndex()) << c.name << ": every byte taken";
  }
}

TEST_F(FramesFixture, FeedContinuesAcrossTheRingEnd) {
  feed(Bytes(2040, 0x00));  // filler, read at once
  ASSERT_EQ(ring_.readIndex(), 2040);
  feed(readReply(9, 0xA5));  // 70 bytes: 8 before the end, 62 after it
  ASSERT_EQ(delivered_.size(), 1u);
  EXPECT_EQ(delivered_[0].code, 0x69);
  EXPECT_EQ(delivered_[0].data, Bytes(64, 0xA5));
  EXPECT_TRUE(delivered_[0].checksumOk);
  EXPECT_EQ(ring_.readIndex(), (2040 + 70) % 2048);
}

// The handler may send while the feed is running; the next frame is still taken after it.
TEST_F(FramesFixture, HandlerSendsBetweenFramesOfOneFeed) {
  frames_.setFrameHandler([this](const ReceivedFrame& f) {
    delivered_.push_back({f.code(), f.length(), {}, f.checksumOk()});
    frames_.SendCommand(static_cast<std::uint8_t>(0x60 + delivered_.size()));
  });
  feed(cat({readReply(0, 1), readReply(1, 2)}));
  EXPECT_EQ(codes(), (std::vector<std::uint8_t>{0x60, 0x61}));
  ASSERT_EQ(sent_.size(), 2u);
  EXPECT_EQ(sent_[0][2], 0x61);
  EXPECT_EQ(sent_[1][2], 0x62);
}

// Hostile bytes: every delivered frame must fit the receive frame store exactly.
TEST(FrameReceiver, HostileBytesNeverOverflowTheStore) {
  std::mt19937 random(20240611);
  FrameReceiver r;
  std::size_t frames = 0;
  for (int i = 0; i < 400000; ++i) {
    // Lead pairs often enough that many frames start.
    const std::uint8_t b = (random() % 8 == 0) ? 0x7E : static_cast<std::uint8_t>(random());
    if (r.take(b)) {
      ++frames;
      const auto& f = r.frame();
      ASSERT_LE(f.length(), 64);
      ASSERT_EQ(f.count, f.length() + 4u);
      ASSERT_TRUE(isChargerCode(f.code()));
    }
    ASSERT_LE(r.frame().count, 68u);
  }
  EXPECT_GT(frames, 100u);
}

}  // namespace
}  // namespace palor
