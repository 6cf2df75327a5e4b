// palor-pager-sim: a simulated desk charger with a pager in it, on a pseudo-terminal. The
// programmer opens the printed device path as if it were the charger's serial port.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "charger_device.h"
#include "eeprom_file.h"
#include "palor_version.h"
#include "pseudo_terminal.h"

namespace {

using namespace palor::sim;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// One byte on the line: start bit, 8 data bits, stop bit at 57600 bit/s.
constexpr nanoseconds kByteTime{1'000'000'000LL * 10 / 57600};

struct Options {
  DeviceOptions device;
  std::string imagePath;
  bool save = false;
  std::string linkPath;
  std::string controlPath;
  bool pace = true;
  bool quiet = false;
};

constexpr const char* kFooter = R"(
The simulator prints the device path of its pseudo-terminal on the first line of its
standard output; open that path (or the --link path) as the charger's serial port. It
answers as the charger and the pager do:
  presence poll 32        -> pager-present 31, or no-pager 30 when the charger is empty
  identify request 48     -> identification 48 [01 version revision]
  read block request 6b   -> read block reply 6b with the 64 bytes of EEPROM block b
  write block 7b (64 B)   -> acknowledgement 7b; after block 15 the pager writes its
                             EEPROM, then reports write-done 4A and verify-passed 4C
  closing command 49      -> no reply
Requests other than the presence poll are answered with no-pager 30 while the charger
is empty. Frames with a wrong checksum are ignored.

Commands, one per line on standard input or in the control FIFO:
  in       put the pager in (reported unasked with 31)
  out      take the pager out (reported unasked with 30)
  status   print "pager in" or "pager out" on standard output
  quit     end the simulator
Frame numbers for --drop-frame and --corrupt-frame count every frame the simulator
sends, from 1.)";

void parse(CLI::App& app, Options& o, int argc, char** argv) {
  app.description("Simulated desk charger (Dururovera) with a pager in it, on a pseudo-terminal.");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("palor-pager-sim ") + palor::kVersion);
  int version = 3, revision = 3;
  int delay = 0, writeTime = 300, verifyTime = 200;
  std::vector<unsigned> drop, corrupt;
  std::optional<unsigned> wrongBlock, pullAt;
  bool noPager = false, badIdentification = false, noPace = false;
  app.add_option("--image", o.imagePath,
                 "EEPROM image file (exactly 1024 bytes); without it the EEPROM holds "
                 "the programmer's start-up settings")
      ->check(CLI::ExistingFile);
  app.add_flag("--save", o.save, "write the EEPROM back to the --image file after each write")
      ->needs("--image");
  app.add_option("--link", o.linkPath, "also make a symbolic link at this path to the device");
  app.add_option("--control", o.controlPath,
                 "read commands from this FIFO as well (created when missing)");
  app.add_option("--firmware", version, "pager firmware version reported (default 3)")
      ->check(CLI::Range(0, 255));
  app.add_option("--revision", revision, "pager firmware revision reported (default 3)")
      ->check(CLI::Range(0, 255));
  app.add_flag("--bad-identification", badIdentification,
               "identification reply marked invalid (first data byte 0)");
  app.add_flag("--no-pager", noPager, "start with the charger empty");
  app.add_flag("--no-pace", noPace, "send at full speed instead of about 174 us per byte");
  app.add_option("--delay", delay, "delay every reply by this many milliseconds")
      ->check(CLI::Range(0, 600000));
  app.add_option("--write-time", writeTime, "milliseconds the pager takes to write its EEPROM")
      ->check(CLI::Range(0, 600000));
  app.add_option("--verify-time", verifyTime, "milliseconds the pager takes to verify it")
      ->check(CLI::Range(0, 600000));
  app.add_option("--drop-frame", drop, "do not send the Nth frame (repeatable)")
      ->check(CLI::Range(1u, 1000000u));
  app.add_option("--corrupt-frame", corrupt,
                 "send the Nth frame with a broken checksum (repeatable)")
      ->check(CLI::Range(1u, 1000000u));
  app.add_option("--wrong-block", wrongBlock,
                 "answer the read request and acknowledge the write of block B as block B+1")
      ->check(CLI::Range(0u, 15u));
  app.add_option("--pull-at-block", pullAt,
                 "take the pager out when block B is requested or written (once)")
      ->check(CLI::Range(0u, 15u));
  app.add_flag("--refuse-write", o.device.refuseWrite,
               "report write-impossible (4B) instead of writing the EEPROM");
  app.add_flag("--fail-verify", o.device.failVerify,
               "write the EEPROM, then report verify-failed (4D)");
  app.add_flag("-q,--quiet", o.quiet, "do not report events on standard error");
  app.parse(argc, argv);

