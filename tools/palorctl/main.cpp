// palorctl: the programmer's command-line companion. Every command starts from the
// program's own start-up state and runs the same code as the window; field edits given on
// the command line are applied in their order, each exactly as the same user action in the
// window would be.
//
// Exit status: 0 done, 1 the program refused (a message was logged), 2 usage error.
#include <CLI/CLI.hpp>
#include <iostream>

#include "record_dump.h"
#include "ui/scripted_edit.h"
#include "ui/vendrel.h"

namespace {

constexpr int kRefused = 1;
constexpr int kUsageError = 2;

bool isEditOption(std::string_view arg) {
  for (std::string_view option : {"--type", "--leave", "--set", "--check", "--pick"})
    if (arg == option || (arg.starts_with(option) && arg.size() > option.size() &&
                          arg[option.size()] == '='))
      return true;
  return false;
}

// Takes the edit options out of the arguments, in order; the rest goes to the parser.
std::vector<palor::ScriptedEdit> takeEdits(std::vector<std::string>& args) {
  std::vector<palor::ScriptedEdit> edits;
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!isEditOption(arg)) {
      rest.push_back(arg);
      continue;
    }
    const auto equals = arg.find('=');
    if (equals != std::string::npos) {
      edits.push_back(palor::parseEdit(arg.substr(0, equals), arg.substr(equals + 1)));
    } else {
      if (i + 1 >= args.size()) throw palor::EditError(arg + " needs an argument");
      edits.push_back(palor::parseEdit(arg, args[++i]));
    }
  }
  args = std::move(rest);
  return edits;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::vector<palor::ScriptedEdit> edits;
  try {
    edits = takeEdits(args);
  } catch (const palor::EditError& e) {
    std::cerr << "palorctl: " << e.what() << '\n';
    return kUsageError;
  }

  CLI::App app{"palorctl: dump, convert and check pager configurations.\n"
               "Field edits, applied in the order given, as a user in the window makes them:\n"
               "  --type FIELD=TEXT   type TEXT into FIELD, character by character\n"
               "  --leave FIELD       leave FIELD (its exit rule runs)\n"
               "  --set FIELD=TEXT    set FIELD's text as a program step\n"
               "  --check FIELD=yes|no  click a check box into that state\n"
               "  --pick FIELD=ITEM   pick an item (its text, or its index)"};
  app.require_subcommand(1);

  bool json = false;
  auto* dump = app.add_subcommand("dump", "print the settings record after start-up and edits");
  dump->add_flag("--json", json, "print JSON, one object per field in schema order");

  try {
    std::reverse(args.begin(), args.end());  // CLI11 takes the arguments back to front
    app.parse(args);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? 0 : kUsageError;
  }

  palor::FormState form;
  form.log().setObserver([](const std::string& line) { std::cerr << line << '\n'; });
  form.startUp();

  try {
    for (const palor::ScriptedEdit& edit : edits) {
      palor::applyEdit(form, edit);
      (void)form.record().takeFocusRequest();
    }
  } catch (const palor::EditError& e) {
    std::cerr << "palorctl: " << e.what() << '\n';
    return kUsageError;
  } catch (const palor::ConversionError& e) {
    std::cerr << "palorctl: " << e.what() << '\n';
    return kRefused;
  }

  if (dump->parsed()) {
    if (json)
      std::cout << palor::ctl::recordToJson(form.record()).dump(2) << '\n';
    else
      palor::ctl::printRecordTable(std::cout, form.record());
  }
  return 0;
}
