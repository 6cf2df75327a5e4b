// SPDX-License-Identifier: GPL-3.0-or-later
#include "link_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "config/ascii_text.h"
#include "files/atomic_file.h"
#include "files/csv_table.h"
#include "link/port_discovery.h"
#include "link/serial_transport.h"
#include "records_commands.h"
#include "session.h"
#include "stop_signals.h"
#include "ui/link_clock.h"
#include "ui/messages.h"

namespace palor::ctl {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr double kLongestWaitSeconds = 24 * 60 * 60;  // one day

std::string hexBytes(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += {hexDigit(bytes[i] >> 4), hexDigit(bytes[i])};
  }
  return text;
}

std::string formatSeconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

Clock::duration toDuration(double seconds) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// The window's link, run in real time on the link clock: the two timers tick as the
// window's would, the status log goes to standard error and every frame, when asked, to a
// trace that is saved when the run ends.
class LinkRun {
 public:
  LinkRun(const LinkOptions& options, StartUpEnvironment environment)
      : options_(options), session_(std::move(environment)), start_(Clock::now()) {
    FormState& form = session_.form;
    form.log().setObserver([this](const std::string& line) { logLine(line); });
    if (options.trace) {
      form.link().setSentObserver([this](std::span<const std::uint8_t> bytes) {
        traceLine('>', hexBytes(bytes.data(), bytes.size()));
      });
      form.link().setReceivedObserver([this](const ReceivedFrame& frame) {
        traceLine('<', "7E 7E " + hexBytes(frame.bytes.data(), frame.count));
      });
    }
    form.setWindowObserver([this] { drawProgress(); });
    clock_.add(form);
    if (stop_.fd() >= 0)
      clock_.watch(stop_.fd(), [this] { interrupted_ = stop_.take() > 0 || interrupted_; });
  }

  ~LinkRun() { shutDown(); }

  Session& session() { return session_; }
  FormState& form() { return session_.form; }
  bool interrupted() const { return interrupted_; }

  // Waits for a charger with an identified pager; false (with the reason said) otherwise.
  bool connect() {
    if (form().link().watch().ports().empty()) {
      refused("no charger port to try (plug the charger in, or give --port PATH)");
      return false;
    }
    if (options_.port) {
      const PortOpenOutcome opened = checkPort(*options_.port);
      if (!opened && opened.error().kind == PortOpenError::Kind::NotATerminal) {
        refused(*options_.port + ": not a serial port");
        return false;
      }
    }
    const bool ready = runUntil([&] { return form().window().readFromPagerEnabled || rejected_; },
                                toDuration(options_.timeoutSeconds));
    if (ready && !rejected_) return true;
    if (interrupted()) {
      refused("interrupted");
    } else if (!rejected_) {
      std::string tried;
      for (const std::string& port : form().link().watch().ports())
        tried += (tried.empty() ? "" : ", ") + port;
      refused("no charger with a pager answered within " + formatSeconds(options_.timeoutSeconds) +
              " s (ports tried: " +
              (tried.empty() ? "none left, the adapter was pulled out" : tried) + ")");
    }
    return false;
  }

  // Runs the read or write that `start` begins to its end; whether `operation` completed.
  bool operate(const std::function<void()>& start, BusyInfo operation) {
    start();
    if (!runUntil([&] { return !form().link().protocol().busy(); },
                  toDuration(options_.operationLimitSeconds))) {
      if (form().link().protocol().busy()) form().read_write_stopClick();
      refused(interrupted() ? "interrupted"
                            : "the pager did not finish within " +
                                  formatSeconds(options_.operationLimitSeconds) + " s");
      return false;
    }
    const std::optional<LinkEnd>& end = form().link().protocol().lastEnd();
    return end && end->operation == operation && end->completed();
  }

  // Ends the run as the window ends (closing command, drained, port closed), then saves
  // the trace: `status`, or refused when the trace could not be saved whole.
  int finish(int status) {
    shutDown();
    if (!options_.trace) return status;
    if (const FileOutcome saved = saveFileAtomically(*options_.trace, trace_); !saved) {
      refused(*options_.trace + ": the trace was not saved: " + describe(saved.error()));
      return kRefused;
    }
    return status;
  }

 private:
  // Ticks until `done` holds; false when `limit` passes first or a stop signal comes.
  bool runUntil(const std::function<bool()>& done, Clock::duration limit) {
    return clock_.runUntil([&] { return interrupted_ || done(); }, limit) && !interrupted_;
  }

  void shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    FormState& form = session_.form;
    form.setWindowObserver({});
    form.shutDown();
    form.link().setSentObserver({});
    form.link().setReceivedObserver({});
    clock_.remove(form);
  }

  void logLine(const std::string& line) {
    clearProgress();
    std::cerr << line << '\n';
    if (line == msg::kUnsupportedPager || line == msg::kFirmwareTooNew) rejected_ = true;
  }

  void traceLine(char direction, const std::string& hex) {
    const auto ms = std::chrono::duration_cast<milliseconds>(Clock::now() - start_).count();
    trace_ += std::to_string(ms) + ' ' + direction + ' ' + hex + '\n';
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

  const LinkOptions& options_;
  StopSignals stop_;
  Session session_;
  LinkClock clock_;
  Clock::time_point start_;
  std::string trace_;
  bool interrupted_ = false;
  bool shutDown_ = false;
  bool rejected_ = false;
  bool progressShown_ = false;
};

