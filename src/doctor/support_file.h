// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The support file: one archive, written offline and sent nowhere, that holds what support
// needs to see why a charger is not found or a pager not programmed: the versions, the
// doctor's report, the status log, the trace of the frames, the last programming records
// without their images, and the configuration as a CSV table with its password left out.
#include <optional>
#include <string>
#include <vector>

#include "doctor/doctor.h"
#include "files/atomic_file.h"
#include "files/tar_gz.h"

namespace palor {
class FormState;
namespace records {
class RecordKeeper;
}
}  // namespace palor

namespace palor::doctor {

struct SupportContents {
  std::string program;               // "palorctl 0.9.0", "palor-programmer 0.9.0"
  std::string toolkit;               // "Qt 6.4.2"; empty where no toolkit is loaded
  std::string statusLog;             // the status log of the session, one line a line
  std::optional<std::string> trace;  // the frames, one line each; none when none were kept
  std::string traceAbsent;           // why there is no trace, for the README
  std::string records;               // recentRecords()
};

// The last 20 records of `keeper`, newest first, one line each as `palorctl history` prints
// them (no images); or one line saying why there are none: records off, or the store not
// readable.
std::string recentRecords(records::RecordKeeper* keeper);

// The archive's members: README.txt, versions.txt, doctor.txt, status-log.txt, trace.txt
// (when there is a trace), records.txt and configuration.csv (the settings of `form`, its password
// cell empty).
std::vector<ArchiveMember> supportMembers(const FormState& form, const Findings& report,
                                          const SupportContents& contents);

}  // namespace palor::doctor
