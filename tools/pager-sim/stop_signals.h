// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The signals that end the simulator (SIGINT, SIGTERM, SIGHUP), turned into a request that
// its loop sees, so that it returns and every owner's destructor runs: the device link and
// the control FIFO are removed however the simulator is ended.
//
// While an instance lives the signals are blocked, except inside the loop's wait
// (ppoll with waitMask()): a signal that comes at any other moment stays pending until
// then, and none is lost between a test of requested() and the wait.
#include <signal.h>

namespace palor::sim {

class StopSignals {
 public:
  StopSignals();   // one instance at a time
  ~StopSignals();  // restores the signal mask and the handlers it found
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The signal mask to wait with: the one in force before, with the stop signals open.
  const sigset_t* waitMask() const { return &waitMask_; }
  // A stop signal has come; 0 when none has, or which one.
  int requested() const;

 private:
  sigset_t oldMask_{};
  sigset_t waitMask_{};
  struct sigaction oldInt_ {
  }, oldTerm_{}, oldHup_{};
};

}  // namespace palor::sim
