// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every palorctl command shares: a form state after start-up whose status log goes to
// standard error, and the steps that turn the errors a command can end with into exit
// statuses.
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "config/escaped_text.h"
#include "files/file_error.h"
#include "ui/vendrel.h"

namespace palor::ctl {

struct Session {
  // `sayStartUp`: the status log's start-up lines go to standard error too (a batch says
  // them for its first charger only).
  explicit Session(const StartUpEnvironment& environment = {}, bool sayStartUp = true) {
    const auto say = [](const std::string& line) { std::cerr << line << '\n'; };
    if (sayStartUp) form.log().setObserver(say);
    form.startUp(environment);
    form.log().setObserver(say);
  }
  FormState form;
};

// A diagnostic on standard error. It often names a file, a port or an argument: their control
// characters show as escapes, so that no name ends the line or drives the terminal.
inline void diagnose(std::string_view text) {
  std::cerr << "palorctl: " << escapeControls(text) << '\n';
}

inline int refused(const std::string& why) {
  diagnose(why);
  return kRefused;
}

inline int refused(const std::string& file, const FileError& error) {
  return refused(file + ": " + describe(error));
}

// Runs one step of a command: the errors a step can end with become exit statuses.
template <typename Step>
int guarded(Step step) {
  try {
    return step();
  } catch (const EditError& e) {
    diagnose(e.what());
    return kUsageError;
  } catch (const ConversionError& e) {
    return refused(e.what());
  }
}

// The firmware version, FILE opened as File / Open opens it, then the edits in order.
int prepare(Session& s, const std::optional<std::string>& file, const CommonOptions& options);

}  // namespace palor::ctl
