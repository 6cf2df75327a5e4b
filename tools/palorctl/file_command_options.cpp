// SPDX-License-Identifier: GPL-3.0-or-later
// The command lines of the commands on configuration files: dump, encode, decode, convert,
// check and diff.
#include <iostream>
#include <memory>
#include <optional>

#include "command_table.h"
#include "config/escaped_text.h"

namespace palor::ctl {

Handler setUpDump(CLI::App& command, SharedOptions& shared) {
  auto file = std::make_shared<std::optional<std::string>>();
  command.add_option("FILE", *file, "file to open first");
  addJsonOption(command, shared);
  addFirmwareOption(command, shared);
  return [file](const CommonOptions& options) { return dump(*file, options); };
}

Handler setUpEncode(CLI::App& command, SharedOptions& shared) {
  auto out = std::make_shared<std::string>();
  command.add_option("OUT", *out, "image file to write")->required();
  addFirmwareOption(command, shared);
  return [out](const CommonOptions& options) {
    if (!isImageFileName(*out)) {
      std::cerr << "palorctl: " << escapeControls(*out)
                << ": an image file name ends in .bin or .eep\n";
      return kUsageError;
    }
    return encode(*out, options);
  };
}

Handler setUpDecode(CLI::App& command, SharedOptions& shared) {
  auto in = std::make_shared<std::string>();
  command.add_option("IN", *in, "image file")->required();
  addJsonOption(command, shared);
  return [in](const CommonOptions& options) { return decode(*in, options); };
}

Handler setUpConvert(CLI::App& command, SharedOptions& shared) {
  auto files = std::make_shared<std::vector<std::string>>();
  command.add_option("FILES", *files, "[IN] OUT")->required()->expected(1, 2);
  addFirmwareOption(command, shared);
  return [files](const CommonOptions& options) {
    if (files->size() == 2) return convert((*files)[0], (*files)[1], options);
    return convert(std::nullopt, (*files)[0], options);
  };
}

Handler setUpCheck(CLI::App& command, SharedOptions&) {
  auto file = std::make_shared<std::string>();
  command.add_option("FILE", *file, "image file")->required();
  return [file](const CommonOptions&) { return check(*file); };
}

Handler setUpDiff(CLI::App& command, SharedOptions&) {
  auto files = std::make_shared<std::array<std::string, 2>>();
  command.add_option("A", (*files)[0], "first file")->required();
  command.add_option("B", (*files)[1], "second file")->required();
  return [files](const CommonOptions&) { return diff((*files)[0], (*files)[1]); };
}

}  // namespace palor::ctl
