// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <iostream>

#include "config/ascii_text.h"
#include "config/image_checksums.h"
#include "files/atomic_file.h"
#include "files/file_read.h"
#include "record_dump.h"
#include "report/report_labels.h"
#include "session.h"
#include "ui/record_diff.h"
#include "ui/vendrel.h"

namespace palor::ctl {

namespace {

// An image whose byte 0 is 0 was dumped from a pager, not saved: it opened with the pager
// firmware version in hand (3, or --firmware) rather than its byte 0. Said once per file.
void noteOpenedDump(const Session& s, const std::string& file) {
  if (!s.form.loadedPagerDump()) return;
  std::cerr << "palorctl: " << file
            << ": byte 0 holds no firmware version (a dump of the pager's memory); opened for "
               "firmware version "
            << static_cast<int>(s.form.firmwareVersion()) << '\n';
}

// Opens FILE as File / Open does. A refusal names the file's own fault when there is one;
// a corrupted image has its status-log line already, and only a name that is no
// configuration file is refused without any line.
int openInto(Session& s, const std::string& file) {
  const std::size_t logged = s.form.log().lines().size();
  const FileCommandOutcome opened = s.form.OpenConfigurationFile(file);
  if (opened) {
    noteOpenedDump(s, file);
    return kDone;
  }
  if (opened.fileError) return refused(file, *opened.fileError);
  if (s.form.log().lines().size() > logged) return refused(file + ": not loaded");
  return refused(file + ": not loaded (a .bin, .eep or .csv file is needed)");
}

}  // namespace

int prepare(Session& s, const std::optional<std::string>& file, const CommonOptions& options) {
  if (options.firmware) s.form.setFirmwareVersion(*options.firmware);
  if (file) {
    if (const int status = openInto(s, *file)) return status;
  }
  for (const ScriptedEdit& edit : options.edits) {
    applyEdit(s.form, edit);
    (void)s.form.record().takeFocusRequest();
  }
  return kDone;
}

namespace {

void print(const SettingsRecord& record, bool json) {
  if (json)
    std::cout << recordToJson(record).dump(2) << '\n';
  else
    printRecordTable(std::cout, record);
}

}  // namespace

int dump(const std::optional<std::string>& file, const CommonOptions& options) {
  return guarded([&] {
    Session s;
    if (const int status = prepare(s, file, options)) return status;
    print(s.form.record(), options.json);
    return kDone;
  });
}

int encode(const std::string& out, const CommonOptions& options) {
  return guarded([&] {
    Session s;
    if (const int status = prepare(s, std::nullopt, options)) return status;
    if (!s.form.buildImageFile()) return refused("the configuration was refused");
    const ConfigImage& image = s.form.images().writeImage;
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    const FileOutcome saved = saveFileAtomically(out, bytes);
    return saved ? kDone : refused(out, saved.error());
  });
}

int decode(const std::string& in, const CommonOptions& options) {
  return guarded([&] {
    Session s;
    const FileRead read = readImageFile(in);
    if (!read.opened) return refused(in, *read.error);
    // A short or failed read goes through the load too, which logs it as the window does.
    if (!s.form.loadImageFile(read.bytes, in))
      return read.error ? refused(in, *read.error) : kRefused;
    noteOpenedDump(s, in);
    print(s.form.record(), options.json);
    return kDone;
  });
}

int convert(const std::optional<std::string>& in, const std::string& out,
            const CommonOptions& options) {
  return guarded([&] {
    Session s;
    if (const int status = prepare(s, in, options)) return status;
    if (!s.form.PreStoreChecks()) return refused("the configuration was refused");
    const FileCommandOutcome saved = s.form.SaveConfigurationFile(out);
    if (saved) return kDone;
    return saved.fileError ? refused(out, *saved.fileError) : kRefused;
  });
}

int check(const std::string& file) {
  const FileRead read = readImageFile(file);
  if (!read) return refused(file, *read.error);
  ConfigImage image;
  std::copy(read.bytes.begin(), read.bytes.end(), image.begin());
  bool ok = true;
  auto report = [&](const char* name, std::uint16_t stored, std::uint16_t computed) {
    char line[96];
    std::snprintf(line, sizeof line, "%s checksum: stored 0x%04X, computed 0x%04X: %s", name,
                  stored, computed, stored == computed ? "ok" : "FAILS");
    std::cout << line << '\n';
    ok = ok && stored == computed;
  };
  report("settings", storedSettingsChecksum(image), settingsChecksum(image));
  report("hardware", storedHardwareChecksum(image), hardwareChecksum(image));
  return ok ? kDone : kRefused;
}

int report(const std::string& out, const std::optional<std::string>& file,
           const CommonOptions& options, const ReportPdfWriter& writePdf) {
  return guarded([&] {
    // A target that cannot take the page is refused, with its reason, before it is drawn.
    if (out != "-")
      if (const FileOutcome savable = checkSaveTarget(out); !savable)
        return refused(out, savable.error());
    Session s;
    if (const int status = prepare(s, file, options)) return status;
    TPrintReport page;
    page.fill(s.form.record());
    if (out != "-") return writePdf(out, page) ? kDone : refused(out + ": cannot be written");
    std::cout << reportLabelLines(page);
    return kDone;
  });
}

int diff(const std::string& a, const std::string& b) {
  // As diff(1): 1 says "different", so every trouble is 2, a number field of a table that
  // no rule can read included.
  try {
    Session first;
    Session second;
    if (openInto(first, a) || openInto(second, b)) return kDiffTrouble;
    const std::vector<FieldDifference> differences =
        differingFields(first.form.record(), second.form.record());
    for (const FieldDifference& difference : differences)
      std::cout << differenceLine(difference) << '\n';
    return differences.empty() ? kDone : kRefused;
  } catch (const ConversionError& e) {
    diagnose(e.what());
    return kDiffTrouble;
  }
}

bool isImageFileName(const std::string& name) {
  const std::string extension = lowerCaseExtension(name);
  return extension == ".bin" || extension == ".eep";
}

void occupyClosedStandardStreams() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Opened for reading only: a write to the stand-in fails as one to the closed stream.
    const int standIn = ::open("/dev/null", O_RDONLY);
    if (standIn >= 0 && standIn != fd) {
      ::dup2(standIn, fd);
      ::close(standIn);
    }
  }
}

int writeStandardOutput(std::string_view text, int status, int failureStatus) {
  while (!text.empty()) {
    const ssize_t n = ::write(STDOUT_FILENO, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string why = n < 0 ? systemText(errno) : "nothing was written";
      std::cerr << "palorctl: cannot write the output: " << why << '\n';
      return failureStatus;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return status;
}

}  // namespace palor::ctl