  o.device.firmwareVersion = static_cast<std::uint8_t>(version);
  o.device.firmwareRevision = static_cast<std::uint8_t>(revision);
  o.device.identificationValid = !badIdentification;
  o.device.pagerPresent = !noPager;
  o.device.replyDelay = milliseconds(delay);
  o.device.writeTime = milliseconds(writeTime);
  o.device.verifyTime = milliseconds(verifyTime);
  o.device.dropFrames.insert(drop.begin(), drop.end());
  o.device.corruptFrames.insert(corrupt.begin(), corrupt.end());
  o.device.wrongBlock = wrongBlock;
  o.device.pullAtBlock = pullAt;
  o.pace = !noPace;
}

// Lines of commands from one descriptor (standard input or the control FIFO).
struct CommandSource {
  int fd = -1;
  std::string pending;
};

class Simulator {
 public:
  Simulator(const Options& options, ChargerDevice& device, PseudoTerminal& pty)
      : options_(options), device_(device), pty_(pty) {}

  void addSource(int fd) { sources_.push_back({fd, {}}); }
  int run(int signalFd);

 private:
  void pumpOutput(Clock::time_point now);
  void readLine(Clock::time_point now);
  bool readCommands(CommandSource& source, Clock::time_point now);
  bool command(const std::string& line, Clock::time_point now);

  const Options& options_;
  ChargerDevice& device_;
  PseudoTerminal& pty_;
  std::vector<CommandSource> sources_;
  std::vector<std::uint8_t> out_;
  Clock::time_point nextByte_{};
  bool waitWritable_ = false;
};

int Simulator::run(int signalFd) {
  for (;;) {
    const auto now = Clock::now();
    pumpOutput(now);

    std::optional<Clock::time_point> wake = device_.nextDue();
    if (!out_.empty() && !waitWritable_) wake = wake ? std::min(*wake, nextByte_) : nextByte_;
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (wake) {
      const auto wait = std::max(nanoseconds(0), *wake - Clock::now());
      timeout.tv_sec = static_cast<time_t>(wait.count() / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(wait.count() % 1'000'000'000);
      timeoutPtr = &timeout;
    }

    std::vector<pollfd> fds;
    fds.push_back({pty_.master(), static_cast<short>(POLLIN | (waitWritable_ ? POLLOUT : 0)), 0});
    fds.push_back({signalFd, POLLIN, 0});
    for (const auto& s : sources_) fds.push_back({s.fd, POLLIN, 0});
    if (::ppoll(fds.data(), fds.size(), timeoutPtr, nullptr) < 0) {
      if (errno == EINTR) continue;
      std::cerr << "palor-pager-sim: poll failed: " << std::strerror(errno) << '\n';
      return 1;
    }
    const auto after = Clock::now();
    if (fds[1].revents) return 0;  // SIGINT, SIGTERM or SIGHUP
    if (fds[0].revents & POLLOUT) waitWritable_ = false;
    if (fds[0].revents & POLLIN) readLine(after);
    // The simulator holds its own slave descriptor, so a hang-up here means the terminal
    // itself failed; waiting on it again would spin.
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[0].revents & POLLIN)) {
      std::cerr << "palor-pager-sim: the pseudo-terminal failed\n";
      return 1;
    }
    for (std::size_t i = 0; i < sources_.size(); ++i) {
      if (!fds[2 + i].revents) continue;
      if (!readCommands(sources_[i], after)) return 0;
    }
    std::erase_if(sources_, [](const CommandSource& s) { return s.fd < 0; });
  }
}

void Simulator::pumpOutput(Clock::time_point now) {
  auto due = device_.takeDue(now);
  if (!due.empty()) {
    if (out_.empty()) nextByte_ = std::max(nextByte_, now);
    out_.insert(out_.end(), due.begin(), due.end());
  }
  if (out_.empty() || waitWritable_ || (options_.pace && now < nextByte_)) return;
  std::size_t count = out_.size();
  if (options_.pace) count = std::min<std::size_t>(count, 1 + (now - nextByte_) / kByteTime);
  const ssize_t n = ::write(pty_.master(), out_.data(), count);
  if (n > 0) {
    out_.erase(out_.begin(), out_.begin() + n);
    nextByte_ += kByteTime * n;
  } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    waitWritable_ = true;  // nobody reads the port: wait for room
  }
}

