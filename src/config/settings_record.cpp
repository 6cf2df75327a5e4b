// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/settings_record.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <utility>

namespace palor {

ConversionError::ConversionError(std::string text)
    : std::runtime_error("'" + text + "' is not a valid integer value"), text_(std::move(text)) {}

int toInteger(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) throw ConversionError(std::string(text));
  long long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') throw ConversionError(std::string(text));
    value = value * 10 + (c - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) throw ConversionError(std::string(text));
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) throw ConversionError(std::string(text));
  return static_cast<int>(value);
}

SettingsRecord::SettingsRecord() {
  const auto& schema = settingsSchema();
  fields_.resize(schema.size());
  for (std::size_t i = 0; i < schema.size(); ++i) {
    const FieldSchema& s = schema[i];
    Field& f = fields_[i];
    f.text = s.defaultText;
    f.index = s.defaultIndex;
    f.checked = s.defaultChecked;
    f.enabled = s.initiallyEnabled;
    f.items = s.items;
  }
}

SettingsRecord::Field& SettingsRecord::at(FieldId f, FieldKind kind) {
  return const_cast<Field&>(std::as_const(*this).at(f, kind));
}

const SettingsRecord::Field& SettingsRecord::at(FieldId f, FieldKind kind) const {
  const FieldSchema& s = schema(f);
  if (s.kind != kind) throw std::logic_error("settings field '" + s.name + "' is not of that kind");
  return fields_[toIndex(f)];
}

SettingsRecord::Values SettingsRecord::values() const {
  Values values;
  values.fields_.reserve(fields_.size());
  for (const Field& f : fields_)
    values.fields_.push_back({f.text, f.index, f.checked, f.enabled, f.visible, f.items});
  return values;
}

void SettingsRecord::restore(const Values& values) {
  if (values.fields_.size() != fields_.size()) throw std::logic_error("values of another schema");
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    Field& field = fields_[i];
    const Values::Value& value = values.fields_[i];
    field.text = value.text;
    field.index = value.index;
    field.checked = value.checked;
    field.enabled = value.enabled;
    field.visible = value.visible;
    field.items = value.items;
  }
  for (std::size_t i = 0; i < fields_.size(); ++i) notify(static_cast<FieldId>(i));
}

void SettingsRecord::notify(FieldId f) const {
  if (observer_) observer_(f);
}

const std::string& SettingsRecord::text(FieldId f) const { return at(f, FieldKind::Text).text; }

