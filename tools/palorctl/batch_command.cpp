// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include "config/escaped_text.h"
#include "files/pager_list.h"
#include "link/adapter_survey.h"
#include "link/port_discovery.h"
#include "link/serial_transport.h"
#include "records_commands.h"
#include "report/printrp.h"
#include "session.h"
#include "stop_signals.h"
#include "ui/batch_job.h"
#include "ui/link_clock.h"
#include "ui/messages.h"

namespace palor::ctl {
namespace {

using Clock = std::chrono::steady_clock;
using RowState = BatchJob::RowState;
using Outcome = BatchJob::Outcome;

constexpr double kLongestWaitSeconds = 24 * 60 * 60;

std::string_view outcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Completed: return "completed";
    case Outcome::Failed: return "failed";
    case Outcome::Refused: return "refused";
    case Outcome::Cancelled: return "cancelled";
  }
  return "failed";
}

std::string rowName(const BatchRow& row) {
  return "row " + std::to_string(row.number) +
         (row.line > 0 ? " (line " + std::to_string(row.line) + ")" : "");
}

std::string oneDecimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// The job log: one JSON object a line, appended and flushed to the disk as each pager
// ends, so that a job cut short by a crash or a power cut keeps every line it wrote.
class JobLog {
 public:
  // The rows a log says are completed; none when there is no log yet. A line that is no
  // JSON object (the torn last line of a crash) is passed over.
  static std::set<int> completedRows(const std::string& path) {
    std::set<int> rows;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
      const auto entry = nlohmann::json::parse(line, nullptr, false);
      if (!entry.is_object()) continue;
      const auto row = entry.find("row");
      const auto outcome = entry.find("outcome");
      if (row != entry.end() && row->is_number_integer() && outcome != entry.end() &&
          *outcome == "completed")
        rows.insert(row->get<int>());
    }
    return rows;
  }

  ~JobLog() {
    if (fd_ >= 0) ::close(fd_);
  }

  // Opens the log for appending; the reason when it cannot be.
  std::optional<std::string> open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return std::string(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::string("not a regular file");
    // A line torn by a crash is ended, so that the next line stands on its own.
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd_, &last, 1, st.st_size - 1) == 1 && last != '\n')
      return writeAll("\n") ? std::nullopt : std::optional<std::string>(std::strerror(errno));
    return std::nullopt;
  }

  bool append(const nlohmann::ordered_json& entry) {
    if (fd_ < 0) return true;
    return writeAll(entry.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
                    "\n") &&
           ::fsync(fd_) == 0;
  }

 private:
  bool writeAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  int fd_ = -1;
};

// What the user sees on standard error. On a terminal: one line per charger kept up to
// date at the bottom, the job's events above it. Otherwise one line per event.
class BatchDisplay {
 public:
  explicit BatchDisplay(std::size_t chargers)
      : terminal_(::isatty(STDERR_FILENO) != 0), lines_(chargers) {}

  bool terminal() const { return terminal_; }

  void event(const std::string& text) {
    clear();
    std::cerr << escapeControls(text) << '\n';
    draw();
  }

  void chargerLine(std::size_t charger, std::string text) {
    if (lines_[charger] == text) return;
    lines_[charger] = std::move(text);
    if (!terminal_) return;
    clear();
    draw();
  }

  // The charger lines stay where they are, above what follows.
  void close() {
    if (terminal_) drawn_ = 0;
  }

 private:
  void clear() {
    if (!terminal_ || drawn_ == 0) return;
    std::cerr << "\033[" << drawn_ << "A\r\033[J";
    drawn_ = 0;
  }
  void draw() {
    if (!terminal_) return;
    for (const std::string& line : lines_) std::cerr << escapeControls(line) << "\033[K\n";
    drawn_ = lines_.size();
    std::cerr << std::flush;
  }

  bool terminal_;
  std::vector<std::string> lines_;
  std::size_t drawn_ = 0;
};

// A charger's name: its /dev/serial/by-path name where udev made one, else its device.
std::vector<std::string> chargerNames(const std::vector<std::string>& ports) {
  std::vector<std::string> names = ports;
  const std::vector<UsbAdapter> adapters = usbAdapters();
  for (std::string& name : names)
    for (const UsbAdapter& a : adapters)
      if (a.node == name && !a.byPath.empty())
        name = a.byPath.substr(a.byPath.find_last_of('/') + 1);
  return names;
}

