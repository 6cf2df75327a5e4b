// SPDX-License-Identifier: GPL-3.0-or-later
#include "stop_signals.h"

#include <csignal>

namespace palor::sim {
namespace {

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void noteStopSignal(int signal) { gStopSignal = signal; }

}  // namespace

StopSignals::StopSignals() {
  gStopSignal = 0;
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGHUP);
  ::sigprocmask(SIG_BLOCK, &stop, &oldMask_);
  waitMask_ = oldMask_;
  sigdelset(&waitMask_, SIGINT);
  sigdelset(&waitMask_, SIGTERM);
  sigdelset(&waitMask_, SIGHUP);

  struct sigaction note {};
  note.sa_handler = noteStopSignal;
  sigemptyset(&note.sa_mask);
  ::sigaction(SIGINT, &note, &oldInt_);
  ::sigaction(SIGTERM, &note, &oldTerm_);
  ::sigaction(SIGHUP, &note, &oldHup_);
}

StopSignals::~StopSignals() {
  // Pending stop signals are taken here by the handler, then the old handlers come back.
  ::sigprocmask(SIG_SETMASK, &oldMask_, nullptr);
  ::sigaction(SIGINT, &oldInt_, nullptr);
  ::sigaction(SIGTERM, &oldTerm_, nullptr);
  ::sigaction(SIGHUP, &oldHup_, nullptr);
}

int StopSignals::requested() const { return gStopSignal; }

}  // namespace palor::sim
