// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The customer report's page: the labels of a TPrintReport drawn on one A4 portrait page
// with 5 mm margins. One drawing serves the print preview, the printer and the PDF export.
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <vector>

#include "report/printrp.h"

class QPainter;

namespace palor {

// A4 portrait, 5 mm on all four sides.
QPageLayout reportPageLayout();

// Draws the report on a painter whose device has `layout`, with the painter's origin at the
// top left of the layout's paint rectangle (as QPrinter and QPdfWriter place it).
// Positions are in millimetres, fonts in points, whatever the device's resolution.
void paint(QPainter& painter, const QPageLayout& layout, const TPrintReport& report);

// One text as drawn, in device units: the box it was given and the rectangle it covers.
struct DrawnText {
  QString text;
  QRectF box;
  QRectF drawn;
};
// As paint, and tells where each text went.
std::vector<DrawnText> paintAndRecord(QPainter& painter, const QPageLayout& layout,
                                      const TPrintReport& report);

// Writes the report's page as a one-page PDF, drawn in memory and saved atomically: the file
// is replaced only once the whole document is written; false when it cannot be.
bool writeReportPdf(const QString& path, const TPrintReport& report);

}  // namespace palor
