// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A folder of a test's own under the system's temporary folder, made empty and unique
// (mkdtemp), reachable by every user so that a part of the test run as the user nobody
// can use it too, and removed with all it holds when the test ends, whatever the test
// changed in the permissions inside it.
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace palor::test {

class TempFolder {
 public:
  explicit TempFolder(const std::string& stem = "palor") {
    std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder for " + stem);
    path_ = pattern;
    ::chmod(path_.c_str(), 0755);
  }
  ~TempFolder() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ignored))
      if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside the folder.
  std::string path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The path of `name` in the test program's own scratch folder, made at its first use and
// removed with all it holds when the program ends.
inline std::string scratchPath(const std::string& name) {
  static const TempFolder folder("palor-scratch");
  return folder.path(name);
}

}  // namespace palor::test
