// palorctl: the programmer's command-line companion. Field edits given on the command line
// are applied in their order, each exactly as the same user action in the window would be.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "link_commands.h"
#include "report_pdf.h"
#include "palor_version.h"

namespace {

using palor::ctl::kUsageError;

bool isEditOption(std::string_view arg) {
  for (std::string_view option : {"--type", "--leave", "--set", "--check", "--pick"})
    if (arg == option || (arg.starts_with(option) && arg.size() > option.size() &&
                          arg[option.size()] == '='))
      return true;
  return false;
}

// Takes the edit options out of the arguments, in order; the rest goes to the parser.
std::vector<palor::ScriptedEdit> takeEdits(std::vector<std::string>& args) {
  std::vector<palor::ScriptedEdit> edits;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!isEditOption(arg)) {
      rest.push_back(arg);
      continue;
    }
    const auto equals = arg.find('=');
    if (equals != std::string::npos) {
      edits.push_back(palor::parseEdit(arg.substr(0, equals), arg.substr(equals + 1)));
    } else {
      if (i + 1 >= args.size()) throw palor::EditError(arg + " needs an argument");
      edits.push_back(palor::parseEdit(arg, args[++i]));
    }
  }
  args = std::move(rest);
  return edits;
}

constexpr const char* kEdits =
    "Field edits, applied in the order given after any file is opened, exactly as a user in\n"
    "the window makes them:\n"
    "  --type FIELD=TEXT     type TEXT into FIELD, character by character, into the text as\n"
    "                        it stands (use --set FIELD= first to replace it)\n"
    "  --leave FIELD         leave FIELD (its exit rule runs)\n"
    "  --set FIELD=TEXT      set FIELD's text as a program step\n"
    "  --check FIELD=yes|no  click a check box into that state\n"
    "  --pick FIELD=ITEM     pick an item by its text, or by its index";

std::string description() {
  return std::string(
             "palorctl: dump, encode, decode, convert, check, compare and report pager\n"
             "configurations, and read and write the pager in the charger.\n"
             "Files are .bin or .eep images and .csv tables.\n") +
         kEdits +
         "\nStatus-log lines go to standard error. Exit status: 0 done, 1 refused, 2 usage "
         "error;\ndiff: 0 equal, 1 different, 2 trouble.";
}

