// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pager protocol: the programmer's side of the conversation with the desk charger and
// the pager in it. It notices the charger's reports that a pager was put in or taken out,
// identifies the pager, reads its EEPROM block by block into the read image and writes the
// write image block by block, then waits for the pager's own write and verify reports.
//
// It never reads a clock: Com_clockTimer advances it, and 96 ticks without received data
// are one time-out period. It formats no UI: what happens is told to its Owner (messages
// by their LinkMessage, the link items, the progress display), which keeps the window.
#include <cstdint>
#include <optional>
#include <string_view>

#include "config/image_layout.h"
#include "link/link_frames.h"

namespace palor {

enum class ProtocolState : std::uint8_t { Idle, Connecting, Reading, Writing };

// Every status-log line the link writes.
enum class LinkMessage : std::uint8_t {
  DururoveraConnected,
  DururoveraDisconnected,
  PagerDisconnected,
  PagerConnected,
  UnsupportedPager,
  FirmwareTooNew,
  ReadDataFromPager,
  ReadEepromOk,
  ReadEepromBadChecksum,
  HardwareSettingsUnread,
  ReadTimedOut,
  ReadEepromFailed,
  WritingEeprom,
  WriteEepromSucceeded,
  CannotWriteEeprom,
  VerifyEepromSucceeded,
  VerifyEepromFailed,
  WriteEepromCompleted,
  WriteTimedOut,
  WriteEepromFailed,
  CommunicationError,
  OperationCancelled,
};

// What every part of the link tells the window that owns it: status-log lines and the
// state of the link items.
class LinkOwner {
 public:
  virtual ~LinkOwner() = default;
  virtual void logMessage(LinkMessage message) = 0;
  virtual void SetLinkItems(bool enabled) = 0;
};

// What LblInfoRWPager says while the pager is busy.
enum class BusyInfo : std::uint8_t { Reading, Writing };

// How a read or a write ended.
enum class LinkOutcome : std::uint8_t {
  Completed,    // read: all blocks arrived and were adopted; write: the pager verified it
  BadChecksum,  // read: all blocks arrived, but the image failed its checksum test
  Failed,       // a wrong answer or report, the pager taken out, the port lost
  TimedOut,     // the request in hand ran out of time-out periods
  Cancelled,    // Stop
};

// The end of a read or a write, as its owner and the programs that run it learn it.
struct LinkEnd {
  BusyInfo operation;
  LinkOutcome outcome;
  // A read run by a write before writing (the read-before-write mark was set).
  bool beforeWrite = false;
  bool completed() const { return outcome == LinkOutcome::Completed; }
  friend bool operator==(const LinkEnd&, const LinkEnd&) = default;
};

class PagerProtocol {
 public:
  static constexpr int kTicksPerPeriod = 96;  // 96 x 40 ms = 3.84 s of silence
  static constexpr int kProgressMaximum = static_cast<int>(kBlockCount);
  static constexpr std::uint8_t kAcceptedVersionLow = 2;
  static constexpr std::uint8_t kAcceptedVersionHigh = 3;

  // What the protocol tells the window that owns it, beside what every part of the link
  // tells it.
  class Owner : public LinkOwner {
   public:
    virtual void SetFileHelp(bool enabled) = 0;
    virtual void setInfoText(BusyInfo info) = 0;
    // ShowBusy's display: ProgressBar1 (maximum 16, position 0), read_write_stop and
    // LblInfoRWPager shown or hidden.
    virtual void showProgress(bool shown) = 0;
    virtual void setProgressPosition(int position) = 0;
    // A pager of an accepted version was identified ("Pager connected." is logged): the
    // controls that depend on the firmware follow it.
    virtual void pagerIdentified(std::uint8_t version, std::uint8_t revision) = 0;
    // A read or a write ended; its status-log lines are written. A read that completed has
    // its image adopted into the write image ("Read eeprom OK!"); when it was a write's
    // preliminary read, the owner runs that write now.
    virtual void operationEnded(LinkEnd end) = 0;
  };

