#pragma once
// The connection watch: every 500 ms (watch_serialTimer) it opens the charger ports of the
// port list one at a time, probes each with a presence poll and keeps the first one whose
// charger answers within one tick. The user never chooses a port.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/pager_protocol.h"
#include "link/serial_transport.h"

namespace palor {

enum class WatchState : std::uint8_t { Off, Scanning, Probing };

class PortWatch {
 public:
  // The scan index that marks the end of the list.
  static constexpr std::uint16_t kEndOfList = 255;

  using Log = std::function<void(LinkMessage)>;

  PortWatch(SerialTransport& transport, PagerProtocol& protocol, Log log);

  // The port list: sorted in text order ignoring letter case, each name once.
  void setPorts(std::vector<std::string> ports);
  const std::vector<std::string>& ports() const { return ports_; }
  std::size_t PortCount() const { return ports_.size(); }
  // The name at `index` and the index after it (kEndOfList past the last name); an empty
  // name and kEndOfList for an index at or past the end.
  std::pair<std::string, std::uint16_t> PortAt(std::uint16_t index) const;
  bool PortListed(const std::string& name) const;

  // Scanning from the first port, with both timers started, when the list holds a port;
  // otherwise off.
  void StartScan();
  void watch_serialTimer();

  WatchState state() const { return state_; }
  // The 500 ms timer of the watch, and the 40 ms protocol timer that StartScan starts and
  // nothing in the watch stops.
  bool watchTimerRunning() const { return watchTimer_; }
  bool comClockRunning() const { return comClock_; }
  const std::string& rememberedPort() const { return remembered_; }
  void forgetRememberedPort() { remembered_.clear(); }

 private:
  SerialTransport& transport_;
  PagerProtocol& protocol_;
  Log log_;
  std::vector<std::string> ports_;
  WatchState state_ = WatchState::Off;
  std::uint16_t scanIndex_ = 0;
  std::string remembered_;
  bool watchTimer_ = false;
  bool comClock_ = false;
};

// Text order with the letter case of ASCII letters ignored.
bool lessIgnoringCase(const std::string& a, const std::string& b);
bool equalIgnoringCase(const std::string& a, const std::string& b);

}  // namespace palor
