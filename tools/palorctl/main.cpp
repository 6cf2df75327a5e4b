// palorctl: the programmer's command-line companion. Every command starts from the
// program's own start-up state and runs the same code as the window.
//
// Exit status: 0 done, 1 the program refused (a message was logged), 2 usage error.
#include <CLI/CLI.hpp>
#include <iostream>

#include "record_dump.h"
#include "ui/vendrel.h"

namespace {

constexpr int kUsageError = 2;

// Status log lines go to standard error as they are written, one per line.
void logToStandardError(palor::FormState& form) {
  form.log().setObserver([](const std::string& line) { std::cerr << line << '\n'; });
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"palorctl: dump, convert and check pager configurations"};
  app.require_subcommand(1);

  bool json = false;
  auto* dump = app.add_subcommand("dump", "print the settings record after start-up");
  dump->add_flag("--json", json, "print JSON, one object per field in schema order");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : kUsageError;
  }

  palor::FormState form;
  logToStandardError(form);
  form.startUp();

  if (dump->parsed()) {
    if (json)
      std::cout << palor::ctl::recordToJson(form.record()).dump(2) << '\n';
    else
      palor::ctl::printRecordTable(std::cout, form.record());
  }
  return 0;
}
