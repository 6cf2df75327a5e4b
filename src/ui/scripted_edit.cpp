// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/scripted_edit.h"

#include <optional>

#include "config/field_schema.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

using Action = ScriptedEdit::Action;

std::optional<Action> actionNamed(std::string_view option) {
  if (option.substr(0, 2) == "--") option.remove_prefix(2);
  if (option == "type") return Action::Type;
  if (option == "leave") return Action::Leave;
  if (option == "set") return Action::Set;
  if (option == "check") return Action::Check;
  if (option == "pick") return Action::Pick;
  return std::nullopt;
}

std::string_view actionName(Action action) {
  switch (action) {
    case Action::Type: return "type";
    case Action::Leave: return "leave";
    case Action::Set: return "set";
    case Action::Check: return "check";
    case Action::Pick: return "pick";
  }
  return "edit";
}

FieldKind kindFor(Action action) {
  switch (action) {
    case Action::Check: return FieldKind::Check;
    case Action::Pick: return FieldKind::Item;
    default: return FieldKind::Text;
  }
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string withArticle(std::string_view noun) {
  return (noun.starts_with('i') ? "an " : "a ") + std::string(noun);
}

// The field an edit names, when it exists and is of the kind the action needs.
FieldId editedField(const ScriptedEdit& edit) {
  const auto id = findField(edit.field);
  if (!id) throw EditError("no field named " + quoted(edit.field));
  const FieldSchema& schema = fieldSchema(*id);
  const FieldKind wanted = kindFor(edit.action);
  if (schema.kind != wanted)
    throw EditError("--" + std::string(actionName(edit.action)) + " needs " +
                    withArticle(kindName(wanted)) + " field; " + quoted(edit.field) + " is " +
                    withArticle(kindName(schema.kind)) + " field");
  if (schema.readOnly) throw EditError(quoted(edit.field) + " is derived and cannot be edited");
  if (edit.action == Action::Check && edit.value != "yes" && edit.value != "no")
    throw EditError("--check " + edit.field + " takes yes or no, not " + quoted(edit.value));
  return *id;
}

bool isDecimal(std::string_view text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The item a pick names: its text first, else its index.
int pickedIndex(const SettingsRecord& record, FieldId field, const ScriptedEdit& edit) {
  const auto& items = record.items(field);
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i] == edit.value) return static_cast<int>(i);
  if (isDecimal(edit.value)) {
    const int index = toInteger(edit.value);
    if (index < static_cast<int>(items.size())) return index;
  }
  throw EditError(quoted(edit.value) + " is neither an item of " + edit.field +
                  " nor the index of one");
}

}  // namespace

ScriptedEdit parseEdit(std::string_view option, std::string_view argument) {
  const auto action = actionNamed(option);
  if (!action) throw EditError("unknown edit " + quoted(option));

  ScriptedEdit edit{*action, std::string(argument), {}};
  if (*action != Action::Leave) {
    const auto equals = argument.find('=');
    if (equals == std::string_view::npos)
      throw EditError("--" + std::string(actionName(*action)) + " takes FIELD=VALUE, not " +
                      quoted(argument));
    edit.field = std::string(argument.substr(0, equals));
    edit.value = std::string(argument.substr(equals + 1));
  }
  editedField(edit);
  return edit;
}

void applyEdit(FormState& form, const ScriptedEdit& edit) {
  SettingsRecord& record = form.record();
  const FieldId field = editedField(edit);

  // Only a program step reaches a field the user cannot: typing, leaving, clicking and
  // picking need the control enabled and shown. (This is what keeps the user from ever
  // checking otaKillCmd.)
  if (edit.action != Action::Set && (!record.enabled(field) || !record.visible(field)))
    throw EditError(quoted(edit.field) + " is " + (record.enabled(field) ? "hidden" : "disabled") +
                    ": a user cannot " + std::string(actionName(edit.action)) + " it");

  switch (edit.action) {
    case Action::Type:
      for (char ch : edit.value) record.typeChar(field, ch);
      break;
    case Action::Leave: record.leave(field); break;
    case Action::Set: record.setText(field, edit.value); break;
    case Action::Check: record.setChecked(field, edit.value == "yes"); break;
    case Action::Pick: record.pickItem(field, pickedIndex(record, field, edit)); break;
  }
}

}  // namespace palor
