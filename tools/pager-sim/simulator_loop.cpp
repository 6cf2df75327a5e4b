// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator_loop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include "stop_signals.h"

namespace palor::sim {
namespace {

constexpr int kFailed = 1;

// A word from a command line, fit to be shown: bytes that are not printable become '?'.
std::string printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
  return text;
}

timespec toTimespec(Clock::duration wait) {
  const auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(wait, Clock::duration::zero()))
          .count();
  return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

SimulatorLoop::SimulatorLoop(ChargerDevice& device, int lineFd, bool paced, std::ostream& out,
                             std::ostream& errors)
    : device_(device), lineFd_(lineFd), line_(paced), out_(out), errors_(errors) {}

void SimulatorLoop::addCommandSource(int fd) { sources_.push_back({fd, {}}); }

int SimulatorLoop::run() {
  for (;;)
    if (const auto status = step()) return *status;
}

std::optional<int> SimulatorLoop::stopped() const {
  if (quit_ || (stop_ && stop_->requested())) return 0;
  return std::nullopt;
}

std::optional<int> SimulatorLoop::step(std::optional<Clock::duration> limit) {
  if (const auto status = stopped()) return status;
  const auto now = Clock::now();
  if (!sendDue(now)) return kFailed;

  // Wake for the device's next frame, the line's next byte, or the caller's limit.
  std::optional<Clock::time_point> wake = device_.nextDue();
  if (const auto byte = line_.nextDue()) wake = wake ? std::min(*wake, *byte) : *byte;
  if (limit) wake = wake ? std::min(*wake, now + *limit) : now + *limit;
  timespec timeout{};
  if (wake) timeout = toTimespec(*wake - Clock::now());

  std::vector<pollfd> fds;
  fds.push_back({lineFd_, static_cast<short>(POLLIN | (line_.waitingForRoom() ? POLLOUT : 0)), 0});
  for (const auto& s : sources_) fds.push_back({s.fd, POLLIN, 0});
  const int ready = ::ppoll(fds.data(), fds.size(), wake ? &timeout : nullptr,
                            stop_ ? stop_->waitMask() : nullptr);
  if (ready < 0) {
    if (errno == EINTR) return stopped();
    errors_ << "palor-pager-sim: waiting failed: " << std::strerror(errno) << std::endl;
    return kFailed;
  }

  const auto after = Clock::now();
  const short line = fds[0].revents;
  if (line & POLLOUT) line_.roomAgain(after);
  if ((line & POLLIN) && !receive(after)) return kFailed;
  // The simulator holds its own descriptor of the terminal's device, so a hang-up here
  // means that the terminal itself failed; waiting on it again would spin.
  if ((line & (POLLHUP | POLLERR | POLLNVAL)) && !(line & POLLIN)) {
    errors_ << "palor-pager-sim: the pseudo-terminal failed" << std::endl;
    return kFailed;
  }
  for (std::size_t i = 0; i < sources_.size(); ++i)
    if (fds[1 + i].revents && !readCommands(sources_[i], after)) break;
  std::erase_if(sources_, [](const Source& s) { return s.fd < 0; });
  return stopped();
}

// False when the line refuses bytes for another reason than lack of room.
bool SimulatorLoop::sendDue(Clock::time_point now) {
  line_.add(device_.takeDue(now), now);
  const auto bytes = line_.sendable(now);
  if (bytes.empty()) return true;
  const ssize_t n = ::write(lineFd_, bytes.data(), bytes.size());
  if (n >= 0) {
    line_.sent(static_cast<std::size_t>(n), bytes.size());
    return true;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK) {
    line_.full();  // nobody reads the port: wait for room
    return true;
  }
  if (errno == EINTR) return true;
  errors_ << "palor-pager-sim: cannot send to the programmer: " << std::strerror(errno)
          << std::endl;
  return false;
}

// False when the line cannot be read.
bool SimulatorLoop::receive(Clock::time_point now) {
  std::uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = ::read(lineFd_, chunk, sizeof chunk);
    if (n > 0) {
      device_.receive({chunk, static_cast<std::size_t>(n)}, now);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) return true;
    errors_ << "palor-pager-sim: cannot receive from the programmer: " << std::strerror(errno)
            << std::endl;
    return false;
  }
}

// False when a command ended the loop.
bool SimulatorLoop::readCommands(Source& source, Clock::time_point now) {
  char chunk[512];
  const ssize_t n = ::read(source.fd, chunk, sizeof chunk);
  if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return true;
  if (n <= 0) {  // closed or unusable: the simulator runs on without it
    source.fd = -1;
    return true;
  }
  for (const auto& line : source.lines.feed({chunk, static_cast<std::size_t>(n)})) {
    if (line.tooLong) {
      errors_ << "palor-pager-sim: command line longer than " << CommandLines::kMaxLine
              << " bytes ignored" << std::endl;
      continue;
    }
    const ParsedCommand parsed = parseCommand(line.text);
    if (parsed.command) {
      if (!run(*parsed.command, now)) return false;
    } else if (!parsed.unknown.empty()) {
      errors_ << "palor-pager-sim: unknown command '" << printable(parsed.unknown)
              << "' (in, out, status, quit)" << std::endl;
    }
  }
  return true;
}

bool SimulatorLoop::run(Command command, Clock::time_point now) {
  switch (command) {
    case Command::In: device_.putPagerIn(now); return true;
    case Command::Out: device_.takePagerOut(now); return true;
    case Command::Status:
      out_ << (device_.pagerPresent() ? "pager in" : "pager out") << std::endl;
      return true;
    case Command::Quit: quit_ = true; return false;
  }
  return true;
}

}  // namespace palor::sim
