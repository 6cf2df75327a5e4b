// SPDX-License-Identifier: GPL-3.0-or-later
// link_soak: one long-lived window link against palor-pager-sim, written to again and
// again, as a programming desk runs all day. One form state for the whole run, with its
// real serial transport and its two timers ticking in real time; each cycle writes the
// pager (an ordinary write: the preliminary read keeps the pager's hardware values, then
// the write), checks that the simulator's EEPROM file holds exactly the image the window
// sent, and then takes the pager out and puts it back in through the simulator's control
// FIFO, so that the next cycle meets a newly identified pager.
//
// After each cycle it prints the cycle's time and this process's open descriptors,
// threads and resident memory; at the end it fails (exit status 1) when descriptors or
// threads grew, or resident memory grew by more than --rss-slack kB from the first cycle
// to the last.
//
//   link_soak --port DEVICE --control FIFO --image SIM.bin --cycles N [--rss-slack KB]
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "ui/link_clock.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace {

using namespace std::chrono_literals;
using palor::FormState;
using palor::LinkClock;
namespace msg = palor::msg;

struct Options {
  std::string port, control, image;
  int cycles = 0;
  long rssSlackKb = 2048;
};

struct Usage {
  int fds = 0;
  int threads = 0;
  long rssKb = 0;
};

int openDescriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
    --count;  // the directory's own descriptor
  }
  return count;
}

Usage usage() {
  Usage u;
  u.fds = openDescriptors();
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) u.rssKb = std::stol(line.substr(6));
    if (line.rfind("Threads:", 0) == 0) u.threads = std::stoi(line.substr(8));
  }
  return u;
}

// The controls an ordinary write takes from the pager (its preliminary read's hardware
// refresh) and so must find unchanged in the pager afterwards.
constexpr const char* kHardwareFields[] = {
    "contrast", "pll",      "overheatVoltage", "lcd_opa",    "lcd_fosc",
    "lcd_tc",   "lcd_bias", "bs2_option",      "end_of_msg", "clko",
    "bs3",      "bs1",      "filter_strength", "error_rate"};

std::string valueOf(const palor::SettingsRecord& record, const char* name) {
  const palor::FieldId f = record.id(name);
  switch (record.schema(f).kind) {
    case palor::FieldKind::Text: return record.text(f);
    case palor::FieldKind::Item: return std::to_string(record.index(f));
    case palor::FieldKind::Check: return record.checked(f) ? "yes" : "no";
  }
  return {};
}

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// One command line to the simulator's control FIFO.
bool tellSimulator(const std::string& path, const std::string& command) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const std::string line = command + "\n";
  const bool sent = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ::close(fd);
  return sent;
}

class Soak {
 public:
  explicit Soak(const Options& options) : options_(options) {
    form_.startUp({.ports = {options.port}});
    link_.add(form_);
  }

  ~Soak() { form_.shutDown(); }

  bool run() {
    if (!takePagerHardware()) return false;
    // Each write carries the next eight addresses, as at a desk that programs pager after
    // pager; with equal steps they stay apart.
    for (int row = 1; row <= 8; ++row)
      form_.record().pickItem(form_.record().id("autoinc" + std::to_string(row)), 1);
    if (!link_.runUntil([&] { return connected(); }, 30s))
      return failed("no pager connected within 30 s");
    std::printf("%5s %9s %5s %7s %9s\n", "cycle", "seconds", "fds", "threads", "rss_kB");
    Usage first{}, last{};
    for (int cycle = 1; cycle <= options_.cycles; ++cycle) {
      const auto start = std::chrono::steady_clock::now();
      if (!writeOnce(cycle) || !replugPager()) return false;
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      last = usage();
      if (cycle == 1) first = last;
      std::printf("%5d %9.2f %5d %7d %9ld\n", cycle, seconds, last.fds, last.threads, last.rssKb);
      std::fflush(stdout);
    }
    std::printf("first cycle: %d fds, %d threads, %ld kB; last cycle: %d fds, %d threads, %ld kB\n",
                first.fds, first.threads, first.rssKb, last.fds, last.threads, last.rssKb);
    if (last.fds > first.fds) return failed("open descriptors grew");
    if (last.threads > first.threads) return failed("threads grew");
    if (last.rssKb - first.rssKb > options_.rssSlackKb) return failed("resident memory grew");
    return true;
  }

