// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving a file so that a failure never damages what was there: the bytes go to a new
// temporary file in the same folder, every write and the final flush are checked, and only
// then does the new file take the old one's name in one rename. Every file the programs
// write (images, tables, reports, traces) is saved here, under one policy.
#include <string>
#include <string_view>

#include "files/file_error.h"

namespace palor {

// Succeeds when the whole content is on disk under `path`; otherwise says why (a folder,
// device, named pipe or socket: NotRegularFile, anything else: WriteError with the reason).
// - Only a regular file or a new name is saved to; anything else is refused and left as it
//   is ("it is a device, not a file").
// - On a failure the temporary file is removed and an existing file is left byte for byte
//   as it was, except in the one case below.
// - A symbolic link is followed and keeps pointing where it did: the file it names is
//   replaced, or created when it does not exist yet. In a folder that anyone may write to
//   but only owners may delete from (sticky, as /tmp), a link is followed only when it
//   belongs to this user or to the folder's owner, whatever the system's own setting: a
//   link another user planted there is refused, and the refusal names it.
// - The temporary file has a short name of its own (".palor-" and six characters), so a
//   target whose name is at the system's length limit is still saved whole.
// - A replaced file keeps its permissions and, where this user may set them (root, or a
//   group this user belongs to), its owner and group.
// - An existing file that may not be written (read-only to this user) is not replaced.
// - When the folder's rights refuse the temporary file but the file itself may be written,
//   the file is written in place (every write, the truncation and the flush checked); a
//   failure there can leave it half-written, as any program writing it in place would.
FileOutcome saveFileAtomically(const std::string& path, std::string_view content);

// Whether saveFileAtomically could save under `path`, without writing anything: the
// folder exists and takes a new file (or the file itself may be written), and the name is
// a regular file or a new name reached by no link that would be refused. A command checks
// its output with this before it starts work that a failed save would waste.
FileOutcome checkSaveTarget(const std::string& path);

}  // namespace palor
