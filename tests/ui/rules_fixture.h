// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A started form state and a view of the status log lines a test step appended.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/vendrel.h"

namespace palor::test {

class RulesTest : public ::testing::Test {
 protected:
  RulesTest() : rec(form.record()) {
    form.startUp();
    mark();
  }

  // Forget the lines logged so far.
  void mark() { seen_ = form.log().lines().size(); }
  // The lines appended since the last mark (or call), then mark.
  std::vector<std::string> newLines() {
    const auto& lines = form.log().lines();
    std::vector<std::string> fresh(lines.begin() + static_cast<std::ptrdiff_t>(seen_), lines.end());
    mark();
    return fresh;
  }

  // Types each character of `text` into the field, as at the keyboard.
  void type(const std::string& field, const std::string& text) {
    for (char ch : text) rec.typeChar(rec.id(field), ch);
  }

  FormState form;
  SettingsRecord& rec;

 private:
  std::size_t seen_ = 0;
};

}  // namespace palor::test
