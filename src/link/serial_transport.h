// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The serial transport: the one serial port through which the programmer talks to the desk
// charger. It opens a port by path (exclusively: a second open, from this process or
// another, fails), sets it raw at 57600 bit/s 8N1, purges it, runs a ReceiveThread that
// fills the receive ring, sends bytes and closes the port again. It knows nothing of
// frames. Everything except the receive worker runs on the user-interface thread.
#include <termios.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "link/receive_ring.h"
#include "link/receive_thread.h"

namespace palor {

// Why a port did not open, as a value the port watch can put in words.
struct PortOpenError {
  enum class Kind {
    NotFound,      // no such device node, or no device behind it
    Busy,          // another opener holds it (its lock, or its exclusive use)
    NoPermission,  // the device node's rights keep this user out
    NotATerminal,  // the name is no serial port: a file, a folder, another device
    AlreadyOpen,   // this transport has a port open already
    Other,
  };
  Kind kind = Kind::Other;
  // NoPermission: the group that owns the device node ("dialout"), empty when unknown;
  // Other: the system's text.
  std::string detail;
  // NoPermission: who may open the device node. Group: its group may read and write it,
  // so joining that group lets the user in. OwnerOnly: the group may not (mode 0600, say),
  // and naming it would be wrong advice. Unknown: the node could not be examined.
  enum class Opener { Unknown, Group, OwnerOnly };
  Opener opener = Opener::Unknown;
};

// The udev rule the package installs into udev's rules directory: it gives the charger's
// port to the user logged in at the seat.
inline constexpr const char* kUdevRuleName = "70-palor-programmer.rules";

// The reason in words, to follow "Cannot open /dev/ttyUSB0: ": "the port does not exist",
// "permission denied (the port belongs to group dialout; ...)", "permission denied (only
// the port's owner may open it; ...)".
std::string describe(const PortOpenError& error);

// open's answer: success, or why the port did not open. Tests true on success.
class [[nodiscard]] PortOpenOutcome {
 public:
  PortOpenOutcome() = default;
  PortOpenOutcome(PortOpenError error) : error_(std::move(error)) {}  // NOLINT: converts
  explicit operator bool() const { return !error_; }
  // Only on failure.
  const PortOpenError& error() const { return *error_; }

 private:
  std::optional<PortOpenError> error_;
};

// What opening `path` would meet now: the port is opened and locked as SerialTransport
// opens it, and let go at once (its line settings are left alone).
PortOpenOutcome checkPort(const std::string& path);

class SerialTransport {
 public:
  SerialTransport() = default;
  ~SerialTransport();
  SerialTransport(const SerialTransport&) = delete;
  SerialTransport& operator=(const SerialTransport&) = delete;

  // Fails, changing nothing, when a port is already open; fails with the transport closed
  // when the path is missing, busy, not a terminal or not accessible, and says which.
  // Clears the transmission-suppressed flag and starts the receive worker on success.
  PortOpenOutcome open(const std::string& path);
  // Sends the bytes unless transmission is suppressed, no port is open or the link was
  // lost; returns whether all of them were handed to the port. Does not wait for them to
  // go out on the line.
  bool transmit(std::span<const std::uint8_t> bytes);
  // Stops the receive worker, then closes the port. Succeeds with no port open. The port
  // is closed afterwards even when the system reports an error, which is then returned.
  bool close();
  // Waits, at most `limit`, until the bytes sent so far have left the port (used at the
  // end of the program so that the closing command goes out before the port is closed).
  bool drainOutput(std::chrono::milliseconds limit);

  bool isOpen() const { return fd_ >= 0; }
  const std::string& portPath() const { return path_; }
  // The receive worker of the open port has ended by itself: the far side hung up or the
  // adapter was pulled out. Sending then does nothing until the port is closed and opened.
  bool linkLost() const { return worker_ && worker_->ended(); }

  void setTransmissionSuppressed(bool suppressed) { suppressed_ = suppressed; }
  bool transmissionSuppressed() const { return suppressed_; }

  ReceiveRing& ring() { return ring_; }
  const ReceiveRing& ring() const { return ring_; }

 private:
  int fd_ = -1;
  std::string path_;
  // The line settings the port had when it was opened, put back when it is closed: a
  // port probed that was no charger (a console, another device) is left as it was found.
  termios found_{};
  bool suppressed_ = false;
  ReceiveRing ring_;
  std::unique_ptr<ReceiveThread> worker_;
};

}  // namespace palor
