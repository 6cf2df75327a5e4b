// SPDX-License-Identifier: GPL-3.0-or-later
// palorctl run as a user runs it: its output is read back and checked against the record
// the program itself has after start-up.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "as_nobody.h"
#include "config/image_checksums.h"
#include "named_ports.h"
#include "record_dump.h"
#include "run_command.h"
#include "temp_folder.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

using RunResult = test::CommandResult;

RunResult runPalorctl(const std::string& arguments) {
  return test::runCommand(std::string(PALORCTL_PATH) + " " + arguments);
}

TEST(PalorctlDump, JsonListsEveryFieldWithItsStartUpValue) {
  const RunResult run = runPalorctl("dump --json");
  ASSERT_EQ(run.status, 0);
  const auto fields = nlohmann::json::parse(run.out);

  FormState form;
  form.startUp();
  const SettingsRecord& record = form.record();
  ASSERT_EQ(fields.size(), SettingsRecord::size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto f = static_cast<FieldId>(i);
    const auto& field = fields[i];
    const FieldSchema& schema = SettingsRecord::schema(f);
    SCOPED_TRACE(schema.name);
    EXPECT_EQ(field.at("name"), schema.name);
    EXPECT_EQ(field.at("enabled"), record.enabled(f));
    EXPECT_EQ(field.at("visible"), record.visible(f));
    switch (schema.kind) {
      case FieldKind::Text:
        EXPECT_EQ(field.at("kind"), "text");
        EXPECT_EQ(field.at("value"), ctl::latin1ToUtf8(record.text(f)));
        EXPECT_TRUE(field.at("item").is_null());
        break;
      case FieldKind::Item:
        EXPECT_EQ(field.at("kind"), "item");
        EXPECT_EQ(field.at("value"), record.index(f));
        EXPECT_EQ(field.at("item"), std::string(*record.itemText(f)));
        break;
      case FieldKind::Check:
        EXPECT_EQ(field.at("kind"), "check");
        EXPECT_EQ(field.at("value"), record.checked(f));
        break;
    }
  }
  // Start-up's own changes show: contrast disabled, urgcalltype hidden.
  EXPECT_EQ(fields[toIndex(fieldId("contrast"))].at("enabled"), false);
  EXPECT_EQ(fields[toIndex(fieldId("urgcalltype"))].at("visible"), false);
}

TEST(PalorctlDump, TableHasOneLinePerField) {
  const RunResult run = runPalorctl("dump");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')),
            SettingsRecord::size());
  EXPECT_NE(run.out.find("language            item  7 \"U.K.\"\n"), std::string::npos);
}

TEST(PalorctlDump, TextsAreLatin1InJson) {
  EXPECT_EQ(ctl::latin1ToUtf8(std::string("A\xE9\xFF", 3)), "A\xC3\xA9\xC3\xBF");
}

TEST(Palorctl, UsageErrorsExitWithTwo) {
  for (const char* arguments : {"", "frobnicate", "dump --no-such-option", "dump --type",
                                "dump --type nofield=1", "dump --check method28a=maybe",
                                "dump --pick language=Klingon", "dump --check otaKillCmd=yes"})
    EXPECT_EQ(runPalorctl(arguments).status, 2) << arguments;
}

// A batch whose arguments cannot be used is refused before any charger is opened or any
// log written: a log that is a named pipe would hang the job, one that is its list would
// spoil it, a list column that names no field would be a job of wrong pagers.
TEST(PalorctlBatch, UnusableArgumentsAreUsageErrors) {
  const test::TempFolder folder("palor-batch-usage");
  const std::string list = folder.path("list.csv"), fifo = folder.path("fifo");
  std::ofstream(list) << "address1,Adress2\n1000000,1000008\n";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string batch = "batch " + list + " --port /dev/palor-no-such-port ";
  const std::pair<std::string, std::string> cases[] = {
      {"--count 2 --list " + list, "either --list"},
      {"", "either --list"},
      {"--count 0", "give at least 1"},
      {"--count 1 --log " + fifo, "not a regular file"},
      {"--count 1 --log " + list, "an input of this command"},
      {"--list " + list, "no field named 'Adress2' (column 2)"},
      {"--count 1 --timeout 0", "--timeout"},
  };
  for (const auto& [arguments, said] : cases) {
    SCOPED_TRACE(arguments);
    const RunResult run =
        test::runCommand("timeout 10 " + std::string(PALORCTL_PATH) + " " + batch + arguments);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
  }
}

