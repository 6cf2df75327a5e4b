// Imports arbitrary bytes as a CSV table through File / Open's own reader: the bytes go into
// an anonymous memory file that ImportCsv opens by its /proc path, so the line splitting,
// the line-length cap and every line's rules all see them. The table is imported twice, on
// a PC that writes numbers with a point and on one that writes them with a comma.
//
// A number field left blank is no number, and its rule raises the conversion error the
// window shows after loading: that one outcome is expected. Any other exception, a refused
// open, or a record outside its schema is a fault.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "record_invariants.h"
#include "ui/vendrel.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// The anonymous file the table is read from, rewritten for every input.
class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("fuzz.csv", MFD_CLOEXEC)) {
    if (fd_ < 0) fail("memfd_create failed");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  void write(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0) fail("ftruncate failed");
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) fail("pwrite failed");
      done += static_cast<std::size_t>(n);
    }
  }
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

void importWith(const std::string& path, char separator) {
  palor::FormState form;
  form.startUp({{}, separator});
  try {
    if (!form.ImportCsv(path)) fail("the table file could not be opened");
  } catch (const palor::ConversionError&) {
    // A blank number field; the other lines were applied all the same.
  }
  palor::fuzz::checkRecordInvariants(form.record());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static MemoryFile file;
  file.write(data, size);
  importWith(file.path(), '.');
  importWith(file.path(), ',');
  return 0;
}