void SettingsRecord::setText(FieldId f, std::string_view text) {
  Field& field = at(f, FieldKind::Text);
  const FieldSchema& s = schema(f);
  std::string value(text.substr(0, static_cast<std::size_t>(s.maxLength)));
  if (s.upperCase)
    for (char& c : value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (value == field.text) return;
  field.text = std::move(value);
  notify(f);
  if (field.changeRule) field.changeRule(f);
}

int SettingsRecord::number(FieldId f) const { return toInteger(text(f)); }

void SettingsRecord::setNumber(FieldId f, int value) {
  std::string digits = std::to_string(value);
  const auto width = static_cast<std::size_t>(schema(f).maxLength);
  if (digits.size() > width)
    digits = (value < 0 ? "-" : "") + std::string(width - (value < 0), '9');
  setText(f, digits);
}

int SettingsRecord::index(FieldId f) const { return at(f, FieldKind::Item).index; }

void SettingsRecord::setIndex(FieldId f, int index) {
  Field& field = at(f, FieldKind::Item);
  if (index < 0 || index >= static_cast<int>(field.items.size())) index = -1;
  if (index == field.index) return;
  field.index = index;
  notify(f);
}

void SettingsRecord::pickItem(FieldId f, int index) {
  setIndex(f, index);
  const Field& field = at(f, FieldKind::Item);
  if (field.changeRule) field.changeRule(f);
}

std::optional<std::string_view> SettingsRecord::itemText(FieldId f) const {
  const Field& field = at(f, FieldKind::Item);
  if (field.index < 0) return std::nullopt;
  return field.items[static_cast<std::size_t>(field.index)];
}

const std::vector<std::string>& SettingsRecord::items(FieldId f) const {
  return at(f, FieldKind::Item).items;
}

void SettingsRecord::setItemText(FieldId f, int index, std::string_view text) {
  Field& field = at(f, FieldKind::Item);
  if (index < 0 || index >= static_cast<int>(field.items.size()))
    throw std::logic_error("settings field '" + schema(f).name + "' has no item " +
                           std::to_string(index));
  if (field.items[static_cast<std::size_t>(index)] == text) return;
  field.items[static_cast<std::size_t>(index)] = std::string(text);
  notify(f);
}

bool SettingsRecord::checked(FieldId f) const { return at(f, FieldKind::Check).checked; }

void SettingsRecord::setChecked(FieldId f, bool checked) {
  Field& field = at(f, FieldKind::Check);
  if (field.checked == checked) return;
  field.checked = checked;
  notify(f);
  if (field.clickRule) field.clickRule(f);
}

bool SettingsRecord::enabled(FieldId f) const { return fields_[toIndex(f)].enabled; }

void SettingsRecord::setEnabled(FieldId f, bool enabled) {
  Field& field = fields_.at(toIndex(f));
  if (field.enabled == enabled) return;
  field.enabled = enabled;
  notify(f);
}

bool SettingsRecord::visible(FieldId f) const { return fields_[toIndex(f)].visible; }

void SettingsRecord::setVisible(FieldId f, bool visible) {
  if (!schema(f).hasVisibleFlag)
    throw std::logic_error("settings field '" + schema(f).name + "' is never hidden");
  Field& field = fields_[toIndex(f)];
  if (field.visible == visible) return;
  field.visible = visible;
  notify(f);
}

void SettingsRecord::leave(FieldId f) {
  const Field& field = at(f, FieldKind::Text);
  if (field.exitRule) field.exitRule(f);
}

bool SettingsRecord::keyPress(FieldId f, char ch) {
  const Field& field = at(f, FieldKind::Text);
  return !field.keyRule || field.keyRule(f, ch);
}

void SettingsRecord::typeChar(FieldId f, char ch) {
  if (!keyPress(f, ch)) return;
  const std::string& current = text(f);
  const auto c = static_cast<unsigned char>(ch);
  if (c == 8) {
    if (!current.empty()) setText(f, std::string_view(current).substr(0, current.size() - 1));
    return;
  }
  if (c < 32) return;
  if (static_cast<int>(current.size()) >= schema(f).maxLength) return;
  setText(f, current + ch);
}

std::optional<FieldId> SettingsRecord::takeFocusRequest() {
  auto request = focusRequest_;
  focusRequest_.reset();
  return request;
}

void SettingsRecord::setClickRule(FieldId f, Rule rule, std::string name) {
  Field& field = at(f, FieldKind::Check);
  field.clickRule = std::move(rule);
  field.clickName = std::move(name);
}

void SettingsRecord::setChangeRule(FieldId f, Rule rule, std::string name) {
  const FieldKind kind = schema(f).kind;
  if (kind == FieldKind::Check)
    throw std::logic_error("settings field '" + schema(f).name + "' takes a click rule");
  Field& field = fields_[toIndex(f)];
  field.changeRule = std::move(rule);
  field.changeName = std::move(name);
}

void SettingsRecord::setExitRule(FieldId f, Rule rule, std::string name) {
  Field& field = at(f, FieldKind::Text);
  field.exitRule = std::move(rule);
  field.exitName = std::move(name);
}

void SettingsRecord::setKeyRule(FieldId f, KeyRule rule, std::string name) {
  Field& field = at(f, FieldKind::Text);
  field.keyRule = std::move(rule);
  field.keyName = std::move(name);
}

bool SettingsRecord::runRule(std::string_view name, std::optional<FieldId> only) {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const auto f = static_cast<FieldId>(i);
    if (only && *only != f) continue;
    // Copies: a rule may replace rules while it runs.
    const Field& field = fields_[i];
    Rule rule = field.clickName == name    ? field.clickRule
                : field.changeName == name ? field.changeRule
                : field.exitName == name   ? field.exitRule
                                           : Rule{};
    if (!rule) continue;
    rule(f);
    return true;
  }
  return false;
}

std::vector<std::string> SettingsRecord::ruleNames(FieldId f) const {
  const Field& field = fields_[toIndex(f)];
  std::vector<std::string> names;
  for (const std::string* n :
       {&field.clickName, &field.changeName, &field.exitName, &field.keyName})
    if (!n->empty()) names.push_back(*n);
  return names;
}

}  // namespace palor
