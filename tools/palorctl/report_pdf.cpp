#include "report_pdf.h"

#include <QFile>
#include <QGuiApplication>

#include "report/view/report_page.h"

namespace palor::ctl {

bool writeReportPdfOffscreen(const std::string& path, const TPrintReport& report) {
  // Fonts need a platform; the offscreen one needs no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "palorctl";
  static char* argv[] = {name, nullptr};
  QGuiApplication application(argc, argv);
  return writeReportPdf(QFile::decodeName(path.c_str()), report);
}

}  // namespace palor::ctl
