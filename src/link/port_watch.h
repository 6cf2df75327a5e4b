// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The connection watch and the port list. Every 500 ms (watch_serialTimer) the watch opens
// the charger ports of the list one at a time, probes each with a presence poll and keeps
// the first one whose charger answers within one tick. The device-change handling refills
// the list when a port arrives or goes and starts the search again. The user never
// chooses a port. Linux takes the part of the NT family: a removal acts at once, an arrival
// when the nodes-changed notice that follows it comes.
//
// Beyond that, the watch never leaves a port for good: a port whose probe went unanswered
// (no charger behind it yet, or another device) or that another program holds is left
// alone for kBackOffTicks watch ticks and then tried again, so a charger switched on late
// is found without a restart or a replug, while a port with something else behind it is
// opened at most once every five and a half seconds. The back-off is counted in ticks,
// never read from a clock, and a device change starts every port afresh.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "link/device_monitor.h"
#include "link/pager_protocol.h"
#include "link/port_discovery.h"
#include "link/serial_transport.h"

namespace palor {

enum class WatchState : std::uint8_t { Off, Scanning, Probing };

// A port arrival or removal waiting for the nodes-changed notice that completes it.
enum class PendingDeviceChange : std::uint16_t { None, Arrival, Removal };

class PortWatch {
 public:
  // The scan index that marks the end of the list.
  static constexpr std::uint16_t kEndOfList = 255;
  // Watch ticks (of 500 ms) for which a port that was opened without finding a charger is
  // skipped by the scan.
  static constexpr std::uint32_t kBackOffTicks = 10;

  // What the watch tells the window that owns it.
  class Owner : public LinkOwner {
   public:
    // A listed port did not open for a reason the user can mend: no permission, or in use
    // by another program. Told once per port and reason in a run.
    virtual void portRefused(const std::string& port, const PortOpenError& error) = 0;
  };

  PortWatch(SerialTransport& transport, PagerProtocol& protocol, Owner& owner);

  // Start-up: the list empty and no device change pending, then the list filled from
  // `source`, which every later refill asks again.
  void InitPorts(PortSource source);
  // Fills the list from the source; whether the number of names changed.
  bool FillPorts();
  // The port list: sorted in text order ignoring letter case, each name once.
  const std::vector<std::string>& ports() const { return ports_; }
  std::size_t PortCount() const { return ports_.size(); }
  // The name at `index` and the index after it (kEndOfList past the last name); an empty
  // name and kEndOfList for an index at or past the end.
  std::pair<std::string, std::uint16_t> PortAt(std::uint16_t index) const;
  bool PortListed(const std::string& name) const;

  // Scanning from the first port, with both timers started, when the list holds a port
  // (a probe in hand is given up, its port closed); otherwise off, and with no port open
  // both timers stop, so that the program sleeps until the next device change. Every
  // back-off ends.
  void StartScan();
  void watch_serialTimer();

  // The device-change handling of one notice of the device monitor.
  void DeviceChange(DeviceNotice notice);
  // The open port's far side hung up (the adapter pulled out, the simulator ended): the
  // port's removal, said once, whether or not the device monitor reports it too. A port
  // that hangs up while it is being probed only fails its probe.
  void PortHungUp();

  WatchState state() const { return state_; }
  PendingDeviceChange pendingDeviceChange() const { return pending_; }
  // The 500 ms timer of the watch, and the 40 ms protocol timer that StartScan starts.
  bool watchTimerRunning() const { return watchTimer_; }
  bool comClockRunning() const { return comClock_; }
  // The port the watch holds open (probing it, or connected through it); empty when none.
  const std::string& rememberedPort() const { return remembered_; }
  void forgetRememberedPort() { remembered_.clear(); }

 private:
  void scan();
  void probeAnswered();
  // The port in hand is closed and left alone for a while; the scan goes on next tick.
  void probeFailed();
  // The probe's marks cleared, its port closed and forgotten.
  void abandonProbe();
  // The removal outcome: the open port gone (or hung up) loses the connection; then the
  // search starts again.
  void removed(bool openPortHungUp);
  void loseConnection();
  bool backingOff(const std::string& name) const;
  void backOff(const std::string& name);
  void refused(const std::string& name, const PortOpenError& error);

  SerialTransport& transport_;
  PagerProtocol& protocol_;
  Owner& owner_;
  PortSource source_;
  std::vector<std::string> ports_;
  PendingDeviceChange pending_ = PendingDeviceChange::None;
  WatchState state_ = WatchState::Off;
  std::uint16_t scanIndex_ = 0;
  std::string remembered_;
  bool watchTimer_ = false;
  bool comClock_ = false;
  // "Dururovera disconnected." has been said since the last "Dururovera connected.".
  bool disconnectTold_ = false;
  // Watch ticks so far, the clock of the back-off.
  std::uint32_t ticks_ = 0;
  struct BackOff {
    std::string port;
    std::uint32_t untilTick;  // skipped while the tick count is below
  };
  std::vector<BackOff> backOffs_;
  std::vector<std::pair<std::string, PortOpenError::Kind>> refusalsTold_;
};

}  // namespace palor
