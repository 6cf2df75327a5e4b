// SPDX-License-Identifier: GPL-3.0-or-later
// palor-programmer: one window, and the file it opens at start when one is named. --help
// and --version are answered before the application object exists, so that they work
// without a display (the manual page is made from them at build time).
#include <QApplication>
#include <cstring>
#include <iostream>
#include <memory>

#include "palor_version.h"
#include "records/record_keeper.h"
#include "ui/view/tform1.h"

namespace {

constexpr const char* kHelp = R"(Usage: palor-programmer [--help | --version | FILE]
Set up an alphanumeric POCSAG pager through its desk charger (Dururovera): edit the
pager's whole configuration in one window, read it from the pager and write it back,
save and open .bin and .eep images and .csv tables, and print a customer report.

FILE, a .bin or .eep image or a .csv table, is opened at start as File / Open
opens it. The program keeps no settings of its own. It finds the charger's PL2303
USB-serial adapter by itself and notices when a pager is put in or taken out; every
outcome is one line in the status log at the foot of the window.

Options:
  -h, --help     print this help and exit
  --version      print the version and exit

Environment:
  PALOR_RECORDS      where every read and write is recorded: a file (SQLite),
                     a postgresql:// URI (a database several desks share) or
                     "off"; unset, the file records.sqlite in
                     $XDG_DATA_HOME/palor-programmer (File / History... shows them)
  PALOR_EXTRA_PORTS  serial devices to try as well as the adapter's own ports,
                     separated by colons (for example the device that
                     palor-pager-sim prints)
  QT_QPA_PLATFORM    the Qt platform plugin: xcb, wayland or offscreen
)";

bool isOption(const char* arg, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (std::strcmp(arg, name) == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 2 && isOption(argv[1], {"-h", "--help"})) {
    std::cout << kHelp;
    return 0;
  }
  if (argc == 2 && isOption(argv[1], {"--version"})) {
    std::cout << "palor-programmer " << palor::kVersion << '\n' << palor::kVersionNotice << '\n';
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(palor::kVersion);
  QGuiApplication::setDesktopFileName("palor-programmer");  // the icon on Wayland
  // The toolkit has taken its own options (-platform and the like) out of argv.
  if (argc > 2) {
    std::cerr << "palor-programmer: one file at most; see --help\n";
    return 2;
  }
  palor::TForm1 form(nullptr, argc == 2 ? std::string(argv[1]) : std::string());
  // Every read and write is recorded where PALOR_RECORDS says; "off" records nothing.
  const palor::records::RecordsLocation records = palor::records::recordsLocationFromEnvironment();
  if (records.kind != palor::records::RecordsLocation::Kind::Off)
    form.state().setRecords(std::make_unique<palor::records::RecordKeeper>(records));
  form.show();
  return QApplication::exec();
}
