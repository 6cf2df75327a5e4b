// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The schema of the settings record: one entry per main-window control that holds a
// setting, in the order the window and the dumps show them. Beside each field's kind,
// limit, items and default it keeps the texts the window shows around it (page, group,
// label, caption, tooltip), so that the view, the CSV export and the report read them from
// one place.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace palor {

// Asking for a field the record does not have: a programming error, never a user error.
class UnknownFieldError : public std::logic_error {
 public:
  explicit UnknownFieldError(std::string_view name)
      : std::logic_error("settings record has no field named '" + std::string(name) + "'") {}
};

enum class FieldKind { Text, Item, Check };
// The kind's one name wherever it is shown: "text", "item" or "check".
std::string_view kindName(FieldKind kind);

// Which characters a text field is meant to hold; the key rules enforce it while typing.
enum class TextChars { Any, Digits, HexDigits, HexOrX, LettersAndDigits };

// Index of a field in the schema and in every record.
enum class FieldId : std::uint16_t {};

constexpr std::size_t toIndex(FieldId id) { return static_cast<std::size_t>(id); }

struct FieldSchema {
  std::string name;
  FieldKind kind = FieldKind::Text;

  // Where the field sits: tab page ("Addresses", "Folders", "Settings", "Hardware", or
  // empty for the customer strip) and group box ("Addresses", "Tone patterns", ...).
  std::string page;
  std::string group;
  std::string label;    // text in front of the field, or the column heading of a row table
  std::string caption;  // text of a check box, beside its box
  std::string unit;     // text right after the field ("sec", "MHz@")
  std::string tooltip;

  // Text fields.
  int maxLength = 0;
  TextChars chars = TextChars::Any;
  bool upperCase = false;  // shown and stored in upper case
  bool readOnly = false;
  std::string defaultText;

  // List fields.
  std::vector<std::string> items;
  int defaultIndex = -1;

  // Check fields.
  bool defaultChecked = false;

  bool initiallyEnabled = true;
  bool hasVisibleFlag = false;  // the rules show and hide this field

  // Row 1..8 of the Addresses tab, folder 0..15 of the Folders tab, otherwise -1.
  int row = -1;
};

// Every field, in schema order.
const std::vector<FieldSchema>& settingsSchema();

// The id of the field with this name, or nothing when there is none.
std::optional<FieldId> findField(std::string_view name);

// The id of the field with this name; a name the record does not have is a programming
// error and throws UnknownFieldError naming it.
FieldId fieldId(std::string_view name);

const FieldSchema& fieldSchema(FieldId id);

// The schema's names of the repeated fields, looked up by their parts: rowField("address", 3)
// is "address3", rowField("addr", 2, "formatB") is "addr2formatB", folderField("pubboxact",
// 10) is "pubboxactA". A name the schema does not have throws UnknownFieldError. The names
// themselves are fixed in field_groups.h.
std::string rowField(std::string_view prefix, int row, std::string_view suffix = {});
std::string folderField(std::string_view prefix, int folder);

// The four tone columns of an address row.
inline constexpr char kToneLetters[4] = {'A', 'B', 'C', 'D'};
inline constexpr int kAddressRows = 8;
inline constexpr int kFolders = 16;

// Tab pages, in the order of their tabs.
inline constexpr std::string_view kPageAddresses = "Addresses";
inline constexpr std::string_view kPageFolders = "Folders";
inline constexpr std::string_view kPageSettings = "Settings";
inline constexpr std::string_view kPageHardware = "Hardware";

}  // namespace palor
