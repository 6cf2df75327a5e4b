// SPDX-License-Identifier: GPL-3.0-or-later
// Whether this user may open a port's device node, and why: root, the owner, a group, an
// ACL entry (udev's uaccess gives one to the user at the seat) or everyone.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "doctor/checks.h"
#include "link/serial_transport.h"

namespace palor::doctor {
namespace {

constexpr unsigned kRead = 4, kWrite = 2, kReadWrite = kRead | kWrite;

// The POSIX ACL as the kernel stores it in the xattr system.posix_acl_access: a 4-byte
// version (2), then entries of a 16-bit tag, 16-bit permissions and a 32-bit id, all
// little-endian.
struct AclEntry {
  enum Tag : std::uint16_t {
    UserObj = 0x01,
    User = 0x02,
    GroupObj = 0x04,
    Group = 0x08,
    Mask = 0x10,
    Other = 0x20
  };
  std::uint16_t tag;
  std::uint16_t perm;
  std::uint32_t id;
};

std::uint32_t little(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

std::vector<AclEntry> readAcl(const std::string& node) {
  std::vector<AclEntry> entries;
  unsigned char buffer[4 + 8 * 64];
  const ssize_t size = ::getxattr(node.c_str(), "system.posix_acl_access", buffer, sizeof buffer);
  if (size < 4 || little(buffer, 4) != 2) return entries;
  for (ssize_t at = 4; at + 8 <= size; at += 8)
    entries.push_back({static_cast<std::uint16_t>(little(buffer + at, 2)),
                       static_cast<std::uint16_t>(little(buffer + at + 2, 2)),
                       little(buffer + at + 4, 4)});
  return entries;
}

std::string userName(uid_t uid) {
  if (const passwd* entry = ::getpwuid(uid)) return entry->pw_name;
  return std::to_string(uid);
}

std::string groupName(gid_t gid) {
  if (const group* entry = ::getgrgid(gid)) return entry->gr_name;
  return std::to_string(gid);
}

std::string octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

Identity Identity::current() {
  Identity who{::geteuid(), ::getegid(), {}};
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    who.groups.resize(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, who.groups.data());
    who.groups.resize(static_cast<std::size_t>(std::max(got, 0)));
  }
  return who;
}

Finding checkAccess(const std::string& node, const Identity& who) {
  struct stat st {};
  if (::stat(node.c_str(), &st) != 0)
    return {false, node, std::string("cannot be examined: ") + std::strerror(errno)};
  const std::string owner = userName(st.st_uid), groupOf = groupName(st.st_gid);
  const std::string found = "owner " + owner + ", group " + groupOf + ", mode " + octal(st.st_mode);
  const auto ok = [&](const std::string& why) {
    return Finding{true, node, found + "; you may open it (" + why + ")"};
  };
  const auto inGroup = [&](gid_t gid) {
    return gid == who.gid ||
           std::find(who.groups.begin(), who.groups.end(), gid) != who.groups.end();
  };
  if (who.uid == 0) return ok("root");
  const auto may = [](unsigned perm) { return (perm & kReadWrite) == kReadWrite; };
  if (st.st_uid == who.uid) {
    if (may((st.st_mode >> 6) & 7)) return ok("its owner");
  } else {
    // With an ACL the mode's group bits are its mask: every group and named user entry is
    // limited by them.
    const std::vector<AclEntry> acl = readAcl(node);
    unsigned mask = kReadWrite | 1;
    for (const AclEntry& e : acl)
      if (e.tag == AclEntry::Mask) mask = e.perm;
    unsigned groupPerm = (st.st_mode >> 3) & 7;
    for (const AclEntry& e : acl)
      if (e.tag == AclEntry::GroupObj) groupPerm = e.perm & mask;
    for (const AclEntry& e : acl)
      if (e.tag == AclEntry::User && e.id == who.uid && may(e.perm & mask))
        return ok("an ACL entry for user " + userName(who.uid) + ", as udev's uaccess gives");
    if (inGroup(st.st_gid) && may(groupPerm)) return ok("you are in its group " + groupOf);
    for (const AclEntry& e : acl)
      if (e.tag == AclEntry::Group && inGroup(e.id) && may(e.perm & mask))
        return ok("an ACL entry for your group " + groupName(e.id));
    if (may(st.st_mode & 7)) return ok("everyone may");
    if (may(groupPerm))
      return {false, node,
              found + "; you may not open it: add your user to group " + groupOf +
                  " (sudo usermod -aG " + groupOf + " " + userName(who.uid) +
                  ") and log in again, or install the udev rule " + kUdevRuleName +
                  " into /etc/udev/rules.d and plug the adapter in again"};
  }
  return {false, node,
          found + "; you may not open it: only its owner " + owner +
              " may; install the udev rule " + kUdevRuleName +
              " into /etc/udev/rules.d and plug the adapter in again"};
}

}  // namespace palor::doctor