// Runs the command of the arguments; `writeFailure` is set to the status a failing write of
// its output ends with.
int runCommand(std::vector<std::string> args, int& writeFailure) {
  palor::ctl::CommonOptions options;
  try {
    options.edits = takeEdits(args);
  } catch (const palor::EditError& e) {
    std::cerr << "palorctl: " << e.what() << '\n';
    return kUsageError;
  }

  CLI::App app{description(), "palorctl"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("palorctl ") + palor::kVersion);
  std::optional<std::string> file;
  std::string in, out, other;
  int firmware = -1;  // none given
  auto addFirmware = [&](CLI::App* command) {
    command->add_option("--firmware", firmware, "pager firmware version (default 3)")
        ->check(CLI::Range(0, 255));
  };
  auto addJson = [&](CLI::App* command) {
    command->add_flag("--json", options.json, "print JSON, one object per field");
  };

  auto* dump = app.add_subcommand("dump", "print the settings record");
  dump->add_option("FILE", file, "file to open first");
  addJson(dump);
  addFirmware(dump);
  dump->footer(kEdits);

  auto* encode = app.add_subcommand("encode", "write the image a write to the pager would carry");
  encode->add_option("OUT", out, "image file to write")->required();
  addFirmware(encode);
  encode->footer(kEdits);

  auto* decode = app.add_subcommand("decode", "decode an image file and print the record");
  decode->add_option("IN", in, "image file")->required();
  addJson(decode);

  std::vector<std::string> convertFiles;
  auto* convert = app.add_subcommand("convert", "open IN (if given), edit, save as OUT");
  convert->add_option("FILES", convertFiles, "[IN] OUT")->required()->expected(1, 2);
  addFirmware(convert);
  convert->footer(kEdits);

  auto* check = app.add_subcommand("check", "test the checksums of an image file");
  check->add_option("FILE", in, "image file")->required();

  auto* diff = app.add_subcommand("diff", "print the fields whose values differ");
  diff->add_option("A", in, "first file")->required();
  diff->add_option("B", other, "second file")->required();
  for (CLI::App* command : {decode, check, diff}) command->footer("This command takes no field edits.");

  palor::ctl::LinkOptions link;
  auto addLink = [&](CLI::App* command) {
    command->add_option("--port", link.port, "use PATH as the only charger port");
    command->add_option("--timeout", link.timeoutSeconds,
                        "seconds for a charger and a pager to answer (default 30)")
        ->check(CLI::PositiveNumber);
    command->add_option("--trace", link.trace, "write every frame, time-stamped, in hex, to FILE");
  };
  auto* ports = app.add_subcommand(
      "ports", "list the charger ports the window would try, each with what opening it meets");
  ports->footer("This command takes no field edits.");

  bool raw = false;
  auto* read = app.add_subcommand("read", "read the pager in the charger and save it as OUT");
  read->add_option("OUT", out, "file to save (.bin, .eep or .csv)")->required();
  read->add_flag("--raw", raw, "save the 1024 bytes exactly as the pager sent them");
  addLink(read);

  bool repair = false;
  std::optional<std::string> thenSave;
  auto* write = app.add_subcommand("write", "open IN (if given), edit, write to the pager");
  write->add_option("IN", file, "file to open first");
  write->add_flag("--repair", repair, "check Help / Repair: write the window's hardware values");
  write->add_option("--then-save", thenSave,
                    "after a completed write, save the configuration (addresses advanced)");
  addLink(write);
  write->footer(kEdits);

  // report OUT.pdf|- [FILE] [edits]: the customer report's page, or its labels as text.
  std::string reportOut;
  std::optional<std::string> reportFile;
  auto* report = app.add_subcommand("report", "write the customer report as a PDF page, or "
                                              "print its labels as \"name: value\" lines (OUT -)");
  report->add_option("OUT", reportOut, "PDF file to write, or - for the labels")->required();
  report->add_option("FILE", reportFile, "file to open first");
  addFirmware(report);
  report->footer(kEdits);

  try {
    std::reverse(args.begin(), args.end());  // CLI11 takes the arguments back to front
    app.parse(args);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : kUsageError;
  }
  if (firmware >= 0) options.firmware = static_cast<std::uint8_t>(firmware);
  if ((check->parsed() || diff->parsed() || decode->parsed() || read->parsed() ||
       ports->parsed()) &&
      !options.edits.empty()) {
    std::cerr << "palorctl: this command takes no field edits\n";
    return kUsageError;
  }

  if (encode->parsed() && !palor::ctl::isImageFileName(out)) {
    std::cerr << "palorctl: " << out << ": an image file name ends in .bin or .eep\n";
    return kUsageError;
  }

  if (dump->parsed()) return palor::ctl::dump(file, options);
  if (encode->parsed()) return palor::ctl::encode(out, options);
  if (decode->parsed()) return palor::ctl::decode(in, options);
  if (convert->parsed()) {
    if (convertFiles.size() == 2) return palor::ctl::convert(convertFiles[0], convertFiles[1], options);
    return palor::ctl::convert(std::nullopt, convertFiles[0], options);
  }
  if (report->parsed())
    return palor::ctl::report(reportOut, reportFile, options, palor::ctl::writeReportPdfFile);
  if (check->parsed()) return palor::ctl::check(in);
  if (ports->parsed()) return palor::ctl::ports();
  if (read->parsed()) return palor::ctl::read(out, raw, link, options);
  if (write->parsed()) return palor::ctl::write(file, repair, thenSave, link, options);
  writeFailure = palor::ctl::kDiffTrouble;
  return palor::ctl::diff(in, other);
}

}  // namespace

int main(int argc, char** argv) {
  palor::ctl::occupyClosedStandardStreams();
  // Standard output is collected and written at the end, where a failing write is seen.
  std::ostringstream output;
  struct Redirect {
    std::streambuf* console;
    ~Redirect() { std::cout.rdbuf(console); }
  } redirect{std::cout.rdbuf(output.rdbuf())};
  int writeFailure = palor::ctl::kRefused;
  const int status = runCommand(std::vector<std::string>(argv + 1, argv + argc), writeFailure);
  return palor::ctl::writeStandardOutput(output.str(), status, writeFailure);
}
