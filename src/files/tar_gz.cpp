// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/tar_gz.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace palor {
namespace {

constexpr std::size_t kBlock = 512;

// A number as ustar writes it: octal digits, zero-filled, in a field of `size` bytes whose
// last byte is the terminating zero.
void octal(char* field, std::size_t size, unsigned long long value) {
  std::snprintf(field, size, "%0*llo", static_cast<int>(size - 1), value);
}

std::string header(const ArchiveMember& member, long long mtime) {
  if (member.name.size() > 100) throw std::invalid_argument("archive member name too long");
  char block[kBlock] = {};
  std::memcpy(block, member.name.data(), member.name.size());
  octal(block + 100, 8, 0644);  // mode
  octal(block + 108, 8, 0);     // uid
  octal(block + 116, 8, 0);     // gid
  octal(block + 124, 12, member.content.size());
  octal(block + 136, 12, static_cast<unsigned long long>(mtime));
  std::memset(block + 148, ' ', 8);      // the checksum counts itself as blanks
  block[156] = '0';                      // a regular file
  std::memcpy(block + 257, "ustar", 6);  // magic with its zero
  std::memcpy(block + 263, "00", 2);     // version
  unsigned sum = 0;
  for (const char c : block) sum += static_cast<unsigned char>(c);
  std::snprintf(block + 148, 8, "%06o", sum);  // six digits, a zero, and the blank kept
  return std::string(block, kBlock);
}

std::string gzip(const std::string& raw) {
  z_stream stream{};
  // 15 + 16: a gzip header and trailer around the deflate stream.
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("zlib cannot compress");
  std::string out(deflateBound(&stream, raw.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("zlib did not finish the archive");
  return out;
}

}  // namespace

std::string tarGz(const std::vector<ArchiveMember>& members, long long mtime) {
  std::string tar;
  for (const ArchiveMember& member : members) {
    tar += header(member, mtime);
    tar += member.content;
    tar.append((kBlock - member.content.size() % kBlock) % kBlock, '\0');
  }
  tar.append(2 * kBlock, '\0');
  return gzip(tar);
}

FileOutcome saveTarGz(const std::string& path, const std::vector<ArchiveMember>& members,
                      long long mtime) {
  return saveFileAtomically(path, tarGz(members, mtime));
}

}  // namespace palor
