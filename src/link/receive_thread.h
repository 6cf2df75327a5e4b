// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// ReceiveThread: the receive worker of one open serial port. It waits for received bytes
// with poll() on the port and on an eventfd that carries the stop request, moves every byte
// into the receive ring and sets the data-ready flag when the port's input queue is empty.
//
// The worker serves only the port it was started for. Its owner stops it (stop(): signal,
// then join) before closing the port, so it never touches a closed or foreign port. When
// the far side hangs up or the adapter is pulled out (hang-up, I/O error, end of file) the
// worker ends by itself instead of spinning, and ended() tells so.
#include <atomic>
#include <thread>

#include "link/receive_ring.h"

namespace palor {

class ReceiveThread {
 public:
  // Starts serving portFd at once. The caller keeps owning the descriptor.
  ReceiveThread(int portFd, ReceiveRing& ring);
  ~ReceiveThread();
  ReceiveThread(const ReceiveThread&) = delete;
  ReceiveThread& operator=(const ReceiveThread&) = delete;

  // Requests the stop and waits until the worker has ended. Idempotent.
  void stop();
  // The worker has ended, by stop() or because the port failed. A worker that could not
  // set itself up has ended from the start.
  bool ended() const { return ended_.load(std::memory_order_acquire); }

 private:
  void run();
  // Reads everything the port holds now; false when the port has failed or hung up.
  bool drainPort();

  const int port_;
  int stopEvent_ = -1;
  ReceiveRing& ring_;
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

}  // namespace palor
