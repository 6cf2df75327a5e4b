// Preview and Print in the real window, offscreen: the report is filled from the window and
// its preview holds the one page.
#include <QAction>
#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

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
    if (auto* preview = dialog->findChild<QPrintPreviewWidget*>()) seen.pages = preview->pageCount();
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

}  // namespace
}  // namespace palor
