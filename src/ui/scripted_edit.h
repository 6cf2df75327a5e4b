// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scripted edits: a user's actions on the main window's fields, written as text (palorctl's
// --type, --leave, --set, --check and --pick) and applied to the form state exactly as the
// window applies the same action:
//
//   Type  FIELD=TEXT   each byte of TEXT typed in turn: key rule, insertion, change rule
//   Leave FIELD        the focus leaves the field: its exit rule
//   Set   FIELD=TEXT   a program step: the text set, the change rule runs, no exit rule
//   Check FIELD=yes|no a click that leaves the box in that state (none if it is already)
//   Pick  FIELD=ITEM   the user picks an item, running the change rule; ITEM is matched
//                      exactly against the item texts first, and a number that matches no
//                      item text is taken as an item index
//
// TEXT and ITEM are taken byte for byte, one byte a character.
#include <stdexcept>
#include <string>
#include <string_view>

namespace palor {

class FormState;

struct ScriptedEdit {
  enum class Action { Type, Leave, Set, Check, Pick } action;
  std::string field;
  std::string value;
};

// A malformed edit (unknown option or field, a field of the wrong kind, a bad yes/no or
// item), or one the window would not let a user make (a disabled, hidden or read-only
// field). The command line reports it as a usage error.
class EditError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One edit from its option ("type", "leave", "set", "check" or "pick", with or without a
// leading "--") and its argument ("FIELD=TEXT", or "FIELD" for leave). Throws EditError.
ScriptedEdit parseEdit(std::string_view option, std::string_view argument);

// Applies one edit. Throws EditError as above; a ConversionError from a rule ends the edit
// where it arose, as it ends the event in the window.
void applyEdit(FormState& form, const ScriptedEdit& edit);

}  // namespace palor
