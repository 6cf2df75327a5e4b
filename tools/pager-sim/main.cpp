// SPDX-License-Identifier: GPL-3.0-or-later
// palor-pager-sim: a simulated desk charger with a pager in it, on a pseudo-terminal. The
// programmer opens the printed device path as if it were the charger's serial port.
//
// This file reads the options and wires the parts together; the parts live in
// palor_pager_sim_loop and palor_pager_sim_device.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "charger_device.h"
#include "control_fifo.h"
#include "device_link.h"
#include "eeprom_file.h"
#include "palor_version.h"
#include "pseudo_terminal.h"
#include "simulator_loop.h"
#include "stop_signals.h"

namespace {

using namespace palor::sim;
using palor::ConfigImage;
using std::chrono::milliseconds;

constexpr int kCannotRun = 1;
constexpr int kUsageError = 2;

struct Options {
  DeviceOptions device;
  std::vector<std::string> imagePaths;
  bool save = false;
  std::string saveFolder;
  std::string linkPath;
  std::string controlPath;
  bool pace = true;
  bool quiet = false;
};

constexpr const char* kFooter = R"(
The simulator prints the device path of its pseudo-terminal on the first line of its
standard output; open that path (or the --link path) as the charger's serial port. It
answers as the charger and the pager in it do, request then reply (codes in hex):
  presence poll 32        pager-present 31, or no-pager 30 when the charger is empty
  identify request 48     identification 48 with the data 01 version revision
                          (00 version revision with --bad-identification; without
                          the revision byte with --no-revision)
  read block request 6b   read block reply 6b with the 64 bytes of EEPROM block b
  write block 7b (64 B)   acknowledgement 7b; after block 15 (7F) the pager writes its
                          EEPROM and reports write-done 4A after --write-time, then
                          verify-passed 4C after --verify-time more
  closing command 49      no reply
While the charger is empty, every request but the presence poll and the closing command
is answered with no-pager 30. Frames with a wrong checksum, and write blocks without 64
data bytes, are ignored. The EEPROM (and, with --save, the image file) holds the written
blocks as soon as block 15 has come; the blocks of a write that is cut short by taking
the pager out are forgotten.

Timing: a reply falls due when the last byte of its request has come, plus --delay. The
bytes then leave paced at the line rate, one every 173.6 us (10 bits at 57600 bit/s): a
6-byte reply takes about 1.0 ms on the line, a 70-byte read block reply about 12.2 ms,
and frames due together follow one another. With --no-pace they leave at once. Bytes
that the programmer does not read wait in the terminal; when it is full the simulator
waits for room, and loses nothing.

Commands, one per line on standard input or in the control FIFO (a line longer than
256 bytes is ignored whole):
  in       put the pager in (reported unasked with 31)
  out      take the pager out (reported unasked with 30; replies the pager had still
           to send are lost)
  status   print "pager in" or "pager out" on standard output
  quit     end the simulator
The end of standard input does not end the simulator. It ends on quit and on SIGINT,
SIGTERM or SIGHUP; however it ends, it removes the --link link and a --control FIFO
that it made (a FIFO that was there before is left).

Batches: with --swap-after MS, MS milliseconds after the verify-passed report of a
completed write the pager is taken out (reported with 30), and MS milliseconds later a
fresh pager is put in (reported with 31) holding the EEPROM the simulator started with
or, with several --image files, the next of them in turn (the first after the last), each
as the file was when the simulator started. The pager in the charger at start is pager 1, the next
pager 2, and so on; --save-to DIR keeps each pager's EEPROM after its write as
DIR/pager-N.bin, and --save writes it back to the --image file it came from. A failed
write swaps nothing: the pager stays in until "out".

Fault switches: frame numbers for --drop-frame and --corrupt-frame count every frame
the simulator sends, from 1, unasked reports and dropped frames included. --wrong-block
and --pull-at-block name a block by its number 0..15 (request code 60 + B, write block
code 70 + B).

Line noise: with --garbage N every frame the simulator sends, unasked reports included,
comes after N bytes of noise: random bytes with lone lead pairs 7E 7E, three lead bytes,
frames cut short after their length byte and whole frames with a wrong checksum among
them. No frame in the noise has a matching checksum, and its last 70 bytes hold no 7E,
so the frame after it arrives whole unless the programmer's 2048-byte receive ring
overruns. Paced, N bytes take N x 173.6 us on the line; with --no-pace they come at once,
and more than 2048 of them overrun the ring between two of the programmer's ticks.

Events (requests, replies, faults) are reported on standard error unless --quiet.

Exit status: 0 after quit, a stop signal or --help; 1 when the simulator cannot start
or its pseudo-terminal fails; 2 for a usage error.
)";

