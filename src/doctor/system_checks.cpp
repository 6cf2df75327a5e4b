// SPDX-License-Identifier: GPL-3.0-or-later
// The doctor's checks of the system around the port: the adapters in sysfs and the
// kernel's word about them, the udev rule, ModemManager, brltty and the processes that hold
// the port.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "doctor/checks.h"
#include "link/serial_transport.h"

namespace palor::doctor {
namespace {

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The messages of the kernel's log, oldest first. Read without waiting: /dev/kmsg gives one
// record a read and EAGAIN at its end; a plain file (in tests) gives its lines. A record is
// "priority,sequence,time,flags;message"; its continuation lines start with a blank.
std::vector<std::string> kernelMessages(const std::string& path) {
  std::vector<std::string> messages;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return messages;
  std::string all;
  char buffer[8192];
  for (int reads = 0; reads < 100000; ++reads) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      all.append(buffer, static_cast<std::size_t>(n));
      if (all.back() != '\n') all += '\n';
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EPIPE)) continue;  // EPIPE: records overwritten
    break;
  }
  ::close(fd);
  std::istringstream lines(all);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == ' ') continue;
    const auto semicolon = line.find(';');
    messages.push_back(semicolon == std::string::npos ? line : line.substr(semicolon + 1));
  }
  return messages;
}

// The kernel's last line about the USB device `usbName` ("1-1") or its interface.
std::string kernelLineAbout(const std::string& usbName, const Places& places) {
  const std::vector<std::string> messages = kernelMessages(places.kmsg);
  const std::string device = " " + usbName + ":";
  const std::string interface = " " + usbName + ":1.";
  for (auto it = messages.rbegin(); it != messages.rend(); ++it)
    if (it->find(interface) != std::string::npos || it->find(device) != std::string::npos)
      return *it;
  return {};
}

std::string readFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// Every process folder of `proc`, by pid.
template <typename Visit>
void forEachProcess(const std::string& proc, Visit visit) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(proc, error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    visit(static_cast<pid_t>(std::stol(name)), entry.path().string());
  }
}

// The udev rules files of `places` whose file name holds `part`.
std::vector<std::filesystem::path> rulesFiles(const Places& places, std::string_view part) {
  std::vector<std::filesystem::path> files;
  for (const std::string& folder : places.udevRules) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
      if (entry.path().filename().string().find(part) != std::string::npos)
        files.push_back(entry.path());
  }
  return files;
}

std::string joinHolders(const std::vector<std::pair<pid_t, std::string>>& holders) {
  std::string text;
  for (const auto& [pid, name] : holders)
    text += (text.empty() ? "" : ", ") + name + " (pid " + std::to_string(pid) + ")";
  return text;
}

}  // namespace

Findings checkAdapters(const std::vector<UsbAdapter>& adapters, const Places& places,
                       bool portGiven) {
  Findings findings;
  if (adapters.empty()) {
    if (portGiven)
      findings.push_back({true, "adapters", "no USB adapter 067b:2303; the port given is used"});
    else
      findings.push_back({false, "adapters",
                          "no USB adapter 067b:2303 found: plug the charger's USB cable into "
                          "the computer"});
    return findings;
  }
  for (const UsbAdapter& a : adapters) {
    const std::string subject = "adapter " + a.usbName;
    if (a.node.empty()) {
      std::string text = "the kernel gave it no serial port";
      if (a.driver.empty()) text += " (no driver bound)";
      text += ": this adapter variant is not supported by the running kernel; use another adapter";
      if (const std::string said = kernelLineAbout(a.usbName, places); !said.empty())
        text += "; the kernel said: " + said;
      findings.push_back({false, subject, text});
      continue;
    }
    std::string text = a.node + ", driver " + (a.driver.empty() ? "none" : a.driver);
    text += a.byPath.empty() ? ", no /dev/serial/by-path name" : ", " + a.byPath;
    findings.push_back({true, subject, text});
  }
  if (adapters.size() > 1) {
    std::string names;
    for (const UsbAdapter& a : adapters)
      names += (names.empty() ? "" : "; ") + (a.byPath.empty() ? a.usbName : a.byPath);
    findings.push_back(
        {true, "adapters",
         std::to_string(adapters.size()) + " chargers; label each by its port: " + names});
  }
  return findings;
}

