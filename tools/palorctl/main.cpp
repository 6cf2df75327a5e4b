// SPDX-License-Identifier: GPL-3.0-or-later
// palorctl: the programmer's command-line companion. Field edits given on the command line
// are applied in their order, each exactly as the same user action in the window would be.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <optional>
#include <sstream>

#include "command_table.h"
#include "commands.h"
#include "config/escaped_text.h"
#include "palor_version.h"

namespace {

using palor::ctl::kUsageError;

bool isEditOption(std::string_view arg) {
  for (std::string_view option : {"--type", "--leave", "--set", "--check", "--pick"})
    if (arg == option ||
        (arg.starts_with(option) && arg.size() > option.size() && arg[option.size()] == '='))
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

// Takes --records VALUE (or --records=VALUE) out of the arguments, wherever it stands:
// before the command's name or after it. The last one given counts.
std::optional<std::string> takeRecords(std::vector<std::string>& args) {
  constexpr std::string_view kOption = "--records";
  std::optional<std::string> records;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == kOption) {
      if (i + 1 >= args.size()) throw palor::EditError("--records needs an argument");
      records = args[++i];
    } else if (arg.starts_with(kOption) && arg.size() > kOption.size() &&
               arg[kOption.size()] == '=') {
      records = arg.substr(kOption.size() + 1);
    } else {
      rest.push_back(arg);
    }
  }
  args = std::move(rest);
  return records;
}

std::string description() {
  return std::string(
             "palorctl: dump, encode, decode, convert, check, compare and report pager\n"
             "configurations, and read, write and restore the pager in the charger.\n"
             "Every read, write and restore is recorded (PALOR_RECORDS or --records);\n"
             "history lists the records.\n"
             "Files are .bin or .eep images and .csv tables.\n") +
         std::string(palor::ctl::kEditsHelp) +
         "\nStatus-log lines go to standard error. Exit status: 0 done, 1 refused, 2 usage "
         "error;\ndiff: 0 equal, 1 different, 2 trouble.";
}

// Runs the command of the arguments; `writeFailure` is set to the status a failing write of
// its output ends with.
int runCommand(std::vector<std::string> args, int& writeFailure) {
  palor::ctl::SharedOptions shared;
  try {
    shared.common.edits = takeEdits(args);
    shared.common.records = takeRecords(args);
  } catch (const palor::EditError& e) {
    std::cerr << "palorctl: " << palor::escapeControls(e.what()) << '\n';
    return kUsageError;
  }

  CLI::App app{description(), "palorctl"};
  app.require_subcommand(1);
  // A parse error quotes the argument it stumbled on: its control characters as escapes.
  app.failure_message([](const CLI::App* command, const CLI::Error& e) {
    std::string text = CLI::FailureMessage::simple(command, e);
    const std::string what = e.what();
    return text.rfind(what, 0) == 0 ? palor::escapeControls(what) + text.substr(what.size()) : text;
  });
  // Taken out of the arguments before the parse; here for the help.
  std::string recordsHelp;
  app.add_option("--records", recordsHelp,
                 "where read, write, restore, batch and history keep the programming records, "
                 "instead of PALOR_RECORDS: a file, a postgresql:// URI or off")
      ->type_name("VALUE");
  app.set_version_flag("--version",
                       std::string("palorctl ") + palor::kVersion + "\n" + palor::kVersionNotice);
  struct Parsed {
    CLI::App* subcommand;
    const palor::ctl::Command* command;
    palor::ctl::Handler run;
  };
  std::vector<Parsed> table;
  for (const palor::ctl::Command& command : palor::ctl::commands()) {
    CLI::App* sub = app.add_subcommand(std::string(command.name), std::string(command.description));
    table.push_back({sub, &command, command.setUp(*sub, shared)});
    sub->footer(std::string(command.footer));
  }

  try {
    std::reverse(args.begin(), args.end());  // CLI11 takes the arguments back to front
    app.parse(args);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : kUsageError;
  }
  palor::ctl::CommonOptions& options = shared.common;
  if (shared.firmware >= 0) options.firmware = static_cast<std::uint8_t>(shared.firmware);
  for (const Parsed& row : table) {
    if (!row.subcommand->parsed()) continue;
    if (!row.command->takesEdits && !options.edits.empty()) {
      std::cerr << "palorctl: this command takes no field edits\n";
      return kUsageError;
    }
    writeFailure = row.command->outputFailure;
    return row.run(options);
  }
  return kUsageError;  // not reached: the parser requires one command
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
