#include "link_commands.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "files/atomic_file.h"
#include "link/port_discovery.h"
#include "link/serial_transport.h"
#include "session.h"
#include "ui/messages.h"

namespace palor::ctl {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kComClockInterval{40};
constexpr milliseconds kWatchInterval{500};
// A read or write ends by the protocol's own time-outs well within this; it only guards
// against a pager that keeps talking without ever finishing.
constexpr std::chrono::seconds kOperationLimit{300};

volatile std::sig_atomic_t interrupted = 0;
extern "C" void onInterrupt(int) { interrupted = 1; }

std::string hexBytes(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  char digits[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", bytes[i]);
    text += digits;
  }
  return text;
}

// The window's link, run in real time: the two timers tick as the window's would, the
// status log goes to standard error and every frame, when asked, to a trace file.
class LinkRun {
 public:
  LinkRun(const LinkOptions& options, StartUpEnvironment environment)
      : session_(std::move(environment)), start_(Clock::now()) {
    FormState& form = session_.form;
    form.log().setObserver([this](const std::string& line) { logLine(line); });
    if (options.trace) {
      trace_.open(*options.trace, std::ios::trunc);
      form.link().setSentObserver([this](std::span<const std::uint8_t> bytes) {
        traceLine('>', hexBytes(bytes.data(), bytes.size()));
      });
      form.link().setReceivedObserver([this](const ReceivedFrame& frame) {
        traceLine('<', "7E 7E " + hexBytes(frame.bytes.data(), frame.count));
      });
    }
    form.setWindowObserver([this] { drawProgress(); });
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
  }

  ~LinkRun() {
    // The command ends as the window ends: closing command, drained, port closed.
    session_.form.setWindowObserver({});
    session_.form.shutDown();
    session_.form.link().setSentObserver({});
    session_.form.link().setReceivedObserver({});
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
  }

  Session& session() { return session_; }
  FormState& form() { return session_.form; }
  bool traceOpen() const { return trace_.is_open(); }
  bool interrupted() const { return ::palor::ctl::interrupted != 0; }

  // Ticks until `done` holds; false when `limit` passes first or the user interrupts.
  // Between ticks it sleeps on the device monitor, so a plugged or pulled port is handled
  // as soon as it is reported, as the window's notifier handles it.
  bool runUntil(const std::function<bool()>& done, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    auto nextTick = Clock::now() + kComClockInterval;
    auto nextWatch = Clock::now() + kWatchInterval;
    while (!done()) {
      if (interrupted() || Clock::now() >= deadline) return false;
      if (sleepOnMonitorUntil(std::min({nextTick, nextWatch, deadline}))) {
        form().DeviceChange();
        continue;
      }
      const auto now = Clock::now();
      if (now >= nextTick) {
        if (form().window().comClockRunning) form().Com_clockTimer();
        nextTick = std::max(nextTick + kComClockInterval, now + milliseconds(1));
      }
      if (now >= nextWatch) {
        if (form().window().watchSerialRunning) form().watch_serialTimer();
        nextWatch = std::max(nextWatch + kWatchInterval, now + milliseconds(1));
      }
    }
    return true;
  }

  // Waits for a charger with an identified pager; false (with the reason said) otherwise.
  bool connect(double timeoutSeconds) {
    if (form().link().watch().ports().empty()) {
      refused("no charger port to try (plug the charger in, or give --port PATH)");
      return false;
    }
    const auto limit = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(timeoutSeconds));
    const bool ready = runUntil([&] { return form().window().readFromPagerEnabled || rejected_; }, limit);
    if (ready && !rejected_) return true;
    if (interrupted()) {
      refused("interrupted");
    } else if (!rejected_) {
      std::string tried;
      for (const std::string& port : form().link().watch().ports())
        tried += (tried.empty() ? "" : ", ") + port;
      refused("no charger with a pager answered within " + formatSeconds(timeoutSeconds) +
              " s (ports tried: " + (tried.empty() ? "none left, the adapter was pulled out" : tried) +
              ")");
    }
    return false;
  }

  // Runs the read or write that `start` begins to its end; whether `operation` completed.
  bool operate(const std::function<void()>& start, BusyInfo operation) {
    start();
    if (!runUntil([&] { return !form().link().protocol().busy(); }, kOperationLimit)) {
      if (form().link().protocol().busy()) form().read_write_stopClick();
      refused(interrupted() ? "interrupted" : "the pager did not finish");
      return false;
    }
    const std::optional<LinkEnd>& end = form().link().protocol().lastEnd();
    return end && end->operation == operation && end->completed();
  }

 private:
  // Sleeps until `until`, or until the device monitor reports; whether it reported.
  bool sleepOnMonitorUntil(Clock::time_point until) {
    const int monitor = form().link().deviceMonitorFd();
    const auto left = std::chrono::ceil<milliseconds>(until - Clock::now());
    if (monitor < 0) {
      std::this_thread::sleep_until(until);
      return false;
    }
    pollfd wake{monitor, POLLIN, 0};
    const int timeout = static_cast<int>(std::max<milliseconds::rep>(left.count(), 0));
    return ::poll(&wake, 1, timeout) > 0 && (wake.revents & POLLIN);
  }

