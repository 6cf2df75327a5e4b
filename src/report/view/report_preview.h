// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The print preview of the customer report: the page of report_page.h in the toolkit's
// preview dialog, which prints, sets the page up and prints to a file on its own. Its tool
// bar has one action more, "Export PDF...", which writes the same page as a PDF file.
#include <QString>
#include <functional>

#include "report/printrp.h"

class QPrintPreviewDialog;
class QPrinter;
class QWidget;

namespace palor {

// Told after an export: the chosen file and whether it was written.
using PdfExported = std::function<void(const QString& path, bool written)>;

// The preview dialog on `printer` (given the report's page layout), not yet shown. The
// report must outlive the dialog.
QPrintPreviewDialog* makeReportPreview(QWidget* parent, QPrinter& printer,
                                       const TPrintReport& report, PdfExported exported);

// Opens the preview and returns when it is closed.
void showReportPreview(QWidget* parent, const TPrintReport& report, PdfExported exported);

}  // namespace palor
