// SPDX-License-Identifier: GPL-3.0-or-later
// The connection doctor's checks against real inputs: device nodes of chosen modes and ACLs
// in a folder of the test's own, a process list and udev rules folders laid out as the
// system lays them out, a child process that holds a pseudo-terminal, and the probe against
// the real palor-pager-sim. palorctl doctor is run as a user runs it.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "as_nobody.h"
#include "doctor/checks.h"
#include "link/port_discovery.h"
#include "programming_records.h"
#include "real_time_link.h"
#include "records/record_keeper.h"
#include "run_command.h"
#include "sim_process.h"
#include "temp_folder.h"
#include "ui/vendrel.h"

namespace palor::doctor {

void PrintTo(const Finding& finding, std::ostream* out) { *out << formatLine(finding); }

namespace {

using test::TempFolder;
using namespace std::chrono_literals;

gid_t groupId(const char* name) {
  const group* entry = ::getgrnam(name);
  return entry ? entry->gr_gid : 0;
}

void writeFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << content;
}

// An access ACL as the kernel stores it: version 2, then (tag, permissions, id) entries.
std::string aclBytes(std::initializer_list<std::array<std::uint32_t, 3>> entries) {
  std::string bytes;
  const auto put = [&](std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(2, 4);
  for (const auto& [tag, perm, id] : entries) {
    put(tag, 2);
    put(perm, 2);
    put(id, 4);
  }
  return bytes;
}

struct AccessCase {
  const char* name;
  mode_t mode;
  Identity who;
  bool userAcl;  // an ACL entry giving the user nobody read and write, as uaccess does
  bool ok;
  std::string verdict;  // the text after the node's owner, group and mode
};

void PrintTo(const AccessCase& c, std::ostream* out) { *out << c.name; }

class NodeAccess : public ::testing::TestWithParam<AccessCase> {};

TEST_P(NodeAccess, SaysWhoMayOpenTheNodeAndWhatToDo) {
  const AccessCase& c = GetParam();
  const gid_t dialout = groupId("dialout");
  ASSERT_NE(dialout, 0u) << "the system has no group dialout";
  TempFolder folder("palor-doctor");
  const std::string node = folder.path("ttyUSB0");
  writeFile(node, "");
  ASSERT_EQ(::chown(node.c_str(), 0, dialout), 0);
  ASSERT_EQ(::chmod(node.c_str(), c.mode), 0);
  if (c.userAcl) {
    // user::rw-, user:nobody:rw-, group::---, mask::rw-, other::---
    const std::string acl = aclBytes({{0x01, 6, 0xFFFFFFFF},
                                      {0x02, 6, test::kNobody},
                                      {0x04, 0, 0xFFFFFFFF},
                                      {0x10, 6, 0xFFFFFFFF},
                                      {0x20, 0, 0xFFFFFFFF}});
    if (::setxattr(node.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
      GTEST_SKIP() << "the temporary folder takes no ACLs";
  }
  const Finding found = checkAccess(node, c.who);
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(c.userAcl ? 0660 : c.mode));
  EXPECT_EQ(found,
            (Finding{c.ok, node,
                     "owner root, group dialout, mode " + std::string(mode) + "; " + c.verdict}));
}

const Identity kRoot{0, 0, {}};
const Identity kNobody{test::kNobody, test::kNogroup, {}};
const Identity kNobodyInDialout{test::kNobody, test::kNogroup, {20}};

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeAccess,
    ::testing::Values(
        AccessCase{"GroupNodeOutsider", 0660, kNobody, false, false,
                   "you may not open it: add your user to group dialout (sudo usermod -aG "
                   "dialout nobody) and log in again, or install the udev rule "
                   "70-palor-programmer.rules into /etc/udev/rules.d and plug the adapter in "
                   "again"},
        AccessCase{"OwnerOnlyNode", 0600, kNobody, false, false,
                   "you may not open it: only its owner root may; install the udev rule "
                   "70-palor-programmer.rules into /etc/udev/rules.d and plug the adapter in "
                   "again"},
        AccessCase{"GroupMember", 0660, kNobodyInDialout, false, true,
                   "you may open it (you are in its group dialout)"},
        AccessCase{"OwnerOnlyNodeGroupMember", 0600, kNobodyInDialout, false, false,
                   "you may not open it: only its owner root may; install the udev rule "
                   "70-palor-programmer.rules into /etc/udev/rules.d and plug the adapter in "
                   "again"},
        AccessCase{"UaccessAclEntry", 0600, kNobody, true, true,
                   "you may open it (an ACL entry for user nobody, as udev's uaccess gives)"},
        AccessCase{"Everyone", 0666, kNobody, false, true, "you may open it (everyone may)"},
        AccessCase{"Root", 0600, kRoot, false, true, "you may open it (root)"}),
    [](const auto& info) { return std::string(info.param.name); });

// The same checks as the user nobody really is, through the identity the system gives:
// 0660 group dialout names dialout and the udev rule, 0600 names no group to join.
TEST(NodeAccessAsNobody, NamesTheGroupOnlyWhereJoiningItHelps) {
  TempFolder folder("palor-doctor");
  for (const mode_t mode : {mode_t{0660}, mode_t{0600}}) {
    const std::string node = folder.path("ttyUSB" + std::to_string(mode));
    const std::string out = folder.path("finding" + std::to_string(mode));
    writeFile(node, "");
    ASSERT_EQ(::chown(node.c_str(), 0, groupId("dialout")), 0);
    ASSERT_EQ(::chmod(node.c_str(), mode), 0);
    writeFile(out, "");
    ASSERT_EQ(::chmod(out.c_str(), 0666), 0);
    const auto status = test::runAsNobody([&] {
      const Finding f = checkAccess(node, Identity::current());
      std::ofstream(out) << f.text;
      return f.ok ? 0 : 1;
    });
    if (!status) GTEST_SKIP() << "needs root to become nobody";
    EXPECT_EQ(*status, 1);
    std::ifstream in(out);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string advice = text.substr(text.find("; ") + 2);
    EXPECT_NE(advice.find("70-palor-programmer.rules"), std::string::npos) << text;
    if (mode == 0660)
      EXPECT_NE(advice.find("add your user to group dialout"), std::string::npos) << text;
    else
      EXPECT_EQ(advice.find("group"), std::string::npos) << text;
  }
}

// The system around the port, laid out in folders of the test's own: /proc with processes,
// udev's rules folders, the folders of installed programs.
class SystemAround : public ::testing::Test {
 protected:
  void process(int pid, const std::string& comm) {
    writeFile(folder_.path("proc/" + std::to_string(pid) + "/comm"), comm + "\n");
  }
  Places places() {
    std::filesystem::create_directories(folder_.path("proc"));
    return {folder_.path("proc"),
            folder_.path("kmsg"),
            {folder_.path("etc-rules"), folder_.path("lib-rules")},
            {folder_.path("bin")}};
  }
  TempFolder folder_{"palor-doctor"};
};

TEST_F(SystemAround, ModemManagerIsAProblemOnlyWhereTheRuleDoesNotKeepItAway) {
  process(1, "systemd");
  const UsbAdapter ignored{.node = "/dev/ttyUSB0", .modemManagerIgnores = true};
  const UsbAdapter probed{.node = "/dev/ttyUSB1"};
  EXPECT_EQ(checkModemManager({probed}, places()), (Finding{true, "ModemManager", "not running"}));
  process(812, "ModemManager");
  EXPECT_EQ(checkModemManager({ignored}, places()),
            (Finding{true, "ModemManager", "running, and it leaves the charger's ports alone"}));
  const Finding f = checkModemManager({ignored, probed}, places());
  EXPECT_FALSE(f.ok);
  EXPECT_TRUE(f.text.starts_with("running, and it may probe /dev/ttyUSB1 as a modem")) << f.text;
  EXPECT_NE(f.text.find("ID_MM_DEVICE_IGNORE"), std::string::npos) << f.text;
}

TEST_F(SystemAround, BrlttyIsAProblemOnlyWhereItsRulesClaimTheAdapter) {
  struct Case {
    bool installed, running;
    const char* rules;  // its udev rules file, or none
    bool ok;
    std::string text;
  };
  const std::string claims =
      "# Papenmeier\nENV{PRODUCT}==\"67b/2303/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"pm\", "
      "GOTO=\"brltty_usb_run\"\n";
  const std::string others = "# a comment naming 067b 2303\nENV{PRODUCT}==\"1a86/7523/*\"\n";
  const std::vector<Case> cases = {
      {false, false, nullptr, true, "not installed"},
      {true, false, others.c_str(), true, "installed; its udev rules do not claim the adapter"},
      {false, true, nullptr, true, "running; its udev rules do not claim the adapter"},
      {true, true, claims.c_str(), false, ""},
  };
  for (const Case& c : cases) {
    TempFolder folder("palor-doctor");
    Places p{folder.path("proc"), "", {folder.path("rules")}, {folder.path("bin")}};
    std::filesystem::create_directories(p.proc);
    if (c.installed) writeFile(folder.path("bin/brltty"), "");
    if (c.running) writeFile(folder.path("proc/77/comm"), "brltty\n");
    const std::string file = folder.path("rules/85-brltty.rules");
    if (c.rules) writeFile(file, c.rules);
    const Finding f = checkBrltty(p);
    EXPECT_EQ(f.ok, c.ok) << f.text;
    if (c.ok) {
      EXPECT_EQ(f.text, c.text);
    } else {
      EXPECT_TRUE(
          f.text.starts_with("running, and its udev rules (" + file + ") claim adapters 067b:2303"))
          << f.text;
      EXPECT_NE(f.text.find("/etc/udev/rules.d/85-brltty.rules"), std::string::npos) << f.text;
    }
  }
}

TEST_F(SystemAround, TheUdevRuleIsFoundInstalledAndSeenAppliedOrNot) {
  const Places p = places();
  UsbAdapter applied{.node = "/dev/ttyUSB0", .uaccessTag = true, .modemManagerIgnores = true};
  UsbAdapter bare{.node = "/dev/ttyUSB1"};
  UsbAdapter noTty{.usbName = "1-3"};
  Findings found = checkUdevRule({applied, bare, noTty}, p);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_FALSE(found[0].ok);
  EXPECT_TRUE(found[0].text.starts_with("70-palor-programmer.rules is not installed"))
      << found[0].text;
  EXPECT_EQ(found[1], (Finding{true, "/dev/ttyUSB0",
                               "the udev rule is applied (uaccess, ID_MM_DEVICE_IGNORE)"}));
  EXPECT_FALSE(found[2].ok);
  EXPECT_TRUE(found[2].text.starts_with(
      "udev has not applied the rule (the uaccess tag and ID_MM_DEVICE_IGNORE missing)"))
      << found[2].text;

  writeFile(p.udevRules[1] + "/70-palor-programmer.rules", "");
  found = checkUdevRule({}, p);
  EXPECT_EQ(found, (Findings{{true, "udev rule",
                              "installed as " + p.udevRules[1] + "/70-palor-programmer.rules"}}));
}

TEST_F(SystemAround, AnAdapterTheKernelRefusedIsShownWithTheKernelsOwnLine) {
  // As /dev/kmsg gives them: a record a line, continuation lines starting with a blank.
  writeFile(folder_.path("kmsg"),
            "6,1001,5000,-;usb 1-1: new full-speed USB device number 5 using xhci_hcd\n"
            " SUBSYSTEM=usb\n"
            "3,1002,5001,-;pl2303 1-1:1.0: unknown device type, please report to "
            "linux-usb@vger.kernel.org\n"
            "6,1003,5002,-;usb 1-2: new full-speed USB device number 6 using xhci_hcd\n");
  const UsbAdapter refused{.usbName = "1-1"};
  const UsbAdapter working{.usbName = "1-2",
                           .driver = "pl2303",
                           .node = "/dev/ttyUSB0",
                           .byPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};
  const Findings found = checkAdapters({refused, working}, places(), false);
  const Findings expected{
      {false, "adapter 1-1",
       "the kernel gave it no serial port (no driver bound): this adapter variant is not "
       "supported by the running kernel; use another adapter; the kernel said: pl2303 1-1:1.0: "
       "unknown device type, please report to linux-usb@vger.kernel.org"},
      {true, "adapter 1-2",
       "/dev/ttyUSB0, driver pl2303, /dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"},
      {true, "adapters",
       "2 chargers; label each by its port: 1-1; "
       "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"},
  };
  EXPECT_EQ(found, expected);
  EXPECT_FALSE(checkAdapters({}, places(), false)[0].ok) << "no adapter: the cable";
  EXPECT_TRUE(checkAdapters({}, places(), true)[0].ok) << "a port given: no adapter expected";
}

// A pseudo-terminal whose far side the test keeps, and a child process (named
// "charger-holder") that opens its port and, when asked, locks it as the programmer does.
class HeldPort {
 public:
  explicit HeldPort(bool lock) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    path_ = ::ptsname(master_);
    int ready[2], stop[2];
    if (::pipe(ready) != 0 || ::pipe(stop) != 0) return;
    child_ = ::fork();
    if (child_ == 0) {
      ::prctl(PR_SET_NAME, "charger-holder");
      ::close(stop[1]);  // so that the test closing its end ends the wait
      const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
      if (fd < 0 || (lock && ::flock(fd, LOCK_EX | LOCK_NB) != 0)) ::_exit(1);
      char byte = 1;
      (void)!::write(ready[1], &byte, 1);
      (void)!::read(stop[0], &byte, 1);  // until the test closes its end
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(stop[0]);
    stop_ = stop[1];
    char byte = 0;
    held_ = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
  }
  ~HeldPort() {
    if (stop_ >= 0) ::close(stop_);
    if (child_ > 0) ::waitpid(child_, nullptr, 0);
    if (master_ >= 0) ::close(master_);
  }
  bool held() const { return held_; }
  pid_t pid() const { return child_; }
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  int stop_ = -1;
  pid_t child_ = -1;
  bool held_ = false;
  std::string path_;
};

TEST(PortHolders, AProcessThatHoldsThePortIsNamedWithItsPid) {
  for (const bool lock : {true, false}) {
    HeldPort port(lock);
    ASSERT_TRUE(port.held());
    const std::string holder = "charger-holder (pid " + std::to_string(port.pid()) + ")";
    const Finding f = checkHolders(port.path(), Places{});
    if (lock)
      EXPECT_EQ(f,
                (Finding{false, port.path(),
                         "in use by " + holder + ": end that program, or close the port in it"}));
    else
      EXPECT_EQ(f, (Finding{true, port.path(),
                            "also open in " + holder + ", which leaves it free to open"}));
  }
}

// The probe against the simulated charger, on the fast link clock.
TEST(Probe, TellsChargerPagerAndFirmwareAsTheSimulatorPlaysThem) {
  struct Line {
    bool ok;
    const char* about;  // "charger" or "pager"
    std::string text;
  };
  struct Case {
    std::vector<std::string> switches;
    std::vector<Line> lines;
  };
  const Line answers{true, "charger", "answers"};
  const std::vector<Case> cases = {
      {{}, {answers, {true, "pager", "firmware version 3 revision 3, supported"}}},
      {{"--firmware", "2", "--no-revision"},
       {answers, {true, "pager", "firmware version 2, supported"}}},
      {{"--no-pager"}, {answers, {false, "charger", "no pager in the charger: put the pager in"}}},
      {{"--delay", "600000"},
       {{false, "charger", "no answer: is the charger switched on and its cable in?"}}},
      {{"--firmware", "4"},
       {answers,
        {false, "pager",
         "firmware version 4 revision 3: Pager firmware too new. Please obtain a new version of "
         "this software."}}},
      {{"--firmware", "1"},
       {answers,
        {false, "pager",
         "firmware version 1 revision 3: not supported by this program (it programs firmware "
         "versions 2 and 3)"}}},
      {{"--bad-identification"},
       {answers,
        {false, "pager",
         "its identification is not in the expected form: this pager is not supported by this "
         "program"}}},
  };
  const ProbeTiming fast{test::kFastTicks, std::chrono::milliseconds(1500),
                         std::chrono::milliseconds(3000)};
  for (const Case& c : cases) {
    std::vector<std::string> args{"-q"};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    test::SimProcess sim(args);
    const std::string port = sim.readLine();
    ASSERT_FALSE(port.empty());
    Findings expected;
    for (const Line& line : c.lines)
      expected.push_back({line.ok, std::string(line.about) + " on " + port, line.text});
    EXPECT_EQ(probe(port, fast), expected) << ::testing::PrintToString(c.switches);
  }
}

// Inside the window, the port its own connection holds is reported from that connection:
// probed again, it would be "in use" by the window itself.
TEST(WindowConnection, ThePortTheWindowHoldsIsReportedFromItsOwnConnection) {
  test::SimProcess sim({"-q"});
  const std::string port = sim.readLine();
  ASSERT_FALSE(port.empty());
  ::setenv("PALOR_EXTRA_PORTS", port.c_str(), 1);
  FormState form;
  form.startUp({.portSource = systemPorts});
  LinkClock clock = test::clockFor(form, test::kFastTicks);
  ASSERT_TRUE(clock.runUntil([&] { return form.window().readFromPagerEnabled; }, 10s));
  const Findings found = examine({.own = ownConnectionOf(form)});
  ::unsetenv("PALOR_EXTRA_PORTS");
  Findings aboutPort;
  for (const Finding& f : found)
    if (f.subject.find(port) != std::string::npos) aboutPort.push_back(f);
  EXPECT_EQ(aboutPort,
            (Findings{{true, "charger on " + port, "answers (this program's own connection)"},
                      {true, "pager on " + port, "firmware version 3, supported"}}));
  form.shutDown();
}

// palorctl doctor --port, as a user runs it against the simulator.
TEST(PalorctlDoctor, ExitsZeroWithThePagersFirmwareAndOneForASilentCharger) {
  {
    test::SimProcess sim({"-q"});
    const std::string port = sim.readLine();
    const auto result = test::runCommand(std::string(PALORCTL_PATH) + " doctor --port " + port);
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("ok       pager on " + port +
                              ": firmware version 3 revision 3, supported\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("PROBLEM"), std::string::npos) << result.out;
  }
  {
    test::SimProcess sim({"-q", "--delay", "600000"});
    const std::string port = sim.readLine();
    const auto result =
        test::runCommand(std::string(PALORCTL_PATH) + " doctor --json --port " + port);
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_NE(result.out.find("\"ok\": false"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\"subject\": \"charger on " + port +
                              "\",\n      \"text\": \"no answer: is the charger switched on and "
                              "its cable in?\""),
              std::string::npos)
        << result.out;
  }
}

// palorctl support-file: an archive that tar unpacks, each member there, the configuration's
// password left out of its table, the records without their images.
TEST(PalorctlSupportFile, HoldsEveryMemberAndNoPassword) {
  TempFolder folder("palor-support");
  const std::string palorctl = PALORCTL_PATH;
  const std::string config = folder.path("cfg.bin"), archive = folder.path("out.tar.gz");
  const std::string trace = folder.path("trace.txt"), records = folder.path("records.sqlite");
  writeFile(trace, "0 > 7E 7E 32 00 32 00\n");
  {
    records::RecordKeeper keeper({records::RecordsLocation::Kind::File, records});
    for (int n = 1; n <= 21; ++n)
      ASSERT_TRUE(
          keeper.keep(test::sampleRecord(records::Operation::Write, records::Outcome::Completed, n))
              .id);
  }
  ASSERT_EQ(test::runCommand(palorctl + " convert " + config + " --set password=9731").status, 0);
  const auto made = test::runCommand(palorctl + " --records " + records + " support-file " +
                                     archive + " " + config + " --trace " + trace);
  ASSERT_EQ(made.status, 0) << made.err;
  const auto listed = test::runCommand("tar tzf " + archive);
  EXPECT_EQ(listed.out,
            "README.txt\nversions.txt\ndoctor.txt\nstatus-log.txt\ntrace.txt\nrecords.txt\n"
            "configuration.csv\n");
  ASSERT_EQ(test::runCommand("tar xzf " + archive + " -C " + folder.path("")).status, 0);
  const auto read = [&](const std::string& name) {
    std::ifstream in(folder.path(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const std::string csv = read("configuration.csv");
  EXPECT_NE(csv.find("Password:,,"), std::string::npos) << csv;
  EXPECT_EQ(csv.find("9731"), std::string::npos);
  EXPECT_NE(csv.find("Hand programming:"), std::string::npos) << "the rest of the table is there";
  EXPECT_EQ(read("trace.txt"), "0 > 7E 7E 32 00 32 00\n");
  EXPECT_NE(read("status-log.txt").find("Loaded data from " + config), std::string::npos);
  EXPECT_NE(read("doctor.txt").find("ModemManager: "), std::string::npos);
  EXPECT_NE(read("versions.txt").find("program: palorctl "), std::string::npos);
  // The last 20 of the 21 records, newest first, a line each.
  const std::string kept = read("records.txt");
  EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 20) << kept;
  EXPECT_TRUE(kept.starts_with("21\t")) << kept;
  EXPECT_EQ(kept.find("\n1\t"), std::string::npos) << "the oldest record is left out";
}

}  // namespace
}  // namespace palor::doctor
