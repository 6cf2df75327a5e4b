// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where records are kept: the setting PALOR_RECORDS (or palorctl --records) holds "off", a
// file path (an SQLite file on this desk) or a "postgresql://" connection URI (a server
// that several desks share). Unset or empty: the SQLite file in the user's data folder.
#include <optional>
#include <string>
#include <string_view>

namespace palor::records {

struct RecordsLocation {
  enum class Kind { Off, File, Server };
  Kind kind = Kind::Off;
  std::string target;  // the file's path or the server's URI
  friend bool operator==(const RecordsLocation&, const RecordsLocation&) = default;
};

// $XDG_DATA_HOME/palor-programmer/records.sqlite, ~/.local/share/… when XDG_DATA_HOME is
// unset or not absolute; empty when neither it nor HOME is known.
std::string defaultRecordsFile();

// `setting` as PALOR_RECORDS holds it: "off" records nothing, "postgresql://…" or
// "postgres://…" is a server, anything else a file; empty or none is the default file.
RecordsLocation recordsLocation(std::optional<std::string_view> setting);

// The location the environment names (PALOR_RECORDS), or `override` when given.
RecordsLocation recordsLocationFromEnvironment(std::optional<std::string_view> override = {});

// The location for messages: the file's path, or the server's URI without its password.
std::string describe(const RecordsLocation& location);

}  // namespace palor::records
