#pragma once
// Saving a file so that a failure never damages what was there: the bytes go to a new
// temporary file in the same folder, every write and the final flush are checked, and only
// then does the new file take the old one's name in one rename.
#include <string>
#include <string_view>

#include "files/file_error.h"

namespace palor {

// Succeeds when the whole content is on disk under `path`; otherwise says why (a folder or
// other non-file: NotRegularFile, anything else: WriteError with the system's text).
// - On a failure the temporary file is removed and an existing file is left byte for byte
//   as it was, except in the one case below.
// - A symbolic link is followed and keeps pointing where it did: the file it names is
//   replaced, or created when it does not exist yet.
// - A replaced file keeps its permissions and, where this user may set them (root, or a
//   group this user belongs to), its owner and group.
// - An existing file that may not be written (read-only to this user) is not replaced.
// - When the folder's rights refuse the temporary file but the file itself may be written,
//   the file is written in place (every write, the truncation and the flush checked); a
//   failure there can leave it half-written, as any program writing it in place would.
FileOutcome saveFileAtomically(const std::string& path, std::string_view content);

}  // namespace palor