  static std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
  }

  void logLine(const std::string& line) {
    clearProgress();
    std::cerr << line << '\n';
    if (line == msg::kUnsupportedPager || line == msg::kFirmwareTooNew) rejected_ = true;
  }

  void traceLine(char direction, const std::string& hex) {
    const auto ms = std::chrono::duration_cast<milliseconds>(Clock::now() - start_).count();
    trace_ << ms << ' ' << direction << ' ' << hex << '\n';
    trace_.flush();
  }

  // The progress bar, drawn only on a terminal.
  void drawProgress() {
    if (!::isatty(STDERR_FILENO)) return;
    const MainWindowState& w = form().window();
    if (!w.progressVisible) {
      clearProgress();
      return;
    }
    const int total = std::max(w.progressMaximum, 1);
    std::string bar(static_cast<std::size_t>(w.progressPosition), '#');
    bar.resize(static_cast<std::size_t>(total), '.');
    std::cerr << '\r' << w.infoRWPagerText << " [" << bar << "] " << w.progressPosition << '/'
              << total << std::flush;
    progressShown_ = true;
  }
  void clearProgress() {
    if (!progressShown_) return;
    std::cerr << "\r\033[K" << std::flush;
    progressShown_ = false;
  }

  Session session_;
  Clock::time_point start_;
  std::ofstream trace_;
  bool rejected_ = false;
  bool progressShown_ = false;
};

// --port is the only port for the whole run; without it the ports are the window's: the
// adapter's ports and PALOR_EXTRA_PORTS, refilled as ports are plugged in and pulled out.
StartUpEnvironment environmentFor(const LinkOptions& options) {
  StartUpEnvironment environment;
  if (options.port) {
    environment.ports = {*options.port};
  } else {
    environment.portSource = systemPorts;
    environment.watchDevices = true;
  }
  return environment;
}

// What `palorctl ports` says of a port that would not open.
std::string openState(const PortOpenOutcome& opened) {
  using Kind = PortOpenError::Kind;
  if (opened) return "ok";
  const PortOpenError& error = opened.error();
  switch (error.kind) {
    case Kind::NotFound: return "missing";
    case Kind::Busy: return "in use";
    case Kind::NoPermission:
      if (error.opener == PortOpenError::Opener::OwnerOnly) return "no permission (owner only)";
      return error.detail.empty() ? "no permission" : "no permission (group " + error.detail + ")";
    case Kind::NotATerminal: return "not a serial port";
    case Kind::AlreadyOpen:
    case Kind::Other: break;
  }
  return describe(error);
}

bool openTrace(const LinkRun& run, const LinkOptions& options) {
  if (!options.trace || run.traceOpen()) return true;
  refused(*options.trace + ": cannot write the trace");
  return false;
}

// File / Save of the configuration the window holds now.
bool saveAsFileSaveDoes(FormState& form, const std::string& path) {
  return form.PreStoreChecks() && form.SaveConfigurationFile(path);
}

}  // namespace

int ports() {
  for (const std::string& port : portList(systemPorts()))
    std::cout << port << '\t' << openState(checkPort(port)) << '\n';
  return kDone;
}

int read(const std::string& out, bool raw, const LinkOptions& link, const CommonOptions& options) {
  return guarded([&] {
    LinkRun run(link, environmentFor(link));
    if (!openTrace(run, link)) return kRefused;
    if (options.firmware) run.form().setFirmwareVersion(*options.firmware);
    if (!run.connect(link.timeoutSeconds)) return kRefused;
    if (!run.operate([&] { run.form().ReadFromPagerClick(); }, BusyInfo::Reading))
      return kRefused;
    if (raw) {
      const ConfigImage& image = run.form().images().readImage;
      const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
      if (const FileOutcome saved = saveFileAtomically(out, bytes); !saved)
        return refused(out, saved.error());
      std::cerr << msg::savedDataTo(out) << '\n';
      return kDone;
    }
    return saveAsFileSaveDoes(run.form(), out) ? kDone : kRefused;
  });
}

int write(const std::optional<std::string>& in, bool repair,
          const std::optional<std::string>& thenSave, const LinkOptions& link,
          const CommonOptions& options) {
  return guarded([&] {
    LinkRun run(link, environmentFor(link));
    if (!openTrace(run, link)) return kRefused;
    if (const int status = prepare(run.session(), in, options)) return status;
    if (repair && !run.form().window().repairChecked) run.form().Repair1Click();
    if (!run.connect(link.timeoutSeconds)) return kRefused;
    bool started = false;
    const bool written = run.operate(
        [&] {
          run.form().WriteToPagerClick();
          started = run.form().link().protocol().busy();
        },
        BusyInfo::Writing);
    if (!started) return refused("the configuration was refused");
    if (!written) return kRefused;
    if (thenSave && !saveAsFileSaveDoes(run.form(), *thenSave)) return kRefused;
    return kDone;
  });
}

}  // namespace palor::ctl
