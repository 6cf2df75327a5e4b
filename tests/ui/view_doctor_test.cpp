// SPDX-License-Identifier: GPL-3.0-or-later
// Help / Check connection... in the real window, offscreen: the doctor's report in a dialog,
// copied whole by its Copy button; Help / Save support file... with the window's trace ring.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <iterator>

#include "run_command.h"
#include "temp_folder.h"
#include "window_test_fixture.h"

namespace palor {
namespace {

TEST_F(WindowTest, CheckConnectionShowsTheDoctorsReportAndCopiesIt) {
  auto* help = form.findChild<QMenu*>("Help1");
  ASSERT_NE(help, nullptr);
  QStringList items;
  for (QAction* a : help->actions()) items << a->objectName();
  EXPECT_EQ(items, (QStringList{"Repair1", "About1", "CheckConnection1", "SaveSupportFile1",
                                "UserGuide"}));

  QApplication::clipboard()->clear();
  QString shown, copied;
  // The doctor runs in the background: the window stays in use, the dialog comes later.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || dialog->objectName() != "CheckConnection") return;
    shown = dialog->findChild<QPlainTextEdit*>("DoctorReport")->toPlainText();
    dialog->findChild<QPushButton*>("CopyReport")->click();
    copied = QApplication::clipboard()->text();
    dialog->close();
  });
  watch.start(20);
  form.findChild<QAction*>("CheckConnection1")->trigger();
  EXPECT_TRUE(form.examining());
  form.findChild<QAction*>("CheckConnection1")->trigger();  // a second run is not started
  QDeadlineTimer limit(30000);
  while (form.examining() && !limit.hasExpired()) QTest::qWait(20);
  ASSERT_FALSE(form.examining());
  EXPECT_TRUE(shown.contains("adapters: ")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("ModemManager: ")) << shown.toStdString();
  EXPECT_EQ(copied, shown);
}

TEST_F(WindowTest, TheSupportFileHoldsTheWindowsTraceAndStatusLog) {
  form.state().ReadFromPagerClick();  // a read request goes out, whether or not a port is open
  ASSERT_EQ(form.trace().size(), 1u);
  EXPECT_NE(form.trace().text().find(" > 7E 7E 60"), std::string::npos) << form.trace().text();

  test::TempFolder folder("palor-support");
  const std::string archive = folder.path("support.tar.gz");
  ASSERT_TRUE(form.saveSupportFile(QString::fromStdString(archive)));
  ASSERT_EQ(test::runCommand("tar xzf " + archive + " -C " + folder.path("")).status, 0);
  const auto read = [&](const std::string& name) {
    std::ifstream in(folder.path(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(read("trace.txt"), form.trace().text());
  EXPECT_NE(read("versions.txt").find("toolkit: Qt "), std::string::npos);
  EXPECT_EQ(form.state().log().lines().back(), "Saved data to " + archive);
}

}  // namespace
}  // namespace palor
