// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/view/report_preview.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>
#include <memory>

#include "report/view/report_page.h"

namespace palor {
namespace {

// Asks for a PDF file name; a name without an extension gets ".pdf".
QString askPdfFileName(QWidget* parent) {
  QString path = QFileDialog::getSaveFileName(parent, QObject::tr("Export PDF"),
                                              QStringLiteral("customer-report.pdf"),
                                              QObject::tr("PDF (*.pdf)"));
  if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
  return path;
}

}  // namespace

QPrintPreviewDialog* makeReportPreview(QWidget* parent, QPrinter& printer,
                                       const TPrintReport& report, PdfExported exported) {
  printer.setPageLayout(reportPageLayout());
  printer.setDocName(
      QString::fromUtf8(kReportTitle.data(), static_cast<qsizetype>(kReportTitle.size())));
  auto* dialog = new QPrintPreviewDialog(&printer, parent);
  dialog->setObjectName("PrintPreview");
  QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, dialog,
                   [&report](QPrinter* device) {
                     QPainter painter(device);
                     paint(painter, device->pageLayout(), report);
                   });
  if (auto* toolBar = dialog->findChild<QToolBar*>()) {
    toolBar->addSeparator();
    QAction* exportPdf = toolBar->addAction(QObject::tr("Export PDF..."));
    exportPdf->setObjectName("ExportPdf");
    QObject::connect(exportPdf, &QAction::triggered, dialog, [dialog, &report, exported] {
      const QString path = askPdfFileName(dialog);
      if (path.isEmpty()) return;
      const bool written = writeReportPdf(path, report);
      if (exported) exported(path, written);
    });
  }
  return dialog;
}

void showReportPreview(QWidget* parent, const TPrintReport& report, PdfExported exported) {
  QPrinter printer(QPrinter::HighResolution);
  std::unique_ptr<QPrintPreviewDialog> dialog(
      makeReportPreview(parent, printer, report, std::move(exported)));
  dialog->exec();
}

}  // namespace palor