// An existing regular file: the reason is taken at the call that finds it wanting.
const CLI::Validator kRegularFile(
    [](std::string& path) -> std::string {
      struct stat st {};
      if (::stat(path.c_str(), &st) != 0) return path + ": " + std::strerror(errno);
      if (!S_ISREG(st.st_mode)) return path + " is not a regular file";
      return {};
    },
    "");

void parse(CLI::App& app, Options& o, int argc, char** argv) {
  app.description("Simulated desk charger (Dururovera) with a pager in it, on a pseudo-terminal.");
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("palor-pager-sim ") + palor::kVersion + "\n" +
                                        palor::kVersionNotice);
  int version = 3, revision = 3;
  int delay = 0, writeTime = 300, verifyTime = 200;
  std::vector<unsigned> drop, corrupt;
  std::optional<unsigned> wrongBlock, pullAt, verifyAfter;
  bool noPager = false, badIdentification = false, noRevision = false, noPace = false;
  app.add_option("--image", o.imagePaths,
                 "EEPROM image file (exactly 1024 bytes); without it the EEPROM holds "
                 "the programmer's start-up settings. Repeated: the images of the pagers "
                 "put in one after another by --swap-after, in turn")
      ->type_name("FILE")
      ->check(kRegularFile);
  app.add_flag("--save", o.save,
               "write the EEPROM back to the pager's --image file after each write "
               "(atomically)")
      ->needs("--image");
  app.add_option("--save-to", o.saveFolder,
                 "after each write, save the pager's EEPROM as DIR/pager-N.bin, N counting "
                 "the pagers from 1 (atomically)")
      ->type_name("DIR")
      ->check(CLI::ExistingDirectory);
  int swapAfter = -1;
  app.add_option("--swap-after", swapAfter,
                 "MS milliseconds after a completed write take the pager out, and MS "
                 "milliseconds later put a fresh pager in (the start-up EEPROM, or the next "
                 "--image)")
      ->type_name("MS")
      ->check(CLI::Range(0, 600000));
  app.add_option("--link", o.linkPath,
                 "also make a symbolic link at this path to the device (an existing "
                 "symbolic link is replaced, anything else is refused)")
      ->type_name("PATH");
  app.add_option("--control", o.controlPath,
                 "read commands from this FIFO as well (made when missing)")
      ->type_name("PATH");
  app.add_option("--firmware", version, "pager firmware version reported (default 3)")
      ->type_name("V")
      ->check(CLI::Range(0, 255));
  auto* revisionOption =
      app.add_option("--revision", revision, "pager firmware revision reported (default 3)")
          ->type_name("R")
          ->check(CLI::Range(0, 255));
  app.add_flag("--no-revision", noRevision,
               "identification reply without the revision byte (two data bytes)")
      ->excludes(revisionOption);
  app.add_flag("--bad-identification", badIdentification,
               "identification reply marked invalid (first data byte 00)");
  app.add_flag("--no-pager", noPager, "start with the charger empty");
  app.add_flag("--no-pace", noPace, "send at once instead of at the line rate");
  app.add_option("--delay", delay, "delay every reply by this many milliseconds (default 0)")
      ->type_name("MS")
      ->check(CLI::Range(0, 600000));
  app.add_option("--write-time", writeTime,
                 "milliseconds the pager takes to write its EEPROM (default 300)")
      ->type_name("MS")
      ->check(CLI::Range(0, 600000));
  app.add_option("--verify-time", verifyTime,
                 "milliseconds the pager takes to verify it (default 200)")
      ->type_name("MS")
      ->check(CLI::Range(0, 600000));
  app.add_option("--drop-frame", drop, "do not send the Nth frame (repeatable)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1000000u));
  app.add_option("--corrupt-frame", corrupt,
                 "send the Nth frame with a broken checksum (repeatable)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1000000u));
  app.add_option("--wrong-block", wrongBlock,
                 "answer the read request and acknowledge the write of block B as block "
                 "B+1 (block 15 as block 0)")
      ->type_name("B")
      ->check(CLI::Range(0u, 15u));
  app.add_option("--pull-at-block", pullAt,
                 "take the pager out, unasked, when block B is requested or written (once)")
      ->type_name("B")
      ->check(CLI::Range(0u, 15u));
  app.add_option("--verify-after-block", verifyAfter,
                 "report verify-passed (4C) right after acknowledging block B, before the "
                 "write is complete")
      ->type_name("B")
      ->check(CLI::Range(0u, 15u));
  auto* refuse = app.add_flag("--refuse-write", o.device.refuseWrite,
                              "report write-impossible (4B) instead of writing the EEPROM");
  app.add_flag("--fail-verify", o.device.failVerify,
               "write the EEPROM, then report verify-failed (4D)")
      ->excludes(refuse);
  app.add_option("--garbage", o.device.garbageBytes,
                 "send this many bytes of line noise before every frame (default 0)")
      ->type_name("BYTES")
      ->check(CLI::Range(0, 1000000));
  app.add_flag("-q,--quiet", o.quiet, "do not report events on standard error");
  app.parse(argc, argv);

  o.device.firmwareVersion = static_cast<std::uint8_t>(version);
  o.device.firmwareRevision = static_cast<std::uint8_t>(revision);
  o.device.revisionByte = !noRevision;
  o.device.identificationValid = !badIdentification;
  o.device.pagerPresent = !noPager;
  o.device.replyDelay = milliseconds(delay);
  o.device.writeTime = milliseconds(writeTime);
  o.device.verifyTime = milliseconds(verifyTime);
  o.device.dropFrames.insert(drop.begin(), drop.end());
  o.device.corruptFrames.insert(corrupt.begin(), corrupt.end());
  o.device.wrongBlock = wrongBlock;
  o.device.pullAtBlock = pullAt;
  o.device.verifyAfterBlock = verifyAfter;
  o.pace = !noPace;
  if (swapAfter >= 0) o.device.swapAfter = milliseconds(swapAfter);
}

int simulate(const Options& options) {
  // First, so that a stop signal during start-up is kept until the loop can end cleanly.
  StopSignals stop;
  std::vector<ConfigImage> images;
  for (const std::string& path : options.imagePaths) images.push_back(loadEeprom(path));
  const ConfigImage image = images.empty() ? defaultPagerImage() : images.front();
  DeviceOptions deviceOptions = options.device;
  deviceOptions.freshPagers = images;
  PseudoTerminal pty;
  std::optional<DeviceLink> link;
  if (!options.linkPath.empty()) link.emplace(options.linkPath, pty.devicePath());
  std::optional<ControlFifo> control;
  if (!options.controlPath.empty()) control.emplace(options.controlPath);

  ChargerDevice device(deviceOptions, image);
  if (!options.quiet)
    device.onEvent([](const std::string& e) { std::cerr << "palor-pager-sim: " << e << '\n'; });
  if (options.save || !options.saveFolder.empty()) {
    device.onEepromWritten([&options, &device](const ConfigImage& eeprom) {
      const unsigned pager = device.pagerOrdinal();
      std::vector<std::string> paths;
      if (options.save)
        paths.push_back(options.imagePaths[(pager - 1) % options.imagePaths.size()]);
      if (!options.saveFolder.empty())
        paths.push_back(options.saveFolder + "/pager-" + std::to_string(pager) + ".bin");
      for (const std::string& path : paths) {
        try {
          saveEeprom(path, eeprom);
        } catch (const std::exception& e) {
          std::cerr << "palor-pager-sim: " << e.what() << '\n';
        }
      }
    });
  }

  std::cout << pty.devicePath() << std::endl;
  SimulatorLoop loop(device, pty.master(), options.pace, std::cout, std::cerr);
  loop.addCommandSource(STDIN_FILENO);
  if (control) loop.addCommandSource(control->fd());
  loop.stopOn(stop);
  return loop.run();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"palor-pager-sim"};
  Options options;
  try {
    parse(app, options, argc, argv);
  } catch (const CLI::Success& e) {  // --help
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsageError;
  }
  // A reader of standard output that goes away must not end the simulator.
  ::signal(SIGPIPE, SIG_IGN);
  try {
    return simulate(options);
  } catch (const std::exception& e) {
    std::cerr << "palor-pager-sim: " << e.what() << '\n';
    return kCannotRun;
  }
}