  PagerProtocol(LinkFrames& frames, ReceiveRing& ring, ImageBuffer& images, Owner& owner);

  // The 40 ms tick: received frames, then the time-out step.
  void Com_clockTimer();
  // Called by the frame receiver for every completed frame.
  void handleFrame(const ReceivedFrame& frame);

  // Read_From_Pager: asks for block 0x60 at once.
  void read();
  // The write proper, once the write image is encoded and its checksums filled: block 0x70
  // is built and goes out when the next time-out period ends.
  void write();
  // The Stop button: back to Idle, nothing sent. A write whose preliminary read is stopped
  // reads again when it is next started.
  void Stop();
  void ShowBusy(bool on);

  // The port watch opened a port: Connecting, the probe mark, a presence poll.
  void startProbe();
  // The port went away under the link (pulled out, hung up): a read or write in hand fails
  // at once, as when the pager is taken out, rather than waiting out its time-outs.
  void portLost();
  // The closing command, at shutdown.
  void sendClosingCommand() { frames_.SendCommand(code::kClosing); }

  ProtocolState state() const { return state_; }
  bool busy() const { return state_ == ProtocolState::Reading || state_ == ProtocolState::Writing; }
  std::uint8_t firmwareVersion() const { return firmwareVersion_; }
  std::uint8_t firmwareRevision() const { return firmwareRevision_; }
  void setFirmwareVersion(std::uint8_t version) { firmwareVersion_ = version; }
  int progressPosition() const { return progress_; }
  // How the last read or write ended; empty from the start of one until its end.
  const std::optional<LinkEnd>& lastEnd() const { return lastEnd_; }

  // Marks the port watch and the write command share with the protocol.
  bool probe() const { return probe_; }
  void clearProbe() { probe_ = false; }
  // Read and cleared in one step by the port watch.
  bool takeChargerAnswered();
  bool readBeforeWrite() const { return readBeforeWrite_; }
  void setReadBeforeWrite(bool set) { readBeforeWrite_ = set; }
  // Read and cleared in one step by the first write after an identification.
  bool takeNewPager();

 private:
  void timeOutStep();
  void handleInConnecting(const ReceivedFrame& frame);
  void handleInReading(const ReceivedFrame& frame);
  void handleInWriting(const ReceivedFrame& frame);
  void identify(const ReceivedFrame& reply);
  // The start of a read or a write: LblInfoRWPager's text, ShowBusy, one try in hand.
  void becomeBusy(ProtocolState operation);
  void advanceProgress();
  // The one end of a read or a write (FinishRead and FinishWrite): ShowBusy (off), the
  // closing lines of the status log, the marks, and the owner told.
  void finish(LinkOutcome outcome);
  // The read or write fails on an answer it cannot take now: "Communication error!", then
  // its failure line.
  void communicationError();
  void log(LinkMessage message) { owner_.logMessage(message); }

  LinkFrames& frames_;
  ReceiveRing& ring_;
  ImageBuffer& images_;
  Owner& owner_;

  ProtocolState state_ = ProtocolState::Idle;
  std::uint8_t tickCounter_ = 0;
  std::uint8_t retryCounter_ = 0;
  std::uint8_t readBlockCode_ = code::kReadBlock;
  std::uint8_t writeBlockCode_ = code::kWriteBlock;
  std::uint8_t firmwareVersion_ = 3;
  std::uint8_t firmwareRevision_ = 0;
  bool identifySkip_ = false;
  bool probe_ = false;
  bool chargerAnswered_ = false;
  // The last write block was acknowledged: the pager's write and verify reports count.
  bool reportsDue_ = false;
  bool readBeforeWrite_ = false;
  bool newPager_ = false;
  int progress_ = 0;
  std::optional<LinkEnd> lastEnd_;
};

}  // namespace palor