// What a name is when it is there and not a regular file ("a device"), else "".
std::string notAFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
  if (S_ISDIR(st.st_mode)) return "a folder";
  if (S_ISFIFO(st.st_mode)) return "a named pipe";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return "a device";
}

// Whether two names are one file: the same file on disk, or the same path to be made.
bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  std::error_code ea, eb;
  const auto pa = std::filesystem::weakly_canonical(a, ea);
  const auto pb = std::filesystem::weakly_canonical(b, eb);
  return !ea && !eb && pa == pb;
}

// The link options checked before anything is opened, loaded or sent; the reason when
// they cannot be used. `files` are the command's own files, which the trace may not be.
std::optional<std::string> usageProblem(const LinkOptions& options,
                                        const std::vector<std::string>& files) {
  if (options.port && options.port->empty()) return "--port: the port path is empty";
  const auto seconds = [](const char* option, double value) -> std::optional<std::string> {
    if (std::isfinite(value) && value > 0 && value <= kLongestWaitSeconds) return std::nullopt;
    return std::string(option) + " " + formatSeconds(value) +
           ": give seconds above 0, at most 86400 (one day)";
  };
  if (auto problem = seconds("--timeout", options.timeoutSeconds)) return problem;
  if (auto problem = seconds("--operation-limit", options.operationLimitSeconds)) return problem;
  if (options.trace) {
    const std::string& trace = *options.trace;
    if (trace.empty()) return "--trace: the file name is empty";
    if (const std::string what = notAFile(trace); !what.empty())
      return "--trace " + trace + ": it is " + what + ", not a file";
    for (const std::string& file : files)
      if (sameFile(trace, file)) return "--trace " + trace + ": it is a file of this command";
  }
  return std::nullopt;
}

int usageError(const std::string& why) {
  std::cerr << "palorctl: " << why << '\n';
  return kUsageError;
}

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

// File / Save of the configuration the window holds now; a file that could not be written
// is named with the reason.
bool saveAsFileSaveDoes(FormState& form, const std::string& path) {
  if (!form.PreStoreChecks()) return false;
  const FileCommandOutcome saved = form.SaveConfigurationFile(path);
  if (!saved && saved.fileError) refused(path, *saved.fileError);
  return saved.done;
}

}  // namespace

int ports() {
  const std::vector<std::string> found = portList(systemPorts());
  if (found.empty()) std::cerr << "palorctl: no charger adapter found\n";
  for (const std::string& port : found)
    std::cout << escapeControls(port) << '\t' << openState(checkPort(port)) << '\n';
  return kDone;
}

int read(const std::string& out, bool raw, const LinkOptions& link, const CommonOptions& options) {
  if (const auto problem = usageProblem(link, {out})) return usageError(*problem);
  return guarded([&] {
    LinkRun run(link, environmentFor(link));
    run.form().setRecords(recordKeeper(options));
    const auto steps = [&] {
      if (options.firmware) run.form().setFirmwareVersion(*options.firmware);
      if (!run.connect()) return kRefused;
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
    };
    return run.finish(steps());
  });
}

int write(const std::optional<std::string>& in, bool repair, bool uniqueCapcodes,
          const std::optional<std::string>& thenSave, const LinkOptions& link,
          const CommonOptions& options) {
  std::vector<std::string> files;
  if (in) files.push_back(*in);
  if (thenSave) files.push_back(*thenSave);
  if (const auto problem = usageProblem(link, files)) return usageError(*problem);
  return guarded([&] {
    // A save that cannot be made is known before the pager is written.
    if (const FileOutcome savable = thenSave ? checkSaveTarget(*thenSave) : FileOutcome{}; !savable)
      return refused(*thenSave, savable.error());
    LinkRun run(link, environmentFor(link));
    run.form().setRecords(recordKeeper(options));
    run.form().setUniqueCapcodes(uniqueCapcodes);
    const auto steps = [&] {
      if (const int status = prepare(run.session(), in, options)) return status;
      // A table cannot carry a text with a comma: known before the pager is written.
      if (thenSave && lowerCaseExtension(*thenSave) == ".csv")
        if (const auto field = csv::textWithComma(run.form().record()))
          return refused(*thenSave + ": " + msg::commaInCsv(fieldSchema(*field).name));
      if (repair && !run.form().window().repairChecked) run.form().Repair1Click();
      // The steps are in no file: a batch that opens its saved file again starts from 0.
      if (thenSave && !run.form().AnyAddressAdvances())
        diagnose("no address advances: every auto-increment step is 0");
      if (!run.connect()) return kRefused;
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
    };
    return run.finish(steps());
  });
}

int restore(std::int64_t id, bool force, const LinkOptions& link, const CommonOptions& options) {
  if (const auto problem = usageProblem(link, {})) return usageError(*problem);
  return guarded([&] {
    // The record is found before the charger is opened.
    std::unique_ptr<records::RecordKeeper> keeper = recordKeeper(options);
    const std::optional<records::ProgrammingRecord> found = findRecord(*keeper, id);
    if (!found) return kRefused;
    const records::ProgrammingRecord& record = *found;
    if (!record.before) return refused(msg::restoreNoBefore(id));
    LinkRun run(link, environmentFor(link));
    run.form().setRecords(std::move(keeper));
    const auto steps = [&] {
      if (options.firmware) run.form().setFirmwareVersion(*options.firmware);
      if (!run.connect()) return kRefused;
      const bool restored =
          run.operate([&] { run.form().RestoreToPagerClick(record, force); }, BusyInfo::Writing);
      return restored ? kDone : kRefused;
    };
    return run.finish(steps());
  });
}

}  // namespace palor::ctl
