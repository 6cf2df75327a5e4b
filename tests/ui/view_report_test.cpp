// SPDX-License-Identifier: GPL-3.0-or-later
// Preview and Print in the real window, offscreen: the report is filled from the window and
// its preview holds the one page; and the page's texts, each inside its own box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <cmath>

#include "report/view/report_page.h"
#include "window_test_fixture.h"

namespace palor {
namespace {

struct PreviewSeen {
  int pages = -1;
  bool exportPdf = false;
};

// Presses Preview; once its modal preview is up, looks at it and closes it.
PreviewSeen pressPreview(TForm1& form) {
  PreviewSeen seen;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll.stop();
    if (auto* preview = dialog->findChild<QPrintPreviewWidget*>())
      seen.pages = preview->pageCount();
    seen.exportPdf = dialog->findChild<QAction*>("ExportPdf") != nullptr;
    dialog->reject();
  });
  poll.start();
  form.findChild<QPushButton*>("Preview")->click();  // returns when the preview is closed
  return seen;
}

TEST_F(WindowTest, PreviewShowsTheWindowsValuesOnOnePage) {
  form.state().record().setText("serial", "SN42");
  form.state().record().setChecked("addr2en", false);
  const PreviewSeen seen = pressPreview(form);
  EXPECT_EQ(seen.pages, 1);
  EXPECT_TRUE(seen.exportPdf);
  EXPECT_EQ(form.report().text("TxtSerial"), "SN42");
  EXPECT_EQ(form.report().text("LblCapcode2Check"), kReportCross);

  // The report shows the values of the moment of pressing, not those of the last time.
  form.state().record().setText("serial", "SN43");
  EXPECT_EQ(pressPreview(form).pages, 1);
  EXPECT_EQ(form.report().text("TxtSerial"), "SN43");
}

// Every field at the longest text it allows, in wide letters: each text stays inside its
// own box, with room to spare before the next, on the PDF's device and on a screen's.
TEST_F(QtTest, ReportTextsStayInsideTheirBoxesAtTheirLongest) {
  for (const char wide : {'W', 'M', '\xC6'}) {
    SettingsRecord record;
    for (std::size_t i = 0; i < SettingsRecord::size(); ++i) {
      const auto f = static_cast<FieldId>(i);
      const FieldSchema& field = SettingsRecord::schema(f);
      if (field.kind == FieldKind::Item) {
        std::size_t longest = 0;
        for (std::size_t k = 1; k < field.items.size(); ++k)
          if (field.items[k].size() > field.items[longest].size()) longest = k;
        if (!field.items.empty()) record.setIndex(f, static_cast<int>(longest));
      } else if (field.kind == FieldKind::Text && field.maxLength > 0) {
        const bool hex = field.chars == TextChars::HexDigits || field.chars == TextChars::HexOrX;
        const char c = field.chars == TextChars::Digits ? '8' : hex ? 'D' : wide;
        record.setText(f, std::string(static_cast<std::size_t>(field.maxLength), c));
      }
    }
    TPrintReport report;
    report.fill(record);

    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    writer.setPageLayout(reportPageLayout());
    QImage screen(794, 1123, QImage::Format_RGB32);  // A4 at 96 dpi
    screen.setDotsPerMeterX(3780);
    screen.setDotsPerMeterY(3780);
    screen.fill(Qt::white);
    const std::array<QPaintDevice*, 2> devices = {&writer, &screen};
    for (QPaintDevice* device : devices) {
      const double dotsPerMm = device->logicalDpiX() / 25.4;
      QPainter painter(device);
      const auto drawn = paintAndRecord(painter, reportPageLayout(), report);
      ASSERT_GT(drawn.size(), 200u);
      for (const DrawnText& t : drawn) {
        const std::string what = std::string(1, wide) + " " + t.text.toStdString() + " at " +
                                 std::to_string(device->logicalDpiX()) + " dpi";
        EXPECT_GE(t.drawn.left(), t.box.left() - 0.01 * dotsPerMm) << what;
        EXPECT_LE(t.drawn.right(), t.box.right() + 0.01 * dotsPerMm) << what;
        // A text further on in the same line begins at least half a millimetre later.
        for (const DrawnText& next : drawn) {
          const bool sameLine = std::abs(next.box.center().y() - t.box.center().y()) < dotsPerMm;
          if (&next == &t || !sameLine || next.box.left() < t.box.right() - 0.01 * dotsPerMm)
            continue;
          EXPECT_GE(next.drawn.left() - t.drawn.right(), 0.5 * dotsPerMm)
              << what << " runs into " << next.text.toStdString();
        }
      }
    }
  }
}

}  // namespace
}  // namespace palor