// Each command's help names the program and lists the field edits it takes.
TEST(Palorctl, HelpNamesTheProgramAndTheEdits) {
  EXPECT_NE(runPalorctl("--help").out.find("Usage: palorctl [OPTIONS] SUBCOMMAND"),
            std::string::npos);
  for (const char* command : {"dump", "encode", "convert"}) {
    const RunResult run = runPalorctl(std::string(command) + " --help");
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_NE(run.out.find("Usage: palorctl " + std::string(command) + " "), std::string::npos)
        << run.out;
    for (const char* option : {"--type FIELD=TEXT", "--leave FIELD", "--set FIELD=TEXT",
                               "--check FIELD=yes|no", "--pick FIELD=ITEM",
                               "into the text as\n                        it stands (use --set "
                               "FIELD= first to replace it)"})
      EXPECT_NE(run.out.find(option), std::string::npos) << command << ": " << option;
  }
}

// Output that cannot be written (a full disk, a closed standard output) is a failure with
// a message, never a silent success.
// Only the report's PDF page needs Qt, and another program draws it.
TEST(Palorctl, LoadsNoQtLibrary) {
  const RunResult run =
      test::runCommand("LD_DEBUG=libs " + std::string(PALORCTL_PATH) + " dump >/dev/null");
  ASSERT_EQ(run.status, 0) << run.err;
  if (run.err.find("find library=") == std::string::npos)
    GTEST_SKIP() << "the dynamic loader reports no libraries under LD_DEBUG";
  EXPECT_EQ(run.err.find("libQt"), std::string::npos) << run.err;
}

TEST(Palorctl, OutputThatCannotBeWrittenFails) {
  for (const char* arguments : {"dump >/dev/full", "dump --json >&-", "--help >/dev/full"}) {
    const RunResult run = runPalorctl(arguments);
    EXPECT_EQ(run.status, 1) << arguments;
    EXPECT_NE(run.err.find("palorctl: "), std::string::npos) << arguments << ": " << run.err;
  }
  EXPECT_NE(runPalorctl("dump >/dev/full")
                .err.find("palorctl: cannot write the output: No space left on device\n"),
            std::string::npos);
}

TEST(PalorctlEdits, TypedAddressIsReportedOnceAndZeroFilledOnLeaving) {
  const RunResult run =
      runPalorctl("dump --json --set address1= --type address1=123 --leave address1");
  ASSERT_EQ(run.status, 0);
  const auto fields = nlohmann::json::parse(run.out);
  EXPECT_EQ(fields[toIndex(fieldId("address1"))].at("value"), "0000123");
  EXPECT_EQ(fields[toIndex(fieldId("frame1"))].at("value"), "3");
  // The about line of start-up, then the invalid address once: after "1", not after "12".
  EXPECT_EQ(run.err,
            "\nAddress [1] is invalid. It should be within 8-2007663; 2007672-2045055; "
            "2045064-2097143.\n");
}

TEST(PalorctlEdits, EditsApplyInTheOrderGiven) {
  // Picking "Public" opens folder [1]; checking it then opens [2].
  const RunResult run =
      runPalorctl("dump --json --pick msgtype1=Public --check pubboxact0=yes --pick=language=3");
  ASSERT_EQ(run.status, 0);
  const auto fields = nlohmann::json::parse(run.out);
  EXPECT_EQ(fields[toIndex(fieldId("pubboxact0"))].at("value"), true);
  EXPECT_EQ(fields[toIndex(fieldId("pubboxact1"))].at("enabled"), true);
  EXPECT_EQ(fields[toIndex(fieldId("language"))].at("item"), "FRENCH");
  // In the other order the folder is still locked when the click comes.
  EXPECT_EQ(runPalorctl("dump --check pubboxact0=yes --pick msgtype1=Public").status, 2);
}

}  // namespace
}  // namespace palor

namespace palor {
namespace {

class PalorctlFiles : public ::testing::Test {
 protected:
  std::string path(const char* name) { return (dir / name).string(); }

