// SPDX-License-Identifier: GPL-3.0-or-later
// Imports arbitrary bytes as a CSV table through File / Open's own reader: the bytes go into
// an anonymous memory file that ImportCsv opens by its /proc path, so the line splitting,
// the line-length cap and every line's rules all see them. The table is imported on a PC
// that writes numbers with a point and on one that writes them with a comma. What a window
// imported it then saves as a table, which is opened and saved again; from then on opening
// and saving must give the same table.
//
// A number field holding blanks or control characters passes the import's digit test but
// is no number, and its rule raises the conversion error the window shows after loading:
// that one outcome is expected. Bytes that do not start as a table are refused and change
// nothing; a table the window saved must always open again. Any other exception, a refused
// saved table, or a record outside its schema is a fault.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "files/csv_table.h"
#include "record_invariants.h"
#include "ui/vendrel.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// The anonymous file the table is read from, rewritten for every import.
class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("fuzz.csv", MFD_CLOEXEC)) {
    if (fd_ < 0) fail("memfd_create failed");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  void write(const void* data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0) fail("ftruncate failed");
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(done));
      if (n <= 0) fail("pwrite failed");
      done += static_cast<std::size_t>(n);
    }
  }
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

// Imports the file into a fresh window and returns the table that window saves, or nothing
// when the window refused the file.
std::optional<std::string> importThenExport(const std::string& path, char separator) {
  palor::FormState form;
  form.startUp({{}, separator});
  try {
    if (!form.ImportCsv(path)) return std::nullopt;
  } catch (const palor::ConversionError& e) {
    const std::string& text = e.text();
    const bool blank = text.empty() || std::any_of(text.begin(), text.end(), [](char c) {
                         return static_cast<unsigned char>(c) <= ' ';
                       });
    if (!blank) throw;
  }
  palor::fuzz::checkRecordInvariants(form.record());
  return palor::csv::exportTable(form.record());
}

// Imports a table this window saved: it must open.
std::string reimport(const std::string& path, char separator) {
  auto saved = importThenExport(path, separator);
  if (!saved) fail("a saved table could not be opened again");
  return *saved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile file;
  for (char separator : {'.', ','}) {
    file.write(data, size);
    const auto first = importThenExport(file.path(), separator);
    if (!first) continue;
    std::string saved = *first;
    // The first table can still hold what a window keeps until a table sets it (the
    // unpadded default kill message); the one saved after reopening it is settled. With a
    // comma separator the table carries only the megahertz of the frequency, which takes
    // one more round for a frequency of four integral digits ("1638,4" gives "163,8",
    // which gives "163,").
    for (int round = separator == ',' ? 2 : 1; round > 0; --round) {
      file.write(saved.data(), saved.size());
      saved = reimport(file.path(), separator);
    }
    file.write(saved.data(), saved.size());
    const std::string again = reimport(file.path(), separator);
    if (again != saved) {
      std::fprintf(stderr, "separator '%c'\nsaved:\n%s\nsaved again:\n%s\n", separator,
                   saved.c_str(), again.c_str());
      fail("saving a reopened table changed it");
    }
  }
  return 0;
}
