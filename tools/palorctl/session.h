#pragma once
// What every palorctl command shares: a form state after start-up whose status log goes to
// standard error, and the steps that turn the errors a command can end with into exit
// statuses.
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "ui/vendrel.h"

namespace palor::ctl {

struct Session {
  explicit Session(const StartUpEnvironment& environment = {}) {
    form.log().setObserver([](const std::string& line) { std::cerr << line << '\n'; });
    form.startUp(environment);
  }
  FormState form;
};

inline int refused(const std::string& why) {
  std::cerr << "palorctl: " << why << '\n';
  return kRefused;
}

// Runs one step of a command: the errors a step can end with become exit statuses.
template <typename Step>
int guarded(Step step) {
  try {
    return step();
  } catch (const EditError& e) {
    std::cerr << "palorctl: " << e.what() << '\n';
    return kUsageError;
  } catch (const ConversionError& e) {
    return refused(e.what());
  }
}

// The firmware version, FILE opened as File / Open opens it, then the edits in order.
int prepare(Session& s, const std::optional<std::string>& file, const CommonOptions& options);

}  // namespace palor::ctl