// A pager number fit to be a file name; otherwise the row names the report.
std::string reportName(const std::string& pagerNumber, int row) {
  const bool plain = !pagerNumber.empty() && pagerNumber != "." && pagerNumber != ".." &&
                     pagerNumber.find_first_of("/\\") == std::string::npos &&
                     std::all_of(pagerNumber.begin(), pagerNumber.end(),
                                 [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
  return (plain ? pagerNumber : "row-" + std::to_string(row)) + ".pdf";
}

class BatchRun : public BatchJob::Observer {
 public:
  BatchRun(const BatchOptions& options, std::vector<std::string> ports,
           const ReportPdfWriter& writePdf)
      : options_(options),
        ports_(std::move(ports)),
        names_(chargerNames(ports_)),
        writePdf_(writePdf),
        display_(ports_.size()),
        startedAt_(ports_.size()),
        reports_(ports_.size()) {
    for (const std::string& port : ports_) {
      StartUpEnvironment environment;
      environment.ports = {port};
      sessions_.push_back(std::make_unique<Session>(environment, sessions_.empty()));
    }
  }

  ~BatchRun() {
    job_.reset();
    for (auto& s : sessions_) {
      s->form.shutDown();
      clock_.remove(s->form);
    }
  }

  // Opens the template into every charger's form; an exit status when that fails.
  int prepareTemplate(const CommonOptions& options) {
    for (std::size_t i = 0; i < sessions_.size(); ++i) {
      sessions_[i]->form.setRecords(recordKeeper(options));
      sessions_[i]->form.setUniqueCapcodes(options_.uniqueCapcodes);
      // The template's own lines are said once, not once per charger.
      if (i > 0) sessions_[i]->form.log().setObserver({});
      if (const int status = prepare(*sessions_[i], options_.templateFile, options)) return status;
    }
    return kDone;
  }

  bool anyAddressAdvances() const { return sessions_.front()->form.AnyAddressAdvances(); }

  std::optional<std::string> openLog() {
    if (!options_.log) return std::nullopt;
    return log_.open(*options_.log);
  }

  int run(std::vector<BatchRow> rows, const std::set<int>& done) {
    std::vector<FormState*> forms;
    for (auto& s : sessions_) {
      forms.push_back(&s->form);
      clock_.add(s->form);
    }
    job_ = std::make_unique<BatchJob>(forms, std::move(rows), done, *this);
    if (!done.empty())
      display_.event("palorctl: " + std::to_string(done.size()) +
                     " rows are completed in the log and are skipped");
    job_->checkRows();
    if (stop_.fd() >= 0) clock_.watch(stop_.fd(), [this] { stopSignals(stop_.take()); });
    start_ = lastActivity_ = Clock::now();
    for (std::size_t i = 0; i < sessions_.size(); ++i) showCharger(i);

    bool timedOut = false;
    clock_.runUntil(
        [&] {
          job_->step();
          if (job_->finished()) return true;
          if (options_.timeoutSeconds && !writing() &&
              Clock::now() - lastActivity_ >
                  std::chrono::duration<double>(*options_.timeoutSeconds)) {
            timedOut = true;
            return true;
          }
          return false;
        },
        std::chrono::hours(24 * 366));
    display_.close();
    if (timedOut)
      diagnose("no pager to write within " + oneDecimal(*options_.timeoutSeconds) +
               " s; the job stops");
    return summary();
  }

  // BatchJob::Observer
  void rowStarted(int charger, const BatchRow& row) override {
    const auto c = static_cast<std::size_t>(charger);
    lastActivity_ = Clock::now();
    startedAt_[c] = lastActivity_;
    if (options_.reports) {
      reports_[c] = std::make_unique<TPrintReport>();
      reports_[c]->fill(sessions_[c]->form.record());
    }
    if (!display_.terminal()) display_.event(names_[c] + ": " + rowName(row) + " started");
    showCharger(c);
  }

  void pagerEnded(const BatchJob::PagerEnd& end) override {
    const BatchRow& row = job_->rows()[static_cast<std::size_t>(end.row - 1)];
    double seconds = 0;
    nlohmann::ordered_json entry;
    entry["row"] = end.row;
    entry["port"] = nullptr;
    if (end.charger >= 0) {
      const auto c = static_cast<std::size_t>(end.charger);
      lastActivity_ = Clock::now();
      // A row the charger refused before writing took no time of its own.
      if (startedAt_[c])
        seconds = std::chrono::duration<double>(lastActivity_ - *startedAt_[c]).count();
      startedAt_[c].reset();
      entry["port"] = ports_[c];
      showCharger(c);
    }
    entry["pager_number"] = end.pagerNumber.empty() ? nlohmann::ordered_json()
                                                    : nlohmann::ordered_json(end.pagerNumber);
    entry["outcome"] = outcomeName(end.outcome);
    entry["record"] = end.record ? nlohmann::ordered_json(*end.record) : nlohmann::ordered_json();
    entry["seconds"] = std::round(seconds * 10) / 10;
    entry["last_line"] = end.lastLine;
    if (!log_.append(entry) && !logFailed_) {
      logFailed_ = true;
      diagnose(*options_.log + ": the job log cannot be written: " + std::strerror(errno));
    }

    std::string text = rowName(row) + ": " + std::string(outcomeName(end.outcome));
    if (end.charger >= 0) text += " on " + names_[static_cast<std::size_t>(end.charger)];
    if (end.outcome == Outcome::Completed)
      text += ", pager " + end.pagerNumber + ", " + oneDecimal(seconds) + " s";
    else
      text += ": " + end.lastLine;
    display_.event(text);
    if (end.outcome == Outcome::Completed) saveReport(static_cast<std::size_t>(end.charger), end);
  }

  void logLine(int charger, const std::string& line) override {
    if (!display_.terminal())
      display_.event(names_[static_cast<std::size_t>(charger)] + ": " + line);
  }

  void chargerChanged(int charger) override {
    if (job_) showCharger(static_cast<std::size_t>(charger));
  }

 private:
  bool writing() const {
    for (std::size_t i = 0; i < job_->chargerCount(); ++i)
      if (job_->chargerState(static_cast<int>(i)) == BatchJob::ChargerState::Writing) return true;
    return false;
  }

  void stopSignals(int count) {
    for (int i = 0; i < count; ++i) {
      if (!job_->stopping()) {
        job_->stopTaking();
        display_.event(
            "palorctl: interrupted: the writes in hand finish and no new pager is taken "
            "(interrupt again to stop them)");
      } else if (!stoppedNow_) {
        stoppedNow_ = true;
        display_.event("palorctl: interrupted again: the writes in hand are stopped");
        job_->stopNow();
      }
    }
  }

  void showCharger(std::size_t c) {
    if (!job_) return;
    const FormState& form = sessions_[c]->form;
    std::string state;
    switch (job_->chargerState(static_cast<int>(c))) {
      case BatchJob::ChargerState::WaitingForPager:
        state = job_->stopping() ? "stopped" : "waiting for a pager";
        break;
      case BatchJob::ChargerState::Writing: {
        const MainWindowState& w = form.window();
        state = std::string(w.infoRWPagerText == msg::kReadingPager ? "reading" : "writing") + " " +
                rowName(*job_->rowInHand(static_cast<int>(c))) + ", block " +
                std::to_string(w.progressPosition) + "/" + std::to_string(w.progressMaximum);
        break;
      }
      case BatchJob::ChargerState::WaitingForRemoval: state = "take the pager out"; break;
    }
    display_.chargerLine(c, names_[c] + ": " + state);
  }

  void saveReport(std::size_t charger, const BatchJob::PagerEnd& end) {
    if (!options_.reports || !reports_[charger]) return;
    const std::string path = *options_.reports + "/" + reportName(end.pagerNumber, end.row);
    if (!writePdf_(path, *reports_[charger])) diagnose(path + ": the report was not written");
  }

  int summary() {
    int done = 0, failed = 0, refused = 0, skipped = 0, notDone = 0;
    std::string failedRows, refusedRows, notDoneRows;
    // The rows named, the first 20 of each kind; the log names every one.
    constexpr int kNamed = 20;
    const auto add = [](std::string& list, int count, const BatchRow& row) {
      if (count > kNamed) return;
      list += (list.empty() ? "" : ", ") + std::to_string(row.number) +
              (row.line > 0 ? " (line " + std::to_string(row.line) + ")" : "");
    };
    const auto more = [](int count) {
      return count > kNamed ? " and " + std::to_string(count - kNamed) + " more" : std::string();
    };
    const auto& rows = job_->rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      switch (job_->rowState(i)) {
        case RowState::Completed: ++done; break;
        case RowState::Skipped: ++skipped; break;
        case RowState::Failed: add(failedRows, ++failed, rows[i]); break;
        case RowState::Refused: add(refusedRows, ++refused, rows[i]); break;
        case RowState::NotDone:
        case RowState::InHand: add(notDoneRows, ++notDone, rows[i]); break;
      }
    }
    const double hours = std::chrono::duration<double>(Clock::now() - start_).count() / 3600;
    std::string text = "palorctl: " + std::to_string(done) + " done, " + std::to_string(failed) +
                       " failed, " + std::to_string(refused) + " refused, " +
                       std::to_string(skipped) + " skipped, " + std::to_string(notDone) +
                       " not done; " + oneDecimal(hours > 0 ? done / hours : 0) +
                       " pagers per hour";
    std::cerr << text << '\n';
    if (failed > 0) std::cerr << "palorctl: failed rows: " << failedRows << more(failed) << '\n';
    if (refused > 0)
      std::cerr << "palorctl: refused rows: " << refusedRows << more(refused) << '\n';
    if (notDone > 0)
      std::cerr << "palorctl: rows not done: " << notDoneRows << more(notDone) << '\n';
    return failed + refused + notDone == 0 ? kDone : kRefused;
  }

  const BatchOptions& options_;
  std::vector<std::string> ports_;
  std::vector<std::string> names_;
  const ReportPdfWriter& writePdf_;
  StopSignals stop_;
  std::vector<std::unique_ptr<Session>> sessions_;
  LinkClock clock_;
  JobLog log_;
  BatchDisplay display_;
  std::unique_ptr<BatchJob> job_;
  std::vector<std::optional<Clock::time_point>> startedAt_;  // of the write in hand
  std::vector<std::unique_ptr<TPrintReport>> reports_;
  Clock::time_point start_, lastActivity_;
  bool stoppedNow_ = false;
  bool logFailed_ = false;
};

int usageError(const std::string& why) {
  diagnose(why);
  return kUsageError;
}

std::optional<std::string> usageProblem(const BatchOptions& o) {
  if (o.list.has_value() == o.count.has_value())
    return "give either --list PAGERS.csv or --count N";
  if (o.count && *o.count <= 0) return "--count " + std::to_string(*o.count) + ": give at least 1";
  for (const std::string& port : o.ports)
    if (port.empty()) return "--port: the port path is empty";
  if (o.timeoutSeconds) {
    const double s = *o.timeoutSeconds;
    if (!std::isfinite(s) || s <= 0 || s > kLongestWaitSeconds)
      return "--timeout: give seconds above 0, at most 86400 (one day)";
  }
  if (o.log) {
    if (o.log->empty()) return "--log: the file name is empty";
    // A log that is no file would block or be lost; one that is an input would be spoilt.
    struct stat st {};
    if (::stat(o.log->c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      return "--log " + *o.log + ": not a regular file";
    for (const std::optional<std::string>& input : {std::optional(o.templateFile), o.list}) {
      struct stat in {};
      if (input && ::stat(input->c_str(), &in) == 0 && ::stat(o.log->c_str(), &st) == 0 &&
          in.st_dev == st.st_dev && in.st_ino == st.st_ino)
        return "--log " + *o.log + ": it is an input of this command";
    }
  }
  if (o.reports) {
    struct stat st {};
    if (::stat(o.reports->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return "--reports " + *o.reports + ": no such folder";
  }
  return std::nullopt;
}

}  // namespace

int batch(const BatchOptions& o, const CommonOptions& options, const ReportPdfWriter& writePdf) {
  if (const auto problem = usageProblem(o)) return usageError(*problem);
  return guarded([&] {
    std::vector<BatchRow> rows;
    if (o.list) {
      const PagerListOutcome read = readPagerList(*o.list);
      if (read.fileError) return refused(*o.list, *read.fileError);
      if (!read) return usageError(*o.list + ": " + read.error);
      rows = rowsFromList(*read.list);
    } else {
      rows = countedRows(*o.count);
    }
    const std::set<int> done = o.log ? JobLog::completedRows(*o.log) : std::set<int>{};

    const std::vector<std::string> ports = o.ports.empty() ? portList(systemPorts()) : o.ports;
    if (ports.empty())
      return refused("no charger port to try (plug the chargers in, or give --port PATH)");
    for (const std::string& port : o.ports) {
      const PortOpenOutcome opened = checkPort(port);
      if (!opened && opened.error().kind == PortOpenError::Kind::NotATerminal)
        return refused(port + ": not a serial port");
    }
    BatchRun run(o, ports, writePdf);
    if (const int status = run.prepareTemplate(options)) return status;
    // Counted pagers differ only by their addresses' steps.
    if (o.count && !run.anyAddressAdvances())
      diagnose("no address advances: every auto-increment step is 0");
    if (const auto problem = run.openLog())
      return refused(*o.log + ": the job log cannot be opened: " + *problem);
    return run.run(std::move(rows), done);
  });
}

}  // namespace palor::ctl