void Simulator::readLine(Clock::time_point now) {
  std::uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = ::read(pty_.master(), chunk, sizeof chunk);
    if (n > 0) {
      device_.receive({chunk, static_cast<std::size_t>(n)}, now);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;
  }
}

// False when the simulator is to end.
bool Simulator::readCommands(CommandSource& source, Clock::time_point now) {
  char chunk[512];
  const ssize_t n = ::read(source.fd, chunk, sizeof chunk);
  if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return true;
  if (n <= 0) {  // closed or unusable: keep running, stop listening to it
    source.fd = -1;
    return true;
  }
  source.pending.append(chunk, static_cast<std::size_t>(n));
  if (source.pending.size() > 4096) source.pending.clear();  // no line is that long
  for (std::size_t eol; (eol = source.pending.find('\n')) != std::string::npos;) {
    std::string line = source.pending.substr(0, eol);
    source.pending.erase(0, eol + 1);
    if (!command(line, now)) return false;
  }
  return true;
}

bool Simulator::command(const std::string& raw, Clock::time_point now) {
  const auto first = raw.find_first_not_of(" \t\r");
  const auto last = raw.find_last_not_of(" \t\r");
  const std::string line = first == std::string::npos ? "" : raw.substr(first, last - first + 1);
  if (line.empty()) return true;
  if (line == "in") {
    device_.putPagerIn(now);
  } else if (line == "out") {
    device_.takePagerOut(now);
  } else if (line == "status") {
    std::cout << (device_.pagerPresent() ? "pager in" : "pager out") << std::endl;
  } else if (line == "quit") {
    return false;
  } else {
    std::cerr << "palor-pager-sim: unknown command '" << line << "' (in, out, status, quit)\n";
  }
  return true;
}

int openControl(const std::string& path, bool& created) {
  struct stat st {};
  created = false;
  if (::stat(path.c_str(), &st) != 0) {
    if (::mkfifo(path.c_str(), 0600) != 0) return -1;
    created = true;
  } else if (!S_ISFIFO(st.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  // Read and write: the simulator's own writer keeps the FIFO from reporting end of file
  // each time a controlling program closes its end.
  return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"palor-pager-sim"};
  Options options;
  try {
    parse(app, options, argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  ::sigprocmask(SIG_BLOCK, &signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
  if (signalFd < 0) ::sigprocmask(SIG_UNBLOCK, &signals, nullptr);  // at least let them end it

  int controlFd = -1;
  bool controlCreated = false;
  try {
    const Eeprom image =
        options.imagePath.empty() ? defaultPagerImage() : loadEeprom(options.imagePath);
    PseudoTerminal pty;
    std::optional<DeviceLink> link;
    if (!options.linkPath.empty()) link.emplace(options.linkPath, pty.devicePath());
    if (!options.controlPath.empty()) {
      controlFd = openControl(options.controlPath, controlCreated);
      if (controlFd < 0)
        throw std::runtime_error("cannot use " + options.controlPath +
                                 " as a control FIFO: " + std::strerror(errno));
    }

    ChargerDevice device(options.device, image);
    if (!options.quiet)
      device.onEvent([](const std::string& e) { std::cerr << "palor-pager-sim: " << e << '\n'; });
    if (options.save) {
      device.onEepromWritten([&options](const Eeprom& eeprom) {
        try {
          saveEeprom(options.imagePath, eeprom);
        } catch (const std::exception& e) {
          std::cerr << "palor-pager-sim: " << e.what() << '\n';
        }
      });
    }

    std::cout << pty.devicePath() << std::endl;
    Simulator simulator(options, device, pty);
    simulator.addSource(STDIN_FILENO);
    if (controlFd >= 0) simulator.addSource(controlFd);
    const int result = simulator.run(signalFd);
    if (controlFd >= 0) ::close(controlFd);
    if (controlCreated) ::unlink(options.controlPath.c_str());
    return result;
  } catch (const std::exception& e) {
    std::cerr << "palor-pager-sim: " << e.what() << '\n';
    if (controlFd >= 0) ::close(controlFd);
    if (controlCreated) ::unlink(options.controlPath.c_str());
    return 1;
  }
}
