// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu of the main window: opening and saving image files and CSV tables, and
// files dropped on the window.
#include "config/ascii_text.h"
#include "config/image_checksums.h"
#include "files/atomic_file.h"
#include "files/csv_table.h"
#include "files/file_read.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
void FormState::Open1Click(const FileNameDialog& askOpenFileName) {
  if (const auto path = askOpenFileName()) (void)OpenConfigurationFile(*path);
}

void FormState::FilesDropped(const std::vector<std::string>& paths) {
  if (link_.protocol().busy()) return;
  if (!paths.empty()) (void)OpenConfigurationFile(paths.front());
}

FileCommandOutcome FormState::OpenConfigurationFile(const std::string& path) {
  const std::string extension = lowerCaseExtension(path);
  if (extension == ".csv") return ImportCsv(path);
  if (extension != ".bin" && extension != ".eep") return {};

  const FileRead read = readImageFile(path);
  if (!read.opened) {
    log_.append(msg::kLoadFailed);
    return {false, read.error};
  }
  // A short or failed read is refused here too, after the method28a rule.
  const bool loaded = loadImageFile(read.bytes, path);
  return {loaded, read.error};
}

void FormState::Save1Click(const FileNameDialog& askSaveFileName) {
  if (!PreStoreChecks()) return;
  const auto path = askSaveFileName();
  if (!path) return;
  (void)SaveConfigurationFile(*path);
}

FileCommandOutcome FormState::SaveConfigurationFile(const std::string& path) {
  if (lowerCaseExtension(path) == ".csv") return ExportCsv(path);
  if (!encodeImageForFile()) return {};
  const std::string_view bytes(reinterpret_cast<const char*>(images_.writeImage.data()),
                               images_.writeImage.size());
  return logSaveOutcome(saveFileAtomically(path, bytes), path);
}

FileCommandOutcome FormState::ExportCsv(const std::string& path) {
  // A text with a comma would move the later fields of its line: nothing is written.
  if (const auto field = csv::textWithComma(record_)) {
    log_.append(msg::commaInCsv(fieldSchema(*field).name));
    return {};
  }
  return logSaveOutcome(saveFileAtomically(path, csv::exportTable(record_)), path);
}

FileCommandOutcome FormState::logSaveOutcome(const FileOutcome& saved, const std::string& path) {
  log_.append(saved ? msg::savedDataTo(path) : std::string(msg::kSaveFailed));
  return {static_cast<bool>(saved), saved.failure()};
}

FileCommandOutcome FormState::ImportCsv(const std::string& path) {
  // The whole file is read before any line applies: a file that cannot be read to its end,
  // or that is not a table, changes nothing.
  std::vector<std::string> lines;
  const FileOutcome read =
      csv::readTableLines(path, [&](std::string_view line, int) { lines.emplace_back(line); });
  if (!read || !csv::startsAsTable(lines)) {
    log_.append(msg::kLoadFailed);
    return {false, read.failure()};
  }
  // A value that no rule can read as a number ends that line's rules, as it ends any rule;
  // the other lines still apply, and the first such error is shown once the import is done.
  std::optional<ConversionError> firstError;
  for (std::size_t number = 0; number < lines.size(); ++number) {
    try {
      ApplyCsvLine(lines[number], static_cast<int>(number));
    } catch (const ConversionError& e) {
      if (!firstError) firstError = e;
    }
  }
  log_.append(msg::loadedDataFrom(path));
  if (firstError) throw *firstError;
  return {true, std::nullopt};
}

namespace {

// The form's rules that the table's lines name (csv_layout.h).
void runTableRule(FormState& form, const csv::RuleCall& call) {
  switch (call.rule) {
    case csv::FormRule::AddressSwitch: form.addrEnClick(call.row); return;
    case csv::FormRule::MessageTypes: form.msgtypeChange(); return;
    case csv::FormRule::FixedString: form.FixedStringExit(call.field); return;
    case csv::FormRule::LcdHoldTime: form.LcdHoldTimeChange(); return;
    case csv::FormRule::Contrast: form.ContrastExit(); return;
    case csv::FormRule::RangeTime: form.RangeTimeExit(); return;
    case csv::FormRule::ChannelFrequency: form.channelfreqExit(); return;
  }
}

}  // namespace

void FormState::ApplyCsvLine(std::string_view line, int number) {
  csv::importLine(record_, line, number, decimalSeparator_,
                  [this](const csv::RuleCall& call) { runTableRule(*this, call); });
}

}  // namespace palor