 private:
  // The pager's own hardware values, from its EEPROM before the first write.
  bool takePagerHardware() {
    FormState pager;
    pager.startUp();
    if (!pager.loadImageFile(readFile(options_.image), "pager"))
      return failed(options_.image + " holds no pager configuration");
    for (const char* name : kHardwareFields)
      pagerHardware_.push_back(valueOf(pager.record(), name));
    return true;
  }

  bool connected() const { return form_.window().writeToPagerEnabled; }
  bool logged(std::string_view line) const {
    const auto& lines = form_.log().lines();
    return std::find(lines.begin() + static_cast<std::ptrdiff_t>(mark_), lines.end(), line) !=
           lines.end();
  }
  void mark() { mark_ = form_.log().lines().size(); }

  bool failed(const std::string& why) const {
    std::fprintf(stderr, "link_soak: %s\n", why.c_str());
    const auto& lines = form_.log().lines();
    for (std::size_t i = mark_; i < lines.size(); ++i)
      std::fprintf(stderr, "  log: %s\n", lines[i].c_str());
    return false;
  }

  // An ordinary write of a configuration with this cycle's greeting; the pager's EEPROM
  // must then hold exactly the image the window sent.
  bool writeOnce(int cycle) {
    char number[8];
    std::snprintf(number, sizeof number, "%05d", cycle % 100000);
    const std::string hello = std::string("SOAK ") + number + "    ";  // the field's 14
    form_.record().setText("hellomsg1", hello);
    const std::string addressBefore = form_.record().text("address8");
    mark();
    form_.WriteToPagerClick();
    if (!link_.runUntil([&] { return !form_.link().protocol().busy(); }, 60s))
      return failed("the write did not end within 60 s");
    if (!logged(msg::kWriteEepromCompleted)) return failed("the write did not complete");
    const auto eeprom = readFile(options_.image);
    const auto& sent = form_.images().writeImage;
    if (eeprom.size() != sent.size() || !std::equal(sent.begin(), sent.end(), eeprom.begin()))
      return failed("the simulator's EEPROM is not the image written");
    FormState check;
    check.startUp();
    if (!check.loadImageFile(eeprom, "pager") || check.record().text("hellomsg1") != hello ||
        check.record().text("address8") != addressBefore)
      return failed("the pager's EEPROM does not hold this cycle's configuration");
    for (std::size_t i = 0; i < std::size(kHardwareFields); ++i)
      if (valueOf(check.record(), kHardwareFields[i]) != pagerHardware_[i])
        return failed(std::string("the write changed the pager's ") + kHardwareFields[i]);
    return true;
  }

  bool replugPager() {
    mark();
    if (!tellSimulator(options_.control, "out")) return failed("cannot write " + options_.control);
    if (!link_.runUntil([&] { return logged(msg::kPagerDisconnected); }, 10s))
      return failed("the pager taken out was not noticed");
    if (!tellSimulator(options_.control, "in")) return failed("cannot write " + options_.control);
    if (!link_.runUntil([&] { return connected(); }, 10s))
      return failed("the pager put back in was not identified");
    return true;
  }

  Options options_;
  FormState form_;
  LinkClock link_;  // the window's own 40 ms tick and 500 ms watch
  std::vector<std::string> pagerHardware_;
  std::size_t mark_ = 0;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--port")
      o.port = value;
    else if (name == "--control")
      o.control = value;
    else if (name == "--image")
      o.image = value;
    else if (name == "--cycles")
      o.cycles = std::atoi(value.c_str());
    else if (name == "--rss-slack")
      o.rssSlackKb = std::atol(value.c_str());
    else
      return false;
  }
  return argc % 2 == 1 && !o.port.empty() && !o.control.empty() && !o.image.empty() && o.cycles > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: link_soak --port DEVICE --control FIFO --image SIM.bin --cycles N "
                 "[--rss-slack KB]\n");
    return 2;
  }
  Soak soak(options);
  return soak.run() ? 0 : 1;
}
