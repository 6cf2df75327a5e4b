// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands of palorctl. Each starts from the program's own start-up state, runs the
// same form-state code as the window, writes status-log lines to standard error and
// returns the exit status: 0 done, 1 the program refused, 2 usage error. What a command
// prints goes to std::cout.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "report/printrp.h"
#include "ui/scripted_edit.h"

namespace palor::ctl {

inline constexpr int kDone = 0;
inline constexpr int kRefused = 1;
inline constexpr int kUsageError = 2;
// diff, as diff(1): 0 equal, 1 different, 2 trouble (a file not loaded, output not written).
inline constexpr int kDiffTrouble = 2;

struct CommonOptions {
  std::vector<ScriptedEdit> edits;       // applied in order, after any file is opened
  std::optional<std::uint8_t> firmware;  // as if a pager of this version had reported
  bool json = false;
  // --records: where the records are, instead of PALOR_RECORDS.
  std::optional<std::string> records;
};

// The record after start-up, FILE (if any) opened as File / Open opens it, and the edits.
int dump(const std::optional<std::string>& file, const CommonOptions& options);
// The image a write to the pager would carry: pre-store checks, encoder, version byte,
// checksums; written to OUT whatever its extension.
int encode(const std::string& out, const CommonOptions& options);
// An image file decoded as File / Open decodes it, whatever its extension, then dumped.
int decode(const std::string& in, const CommonOptions& options);
// As dump, then saved as File / Save saves it, by OUT's extension.
int convert(const std::optional<std::string>& in, const std::string& out,
            const CommonOptions& options);
// The checksum test of an image file, each checksum told apart.
int check(const std::string& file);
// The customer report of the record after start-up, FILE (if any) and the edits, as
// Preview fills it: its page written to OUT by `writePdf`, or, when OUT is "-", its labels
// printed in the report's order, one "name: value" a line (UTF-8; a control character or a
// backslash in a value shows as \xNN).
using ReportPdfWriter = std::function<bool(const std::string& out, const TPrintReport& report)>;
int report(const std::string& out, const std::optional<std::string>& file,
           const CommonOptions& options, const ReportPdfWriter& writePdf);
// Opens each file into a fresh window and prints every field whose value differs.
int diff(const std::string& a, const std::string& b);

// A name that encode may write: its extension is .bin or .eep, in any letter case.
bool isImageFileName(const std::string& name);

// A standard stream the caller left closed gets a stand-in that refuses writes, so that no
// file opened later takes its number (and with it the output or the messages).
void occupyClosedStandardStreams();
// Writes `text` to standard output. Returns `status`, or, with a message, `failureStatus`
// when the output cannot be written (a full disk, a closed standard output).
int writeStandardOutput(std::string_view text, int status, int failureStatus);

}  // namespace palor::ctl
