#include "link/port_watch.h"

#include <algorithm>
#include <cctype>

namespace palor {
namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

bool lessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return lower(x) < lower(y); });
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

PortWatch::PortWatch(SerialTransport& transport, PagerProtocol& protocol, Log log)
    : transport_(transport), protocol_(protocol), log_(std::move(log)) {}

void PortWatch::setPorts(std::vector<std::string> ports) {
  std::sort(ports.begin(), ports.end(), lessIgnoringCase);
  ports.erase(std::unique(ports.begin(), ports.end(), equalIgnoringCase), ports.end());
  ports_ = std::move(ports);
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
  if (ports_.empty()) {
    state_ = WatchState::Off;
    return;
  }
  scanIndex_ = 0;
  state_ = WatchState::Scanning;
  comClock_ = true;
  watchTimer_ = true;
}

void PortWatch::watch_serialTimer() {
  watchTimer_ = false;
  switch (state_) {
    case WatchState::Off: return;  // the timer stays stopped
    case WatchState::Scanning:
      if (scanIndex_ == kEndOfList) scanIndex_ = 0;
      while (scanIndex_ != kEndOfList) {
        protocol_.clearProbe();
        auto [name, next] = PortAt(scanIndex_);
        scanIndex_ = next;
        if (name.empty()) continue;
        if (!remembered_.empty() && equalIgnoringCase(remembered_, name)) break;
        transport_.close();
        if (transport_.open(name)) {
          remembered_ = name;
          state_ = WatchState::Probing;
          protocol_.startProbe();
          break;
        }
      }
      break;
    case WatchState::Probing:
      if (protocol_.takeChargerAnswered()) {
        log_(LinkMessage::DururoveraConnected);
        state_ = WatchState::Off;
      } else {
        // A port whose charger did not answer is closed and probed again when the scan
        // comes back to it, so a charger switched on late is still found.
        transport_.close();
        remembered_.clear();
        state_ = WatchState::Scanning;
      }
      protocol_.clearProbe();
      break;
  }
  watchTimer_ = true;
}

}  // namespace palor
