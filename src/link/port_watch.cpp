// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/port_watch.h"

#include <algorithm>

#include "config/ascii_text.h"

namespace palor {

PortWatch::PortWatch(SerialTransport& transport, PagerProtocol& protocol, Owner& owner)
    : transport_(transport), protocol_(protocol), owner_(owner) {}

void PortWatch::InitPorts(PortSource source) {
  ports_.clear();
  pending_ = PendingDeviceChange::None;
  source_ = std::move(source);
  FillPorts();
}

bool PortWatch::FillPorts() {
  const std::size_t before = ports_.size();
  ports_ = source_ ? portList(source_()) : std::vector<std::string>();
  return ports_.size() != before;
}

std::pair<std::string, std::uint16_t> PortWatch::PortAt(std::uint16_t index) const {
  if (index >= ports_.size()) return {std::string(), kEndOfList};
  const auto next = static_cast<std::uint16_t>(index + 1);
  return {ports_[index], next < ports_.size() ? next : kEndOfList};
}

bool PortWatch::PortListed(const std::string& name) const {
  return std::any_of(ports_.begin(), ports_.end(),
                     [&](const std::string& p) { return equalIgnoringCase(p, name); });
}

void PortWatch::StartScan() {
  backOffs_.clear();
  if (ports_.empty()) {
    state_ = WatchState::Off;
    watchTimer_ = false;
    if (!transport_.isOpen() && !protocol_.busy()) comClock_ = false;
    return;
  }
  // A probe in hand is given up: left open under its name, the port would stop every
  // later scan at it without its answer ever being looked at.
  if (state_ == WatchState::Probing) abandonProbe();
  scanIndex_ = 0;
  state_ = WatchState::Scanning;
  comClock_ = true;
  watchTimer_ = true;
}

void PortWatch::watch_serialTimer() {
  watchTimer_ = false;
  ++ticks_;
  std::erase_if(backOffs_, [this](const BackOff& b) { return b.untilTick <= ticks_; });
  switch (state_) {
    case WatchState::Off: return;  // the timer stays stopped
    case WatchState::Scanning: scan(); break;
    case WatchState::Probing:
      if (protocol_.takeChargerAnswered())
        probeAnswered();
      else
        probeFailed();
      protocol_.clearProbe();
      break;
  }
  watchTimer_ = true;
}

void PortWatch::scan() {
  // A read or write in hand keeps its port; the scan waits until it has ended.
  if (protocol_.busy()) return;
  if (scanIndex_ == kEndOfList) scanIndex_ = 0;
  while (scanIndex_ != kEndOfList) {
    protocol_.clearProbe();
    auto [name, next] = PortAt(scanIndex_);
    scanIndex_ = next;
    if (name.empty()) continue;
    if (!remembered_.empty() && equalIgnoringCase(remembered_, name)) break;
    if (backingOff(name)) continue;
    // The port in hand is given up for this one. Its name goes with it: were it kept, the
    // scan would stop at a port nobody holds open any more and never reopen it.
    transport_.close();
    remembered_.clear();
    const PortOpenOutcome opened = transport_.open(name);
    if (opened) {
      remembered_ = name;
      state_ = WatchState::Probing;
      protocol_.startProbe();
      return;
    }
    refused(name, opened.error());
  }
}

void PortWatch::probeAnswered() {
  owner_.logMessage(LinkMessage::DururoveraConnected);
  disconnectTold_ = false;
  state_ = WatchState::Off;
}

void PortWatch::probeFailed() {
  backOff(remembered_);
  abandonProbe();
  state_ = WatchState::Scanning;
}

void PortWatch::abandonProbe() {
  protocol_.clearProbe();
  // An answer that came for this port must not pass for the next port's.
  (void)protocol_.takeChargerAnswered();
  transport_.close();
  remembered_.clear();
}

void PortWatch::DeviceChange(DeviceNotice notice) {
  PendingDeviceChange outcome = PendingDeviceChange::None;
  switch (notice) {
    case DeviceNotice::NodesChanged:
      if (pending_ == PendingDeviceChange::None) break;
      FillPorts();
      outcome = std::exchange(pending_, PendingDeviceChange::None);
      break;
    case DeviceNotice::Arrival:
      // Acted on when the nodes-changed notice that follows it comes.
      pending_ = PendingDeviceChange::Arrival;
      FillPorts();
      break;
    case DeviceNotice::Removal:
      // As on the NT family: acted on at once.
      pending_ = PendingDeviceChange::Removal;
      FillPorts();
      outcome = std::exchange(pending_, PendingDeviceChange::None);
      break;
  }
  switch (outcome) {
    case PendingDeviceChange::None: return;
    case PendingDeviceChange::Arrival: StartScan(); return;
    case PendingDeviceChange::Removal: removed(false); return;
  }
}

void PortWatch::PortHungUp() {
  if (!transport_.isOpen()) return;
  if (state_ == WatchState::Probing) {
    probeFailed();
    return;
  }
  removed(true);
}

void PortWatch::removed(bool openPortHungUp) {
  // An empty name is never listed: a removal before any port was opened loses it too.
  if (openPortHungUp || !PortListed(remembered_)) loseConnection();
  transport_.setTransmissionSuppressed(false);
  StartScan();
}

void PortWatch::loseConnection() {
  protocol_.portLost();
  owner_.SetLinkItems(false);
  // Once for each loss: the hang-up of a pulled adapter and its removal are one event.
  if (!std::exchange(disconnectTold_, true)) owner_.logMessage(LinkMessage::DururoveraDisconnected);
  transport_.close();
  remembered_.clear();
}

bool PortWatch::backingOff(const std::string& name) const {
  return std::any_of(backOffs_.begin(), backOffs_.end(),
                     [&](const BackOff& b) { return equalIgnoringCase(b.port, name); });
}

void PortWatch::backOff(const std::string& name) {
  if (!name.empty() && !backingOff(name)) backOffs_.push_back({name, ticks_ + kBackOffTicks});
}

void PortWatch::refused(const std::string& name, const PortOpenError& error) {
  using Kind = PortOpenError::Kind;
  if (error.kind != Kind::NoPermission && error.kind != Kind::Busy) return;  // skipped silently
  // The open reached the device and someone else has it: leave it be for a while.
  if (error.kind == Kind::Busy) backOff(name);
  const std::pair<std::string, Kind> told{name, error.kind};
  if (std::find(refusalsTold_.begin(), refusalsTold_.end(), told) != refusalsTold_.end()) return;
  refusalsTold_.push_back(told);
  owner_.portRefused(name, error);
}

}  // namespace palor
