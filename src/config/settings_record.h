// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings record: the one in-memory form of a pager configuration. It holds each
// field's value (text, item index or checked state) with its enabled and visible flags, and
// runs the editing rules attached to the fields at exactly the moments the window would:
//
//   click rule  (check field)  on every actual change of the checked state, whoever made it;
//   change rule (text field)   on every actual change of the text, typed or set by a step;
//   change rule (list field)   only when the user picks an item, never on setIndex;
//   exit rule   (text field)   when the focus leaves the field (leave), or called directly;
//   key rule    (text field)   for each typed character, before it is inserted.
//
// The caller says which of these happened; the record never guesses. A rule may ask that
// the focus go back to a field; the view takes that request after each event.
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "config/field_schema.h"

namespace palor {

// A number field whose text is not a decimal number. It ends the rule in hand; the window
// shows it in the toolkit's error box.
class ConversionError : public std::runtime_error {
 public:
  explicit ConversionError(std::string text);
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// The text read as a decimal integer: an optional sign and at least one digit, nothing else.
// Throws ConversionError for anything else, and for a value outside int.
int toInteger(std::string_view text);

class SettingsRecord {
 public:
  using Rule = std::function<void(FieldId)>;
  // A key rule sees the typed character and returns whether it is admitted.
  using KeyRule = std::function<bool(FieldId, char)>;
  // Told after any change of a field's value, enabled or visible flag, or item texts.
  using Observer = std::function<void(FieldId)>;

  SettingsRecord();
  SettingsRecord(const SettingsRecord&) = delete;
  SettingsRecord& operator=(const SettingsRecord&) = delete;

  static FieldId id(std::string_view name) { return fieldId(name); }
  static const FieldSchema& schema(FieldId f) { return fieldSchema(f); }
  static std::size_t size() { return settingsSchema().size(); }

  // Values. Text longer than the field's maximum length is cut to it; upper-case fields
  // store upper case.
  const std::string& text(FieldId f) const;
  void setText(FieldId f, std::string_view text);
  // The text read as a decimal number (ConversionError when it is not one).
  int number(FieldId f) const;
  // The value's decimal text. A value wider than the field shows as the widest number of
  // the same sign the field holds (999 in a three-digit field), never as its first digits.
  void setNumber(FieldId f, int value);

  int index(FieldId f) const;
  // A program step: no rule runs. An index outside the item list selects nothing (-1).
  void setIndex(FieldId f, int index);
  // The user picks an item: the index is set and the change rule runs.
  void pickItem(FieldId f, int index);
  // The selected item's text, or nothing when no item is selected.
  std::optional<std::string_view> itemText(FieldId f) const;
  const std::vector<std::string>& items(FieldId f) const;
  // Replaces one item's text (the list keeps its length and selection).
  void setItemText(FieldId f, int index, std::string_view text);

  bool checked(FieldId f) const;
  void setChecked(FieldId f, bool checked);

  bool enabled(FieldId f) const;
  void setEnabled(FieldId f, bool enabled);
  bool visible(FieldId f) const;
  void setVisible(FieldId f, bool visible);

  // The focus leaves a text field: its exit rule runs.
  void leave(FieldId f);
  // A character is typed into a text field: the key rule sees it first and may drop it.
  // Returns whether it was admitted; the caller then inserts it.
  bool keyPress(FieldId f, char ch);
  // A character typed at the end of the text, as a user at the keyboard would: key rule,
  // then (unless dropped or the field is full) insertion and the change rule. A control
  // character that passes the key rule is backspace-like only for code 8, which removes
  // the last character; other control characters change nothing.
  void typeChar(FieldId f, char ch);

  // Rules that ask for the focus to go back to a field, and the view that carries it out.
  void requestFocus(FieldId f) { focusRequest_ = f; }
  std::optional<FieldId> takeFocusRequest();

  // Attaching the editing rules, each under its own name ("addr3enClick", "AddressExit");
  // rules of a shared role carry the same name on every field they are attached to.
  void setClickRule(FieldId f, Rule rule, std::string name = {});
  void setChangeRule(FieldId f, Rule rule, std::string name = {});
  void setExitRule(FieldId f, Rule rule, std::string name = {});
  void setKeyRule(FieldId f, KeyRule rule, std::string name = {});

  // The click, change or exit rule of that name, run as its event would run it: on
  // `field` when given, else on the first field that carries it. False when there is none.
  bool runRule(std::string_view name, std::optional<FieldId> field = std::nullopt);
  // The names of the rules attached to a field, in the order click, change, exit, key.
  std::vector<std::string> ruleNames(FieldId f) const;

  void setObserver(Observer observer) { observer_ = std::move(observer); }

  // Every field's value, flags and item texts, without the rules: what `restore` puts back
  // exactly, running no rule (the observer is told of each field), so that a batch can
  // start each pager from the same settings.
  class Values {
   private:
    friend class SettingsRecord;
    struct Value {
      std::string text;
      int index;
      bool checked, enabled, visible;
      std::vector<std::string> items;
    };
    std::vector<Value> fields_;
  };
  Values values() const;
  void restore(const Values& values);

  // By name, for rules and tests that read better with names.
  const std::string& text(std::string_view name) const { return text(id(name)); }
  void setText(std::string_view name, std::string_view t) { setText(id(name), t); }
  int number(std::string_view name) const { return number(id(name)); }
  int index(std::string_view name) const { return index(id(name)); }
  void setIndex(std::string_view name, int i) { setIndex(id(name), i); }
  bool checked(std::string_view name) const { return checked(id(name)); }
  void setChecked(std::string_view name, bool c) { setChecked(id(name), c); }
  bool enabled(std::string_view name) const { return enabled(id(name)); }
  void setEnabled(std::string_view name, bool e) { setEnabled(id(name), e); }
  bool visible(std::string_view name) const { return visible(id(name)); }

 private:
  struct Field {
    std::string text;
    int index = -1;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    std::vector<std::string> items;
    Rule clickRule;
    Rule changeRule;
    Rule exitRule;
    KeyRule keyRule;
    std::string clickName, changeName, exitName, keyName;
  };

  Field& at(FieldId f, FieldKind kind);
  const Field& at(FieldId f, FieldKind kind) const;
  void notify(FieldId f) const;

  std::vector<Field> fields_;
  std::optional<FieldId> focusRequest_;
  Observer observer_;
};

}  // namespace palor