Findings checkUdevRule(const std::vector<UsbAdapter>& adapters, const Places& places) {
  Findings findings;
  const auto installed = rulesFiles(places, kUdevRuleName);
  if (installed.empty()) {
    findings.push_back({false, "udev rule",
                        std::string(kUdevRuleName) +
                            " is not installed: copy it into /etc/udev/rules.d, run "
                            "\"sudo udevadm control --reload\" and plug the adapter in again"});
  } else {
    findings.push_back({true, "udev rule", "installed as " + installed.front().string()});
  }
  for (const UsbAdapter& a : adapters) {
    if (a.node.empty()) continue;
    if (a.uaccessTag && a.modemManagerIgnores) {
      findings.push_back({true, a.node, "the udev rule is applied (uaccess, ID_MM_DEVICE_IGNORE)"});
      continue;
    }
    std::string missing = !a.uaccessTag ? "the uaccess tag" : "";
    if (!a.modemManagerIgnores)
      missing += std::string(missing.empty() ? "" : " and ") + "ID_MM_DEVICE_IGNORE";
    findings.push_back({false, a.node,
                        "udev has not applied the rule (" + missing + " missing): install " +
                            kUdevRuleName +
                            " and plug the adapter in again (or run \"sudo udevadm trigger\")"});
  }
  return findings;
}

bool processRunning(const std::string& comm, const std::string& proc) {
  bool running = false;
  forEachProcess(proc, [&](pid_t, const std::string& folder) {
    if (!running && readFirstLine(folder + "/comm") == comm) running = true;
  });
  return running;
}

Finding checkModemManager(const std::vector<UsbAdapter>& adapters, const Places& places) {
  if (!processRunning("ModemManager", places.proc)) return {true, "ModemManager", "not running"};
  std::string probed;
  for (const UsbAdapter& a : adapters)
    if (!a.node.empty() && !a.modemManagerIgnores) probed += (probed.empty() ? "" : ", ") + a.node;
  if (probed.empty())
    return {true, "ModemManager", "running, and it leaves the charger's ports alone"};
  return {false, "ModemManager",
          "running, and it may probe " + probed +
              " as a modem (sending AT commands and holding the port): install the udev rule " +
              kUdevRuleName +
              " (it sets ID_MM_DEVICE_IGNORE) and plug the adapter in again, or stop "
              "ModemManager (sudo systemctl stop ModemManager)"};
}

Finding checkBrltty(const Places& places) {
  bool installed = false;
  for (const std::string& folder : places.programFolders)
    installed = installed || ::access((folder + "/brltty").c_str(), F_OK) == 0;
  const bool running = processRunning("brltty", places.proc);
  if (!installed && !running) return {true, "brltty", "not installed"};
  const std::string state = running ? "running" : "installed";
  for (const auto& file : rulesFiles(places, "brltty")) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
      const std::string l = lower(line);
      if (l.empty() || l[0] == '#') continue;
      if (l.find("67b/2303") == std::string::npos &&
          (l.find("067b") == std::string::npos || l.find("2303") == std::string::npos))
        continue;
      return {false, "brltty",
              state + ", and its udev rules (" + file.string() +
                  ") claim adapters 067b:2303, so it may take the charger's port: keep brltty "
                  "and make an overriding copy without that line: copy the file to "
                  "/etc/udev/rules.d/" +
                  file.filename().string() +
                  ", delete or comment out the 067b/2303 line there, run \"sudo udevadm control "
                  "--reload\" and plug the adapter in again"};
    }
  }
  return {true, "brltty", state + "; its udev rules do not claim the adapter"};
}

std::vector<std::pair<pid_t, std::string>> processesHolding(const std::string& node,
                                                            const std::string& proc) {
  std::vector<std::pair<pid_t, std::string>> holders;
  struct stat target {};
  if (::stat(node.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return holders;
  const pid_t self = ::getpid();
  forEachProcess(proc, [&](pid_t pid, const std::string& folder) {
    if (pid == self) return;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(folder + "/fd", error)) {
      struct stat st {};
      if (::stat(fd.path().c_str(), &st) != 0 || !S_ISCHR(st.st_mode) ||
          st.st_rdev != target.st_rdev)
        continue;
      holders.emplace_back(pid, readFirstLine(folder + "/comm"));
      return;
    }
  });
  return holders;
}

Finding checkHolders(const std::string& node, const Places& places) {
  const auto holders = processesHolding(node, places.proc);
  const PortOpenOutcome opened = checkPort(node);
  if (!opened && opened.error().kind == PortOpenError::Kind::Busy) {
    if (holders.empty())
      return {false, node,
              "in use by another program, which cannot be seen from this user (run the check "
              "as root to name it): end that program"};
    return {false, node,
            "in use by " + joinHolders(holders) + ": end that program, or close the port in it"};
  }
  if (holders.empty()) return {true, node, "no other program holds it"};
  return {true, node, "also open in " + joinHolders(holders) + ", which leaves it free to open"};
}

}  // namespace palor::doctor
