// Help / Check connection... in the real window, offscreen: the doctor's report in a dialog,
// copied whole by its Copy button.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "window_test_fixture.h"

namespace palor {
namespace {

TEST_F(WindowTest, CheckConnectionShowsTheDoctorsReportAndCopiesIt) {
  auto* help = form.findChild<QMenu*>("Help1");
  ASSERT_NE(help, nullptr);
  QStringList items;
  for (QAction* a : help->actions()) items << a->objectName();
  EXPECT_EQ(items, (QStringList{"Repair1", "About1", "CheckConnection1"}));

  QApplication::clipboard()->clear();
  QString shown, copied;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || dialog->objectName() != "CheckConnection") return;
    shown = dialog->findChild<QPlainTextEdit*>("DoctorReport")->toPlainText();
    dialog->findChild<QPushButton*>("CopyReport")->click();
    copied = QApplication::clipboard()->text();
    dialog->close();
  });
  form.findChild<QAction*>("CheckConnection1")->trigger();
  EXPECT_TRUE(shown.contains("adapters: ")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("ModemManager: ")) << shown.toStdString();
  EXPECT_EQ(copied, shown);
}

}  // namespace
}  // namespace palor
