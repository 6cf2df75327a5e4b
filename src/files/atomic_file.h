#pragma once
// Saving a file so that a failure never damages what was there: the bytes go to a new
// temporary file in the same folder, every write and the final flush are checked, and only
// then does the new file take the old one's name in one rename.
#include <string>
#include <string_view>

namespace palor {

// Returns true when the whole content is on disk under `path`. On any failure the
// temporary file is removed, an existing file of that name is left byte for byte as it
// was, and false is returned. A symbolic link is followed: the file it names is replaced.
// An existing file that may not be written (read-only to this user) is not replaced.
bool saveFileAtomically(const std::string& path, std::string_view content);

}  // namespace palor