  test::TempFolder folder{"palorctl"};
  std::filesystem::path dir = folder.path();
};

TEST_F(PalorctlFiles, ExportedTableConvertsToAnImageWithNoDifference) {
  ASSERT_EQ(runPalorctl("encode " + path("start.bin") +
                        " --pick language=GERMAN --set Capcode3Name=Night --pick msgtype2=Public"
                        " --check pubboxact0=yes --set pubboxlength0=40")
                .status,
            0);
  ASSERT_EQ(runPalorctl("convert " + path("start.bin") + " " + path("cfg.csv")).status, 0);
  const RunResult converted = runPalorctl("convert " + path("cfg.csv") + " " + path("cfg.bin"));
  ASSERT_EQ(converted.status, 0);
  EXPECT_NE(converted.err.find("Saved data to " + path("cfg.bin")), std::string::npos);

  const RunResult same = runPalorctl("diff " + path("cfg.csv") + " " + path("cfg.bin"));
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "");
  EXPECT_EQ(runPalorctl("check " + path("cfg.bin")).status, 0);
  EXPECT_EQ(runPalorctl("diff " + path("cfg.csv") + " " + path("cfg.bin") + " >/dev/full").status,
            0)
      << "no differences: nothing to write";
}

// As for diff(1), trouble is 2, never "different": a file that cannot be opened, or
// differences that cannot be written.
TEST_F(PalorctlFiles, DiffTroubleIsTwo) {
  ASSERT_EQ(runPalorctl("encode " + path("a.bin")).status, 0);
  ASSERT_EQ(runPalorctl("encode " + path("b.bin") + " --check qsound=yes").status, 0);
  std::filesystem::create_directory(path("folder.bin"));
  for (const std::string& other : {path("missing.bin"), path("folder.bin"), path("x.txt")}) {
    EXPECT_EQ(runPalorctl("diff " + path("a.bin") + " " + other).status, 2) << other;
    EXPECT_EQ(runPalorctl("diff " + other + " " + path("a.bin")).status, 2) << other;
  }
  EXPECT_EQ(runPalorctl("diff " + path("a.bin") + " " + path("b.bin")).status, 1);
  const RunResult full = runPalorctl("diff " + path("a.bin") + " " + path("b.bin") + " >/dev/full");
  EXPECT_EQ(full.status, 2);
  EXPECT_NE(full.err.find("palorctl: cannot write the output"), std::string::npos) << full.err;
}

// Each refusal of a file names it and says what is wrong with it.
TEST_F(PalorctlFiles, FileRefusalsSayWhy) {
  std::ofstream(path("short.bin"), std::ios::binary) << std::string(1000, '\0');
  std::filesystem::create_directory(path("folder.bin"));
  std::filesystem::create_directory(path("folder.csv"));
  // A regular file whose first bytes cannot be read: the reading process's memory at 0.
  std::filesystem::create_symlink("/proc/self/mem", path("unreadable.csv"));
  const struct {
    std::string arguments;
    std::string file;
    const char* says;
  } cases[] = {
      {"dump", "missing.bin", "the file does not exist"},
      {"decode", "missing.bin", "the file does not exist"},
      {"check", "missing.bin", "the file does not exist"},
      {"dump", "short.bin", "the file has 1000 bytes; an image has 1024 bytes"},
      {"decode", "short.bin", "the file has 1000 bytes; an image has 1024 bytes"},
      {"check", "short.bin", "the file has 1000 bytes; an image has 1024 bytes"},
      {"dump", "folder.bin", "it is a folder, not a file"},
      {"dump", "missing.csv", "the file does not exist"},
      {"dump", "folder.csv", "it is a folder, not a file"},
      {"dump", "unreadable.csv", "cannot be read: Input/output error"},
      {"check", "folder.bin", "it is a folder, not a file"},
      {"encode", "folder.bin", "it is a folder, not a file"},
      {"convert", "folder.bin", "it is a folder, not a file"},
      {"encode", "no-folder/x.bin", "cannot be written: No such file or directory"},
  };
  for (const auto& c : cases) {
    const std::string file = path(c.file.c_str());
    const RunResult run = runPalorctl(c.arguments + " " + file);
    EXPECT_EQ(run.status, 1) << c.arguments << " " << c.file;
    EXPECT_NE(("\n" + run.err).find("\npalorctl: " + file + ": " + c.says + "\n"),
              std::string::npos)
        << c.arguments << " " << c.file << ": " << run.err;
  }
}

// A name from outside cannot forge a line of palorctl's diagnostics or drive the terminal:
// its control characters show as escapes.
TEST_F(PalorctlFiles, NamesInDiagnosticsShowControlCharactersAsEscapes) {
  const struct {
    const char* command;
    const char* printfName;  // the argument after DIR/, as printf(1) makes it
    const char* says;        // the line of standard error, DIR standing for the folder
  } cases[] = {
      {"dump", "x\\nWrite eeprom completed.\\ny.bin",
       "palorctl: DIR/x\\nWrite eeprom completed.\\ny.bin: the file does not exist"},
      {"encode", "a\\033[2J\\r.txt",
       "palorctl: DIR/a\\x1B[2J\\r.txt: an image file name ends in .bin or .eep"},
      {"dump --set", "a\\nb=1", "palorctl: no field named 'DIR/a\\nb'"},
      {"dump x.bin", "\\033]0;t\\007",
       "The following argument was not expected: DIR/\\x1B]0;t\\x07"},
  };
  for (const auto& c : cases) {
    const RunResult run = runPalorctl(std::string(c.command) + " \"" + dir.string() +
                                      "/$(printf '" + c.printfName + "')\"");
    std::string says = c.says;
    says.replace(says.find("DIR"), 3, dir.string());
    EXPECT_NE(run.status, 0) << c.command;
    EXPECT_NE(("\n" + run.err).find("\n" + says + "\n"), std::string::npos)
        << c.command << ": " << run.err;
    EXPECT_EQ(run.err.find("\nWrite eeprom"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
  }
}

// The auto-increment steps are stored in no file: a batch that saves its file after each
// write and gives no step writes the same addresses into every pager, and is warned.
TEST_F(PalorctlFiles, WriteThenSaveWarnsWhenNoAddressAdvances) {
  const std::string warning = "palorctl: no address advances: every auto-increment step is 0\n";
  const struct {
    const char* arguments;
    bool warns;
  } cases[] = {
      {"--then-save NEXT", true},
      {"--pick autoinc1=8 --then-save NEXT", false},
      {"--pick autoinc8=1 --then-save NEXT", false},
      {"--pick autoinc1=8 --check addr1en=no --then-save NEXT", true},
      {"", false},  // nothing is saved: no batch
  };
  std::ofstream(path("not-a-port"));
  for (const auto& c : cases) {
    std::string arguments = c.arguments;
    if (const auto at = arguments.find("NEXT"); at != std::string::npos)
      arguments.replace(at, 4, path("next.bin"));
    const RunResult run =
        runPalorctl("write " + arguments + " --port " + path("not-a-port") + " --timeout 0.2");
    EXPECT_EQ(run.status, 1) << c.arguments << ": " << run.err;
    EXPECT_EQ(run.err.find(warning) != std::string::npos, c.warns)
        << c.arguments << ": " << run.err;
  }
}

// encode writes an image whatever else it is told: a name that is no image file name is a
// usage error, and nothing is written.
TEST_F(PalorctlFiles, EncodeToANameThatIsNoImageFileIsAUsageError) {
  for (const char* name : {"x.csv", "x.txt", "x", "x.bin.old"}) {
    EXPECT_EQ(runPalorctl("encode " + path(name)).status, 2) << name;
    EXPECT_FALSE(std::filesystem::exists(path(name))) << name;
  }
  for (const char* name : {"X.BIN", "y.Eep"}) {
    EXPECT_EQ(runPalorctl("encode " + path(name)).status, 0) << name;
    EXPECT_EQ(std::filesystem::file_size(path(name)), 1024u) << name;
  }
}

TEST_F(PalorctlFiles, DiffListsExactlyTheFieldsThatDiffer) {
  ASSERT_EQ(runPalorctl("encode " + path("a.bin")).status, 0);
  ASSERT_EQ(runPalorctl("convert " + path("a.bin") + " " + path("b.bin") +
                        " --pick alerttime=Endless --set hellomsg1=HELLO --check qsound=yes")
                .status,
            0);
  const RunResult run = runPalorctl("diff " + path("a.bin") + " " + path("b.bin"));
  EXPECT_EQ(run.status, 1);
  // The hello message is filled with blanks by the encoder.
  EXPECT_EQ(run.out,
            "hellomsg1: \" TARVO PAGING \" | \"HELLO         \"\n"
            "alerttime: 1 \"8 sec\" | 6 \"Endless\"\n"
            "qsound: no | yes\n");
}

TEST_F(PalorctlFiles, CheckTellsWhichChecksumFails) {
  ASSERT_EQ(runPalorctl("encode " + path("a.bin") + " --firmware 2").status, 0);
  std::string image;
  {
    std::ifstream in(path("a.bin"), std::ios::binary);
    image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_EQ(image.size(), 1024u);
  EXPECT_EQ(image[0], 2);  // the firmware version byte
  image[260] ^= 0x01;      // a synthesizer byte: hardware checksum only
  std::ofstream(path("a.bin"), std::ios::binary) << image;

  const RunResult run = runPalorctl("check " + path("a.bin"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("settings checksum: stored"), std::string::npos);
  EXPECT_NE(run.out.find(": ok\nhardware checksum:"), std::string::npos);
  EXPECT_TRUE(run.out.ends_with(": FAILS\n")) << run.out;

  const RunResult decoded = runPalorctl("decode " + path("a.bin"));
  EXPECT_EQ(decoded.status, 1);
  EXPECT_NE(decoded.err.find("File corrupted."), std::string::npos);
}

// A dump of the pager's memory (byte 0 = 0, as `read --raw` and the simulator save it)
// opens as a read from the pager would, which palorctl says once per file; saving it again
// gives the file a version-3 save would have made.
TEST_F(PalorctlFiles, PagerDumpOpensWithThePagersFirmwareVersion) {
  ASSERT_EQ(runPalorctl("encode " + path("saved.bin") + " --set rangetime=240").status, 0);
  std::ifstream in(path("saved.bin"), std::ios::binary);
  const std::string saved{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_EQ(saved.size(), kImageSize);
  ConfigImage dump;
  std::copy(saved.begin(), saved.end(), dump.begin());
  dump[0] = 0;
  fillChecksums(dump);
  std::ofstream(path("dump.bin"), std::ios::binary)
      .write(reinterpret_cast<const char*>(dump.data()), dump.size());

  const RunResult same = runPalorctl("diff " + path("saved.bin") + " " + path("dump.bin"));
  EXPECT_EQ(same.status, 0) << same.out;
  const std::string note = "palorctl: " + path("dump.bin") +
                           ": byte 0 holds no firmware version (a dump of the pager's memory); "
                           "opened for firmware version 3\n";
  EXPECT_EQ(same.err.find(note), same.err.rfind(note)) << same.err;
  EXPECT_NE(same.err.find(note), std::string::npos) << same.err;
  EXPECT_EQ(same.err.find("saved.bin: byte 0"), std::string::npos) << same.err;

  ASSERT_EQ(runPalorctl("convert " + path("dump.bin") + " " + path("back.bin")).status, 0);
  std::ifstream back(path("back.bin"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), std::istreambuf_iterator<char>()),
            saved);
}

TEST_F(PalorctlFiles, RefusalsExitWithOne) {
  // An invalid address stops the encoding without a message of the program's own.
  EXPECT_EQ(runPalorctl("encode " + path("x.bin") + " --set address1=5").status, 1);
  EXPECT_FALSE(std::filesystem::exists(path("x.bin")));
  EXPECT_EQ(runPalorctl("dump " + path("missing.bin")).status, 1);
  EXPECT_EQ(runPalorctl("check " + path("missing.bin")).status, 1);
  // A named pipe without a writer is refused at once, not waited on.
  ASSERT_EQ(::mkfifo(path("pipe.bin").c_str(), 0600), 0);
  EXPECT_EQ(runPalorctl("check " + path("pipe.bin")).status, 1);
  EXPECT_EQ(runPalorctl("decode " + path("pipe.bin")).status, 1);
  std::ofstream(path("short.bin"), std::ios::binary) << std::string(1000, '\0');
  EXPECT_EQ(runPalorctl("decode " + path("short.bin")).status, 1);
  // A number field that is no number: the conversion error.
  const RunResult run = runPalorctl("encode " + path("x.bin") + " --set rangetime= --set bs1=");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("'' is not a valid integer value"), std::string::npos);
}

// palorctl ports: the ports the window would try, in its order (text order, letter case
// ignored), each with what an open would meet now. Run as an ordinary user where the test
// can become one, so that a port of a group the user is not in is refused.
// A port name from the environment cannot forge a line of the listing.
TEST(PalorctlPorts, ControlCharactersOfANameShowAsEscapes) {
  const RunResult run =
      test::runCommand("PALOR_EXTRA_PORTS=\"$(printf '/nonexistent/a\\033[2J\\nb')\" " +
                       std::string(PALORCTL_PATH) + " ports");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(("\n" + run.out).find("\n/nonexistent/a\\x1B[2J\\nb\t"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;
}

TEST(PalorctlPorts, ListsTheWindowsPortsWithWhatAnOpenMeets) {
  test::NamedPorts ports;
  const std::string free = ports.add("ttyUSB1");
  const std::string held = ports.add("TTYUSB0");
  const std::string locked = ports.add("ttyUSB10");
  const std::string missing = ports.add("ttyUSB2", false);
  const std::string ownerOnly = ports.add("ttyUSB11");
  ASSERT_EQ(::chmod(ports.device("ttyUSB1").c_str(), 0666), 0);
  ASSERT_EQ(::chmod(ports.device("TTYUSB0").c_str(), 0666), 0);
  const group* dialout = ::getgrnam("dialout");
  const gid_t owner = dialout ? dialout->gr_gid : 20;
  const std::string group = ::getgrgid(owner) ? ::getgrgid(owner)->gr_name : "";
  ASSERT_EQ(::chown(ports.device("ttyUSB10").c_str(), 0, owner), 0);
  ASSERT_EQ(::chmod(ports.device("ttyUSB10").c_str(), 0660), 0);
  ASSERT_EQ(::chown(ports.device("ttyUSB11").c_str(), 0, owner), 0);
  ASSERT_EQ(::chmod(ports.device("ttyUSB11").c_str(), 0600), 0);  // its group may not open it
  const int holder = ::open(held.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0) << "another program's hold on the port";

  const test::ProgramForNobody palorctl(PALORCTL_PATH);
  const std::string command = "PALOR_EXTRA_PORTS=" + missing + ":" + locked + ":" + ownerOnly +
                              ":/dev/null:" + free + ":" + held + " " + palorctl.path() + " ports";
  // The lines of the listed ports that are the test's own, in their order (an adapter
  // plugged into the machine may add its own lines).
  const auto listing = [&] {
    const RunResult run = test::runCommand(command);
    std::string own;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind(ports.path(""), 0) == 0 || line.rfind("/dev/null", 0) == 0) own += line + "\n";
    return std::make_pair(run.status, own);
  };
  const std::string unprivileged = "/dev/null\tnot a serial port\n" + held + "\tin use\n" + free +
                                   "\tok\n" + locked + "\tno permission (group " + group + ")\n" +
                                   ownerOnly + "\tno permission (owner only)\n" + missing +
                                   "\tmissing\n";
  const auto asNobody = test::runAsNobody([&] {
    const auto [status, own] = listing();
    if (status == 0 && own == unprivileged) return 0;
    std::fprintf(stderr, "status %d, listed:\n%s", status, own.c_str());
    return 1;
  });
  const auto [status, own] = listing();
  ::close(holder);
  EXPECT_EQ(status, 0);
  // Root passes the rights check: only the hold of another program keeps it out.
  const std::string privileged = "/dev/null\tnot a serial port\n" + held + "\tin use\n" + free +
                                 "\tok\n" + locked + "\tok\n" + ownerOnly + "\tok\n" + missing +
                                 "\tmissing\n";
  EXPECT_EQ(own, privileged);
  if (!asNobody) GTEST_SKIP() << "needs root to act as another user";
  EXPECT_EQ(*asNobody, 0) << "as the user nobody";
}

// With no adapter plugged in, standard output stays empty for scripts, and standard
// error says why.
TEST(PalorctlPorts, SaysWhenNoAdapterIsFound) {
  const RunResult run =
      test::runCommand(std::string("PALOR_EXTRA_PORTS= ") + PALORCTL_PATH + " ports");
  if (!run.out.empty()) GTEST_SKIP() << "an adapter is plugged into this machine: " << run.out;
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("no charger adapter found"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace palor
