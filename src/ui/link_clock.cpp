// SPDX-License-Identifier: GPL-3.0-or-later
#include "link_clock.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "vendrel.h"

namespace palor {
namespace {

// The next time of a timer that fired at `now` and was due at `due`: one interval on, or,
// when that has passed as well, one interval from now (the missed ticks are skipped).
LinkClock::Clock::time_point nextDue(LinkClock::Clock::time_point due,
                                     LinkClock::Clock::time_point now,
                                     LinkClock::Interval interval) {
  const auto next = due + interval;
  return next > now ? next : now + interval;
}

}  // namespace

void LinkClock::add(FormState& form) {
  if (std::find(forms_.begin(), forms_.end(), &form) == forms_.end()) forms_.push_back(&form);
}

void LinkClock::remove(FormState& form) { std::erase(forms_, &form); }

void LinkClock::watch(int fd, std::function<void()> ready) {
  unwatch(fd);
  watched_.push_back({fd, std::move(ready)});
}

void LinkClock::unwatch(int fd) {
  std::erase_if(watched_, [fd](const Watched& w) { return w.fd == fd; });
}

bool LinkClock::runUntil(const std::function<bool()>& done, Clock::duration limit) {
  const auto start = Clock::now();
  const auto deadline = start + limit;
  auto nextTick = start + intervals_.comClock;
  auto nextWatch = start + intervals_.watchSerial;
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    sleepUntil(std::min({nextTick, nextWatch, deadline}));
    if (done()) return true;
    const auto now = Clock::now();
    if (now >= nextTick) {
      for (FormState* form : std::vector(forms_))
        if (form->window().comClockRunning) form->Com_clockTimer();
      nextTick = nextDue(nextTick, now, intervals_.comClock);
    }
    if (now >= nextWatch) {
      for (FormState* form : std::vector(forms_))
        if (form->window().watchSerialRunning) form->watch_serialTimer();
      nextWatch = nextDue(nextWatch, now, intervals_.watchSerial);
    }
  }
  return true;
}

void LinkClock::runFor(Clock::duration period) {
  runUntil([] { return false; }, period);
}

void LinkClock::sleepUntil(Clock::time_point until) {
  // The forms' monitors are asked anew each time: a form opens its monitor at start-up.
  std::vector<pollfd> fds;
  std::vector<std::function<void()>> handlers;
  for (FormState* form : forms_) {
    const int monitor = form->link().deviceMonitorFd();
    if (monitor < 0) continue;
    fds.push_back({monitor, POLLIN, 0});
    handlers.emplace_back([form] { form->DeviceChange(); });
  }
  for (const Watched& w : watched_) {
    fds.push_back({w.fd, POLLIN, 0});
    handlers.push_back(w.ready);
  }
  const auto left = std::chrono::ceil<Interval>(until - Clock::now()).count();
  const int timeout = static_cast<int>(std::max<Interval::rep>(left, 0));
  // With no descriptor, poll only sleeps.
  if (::poll(fds.data(), fds.size(), timeout) <= 0) return;
  for (std::size_t i = 0; i < fds.size(); ++i)
    if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) handlers[i]();
}

}  // namespace palor
