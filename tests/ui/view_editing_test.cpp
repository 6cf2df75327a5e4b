// SPDX-License-Identifier: GPL-3.0-or-later
// Editing in the real window, offscreen: keys typed into the widgets pass the key rules,
// leaving a field runs its exit rule, and a conversion error shows the toolkit's error box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QUrl>

#include "ui/messages.h"
#include "window_test_fixture.h"

namespace palor {
namespace {

class ViewEditingTest : public WindowTest {
 protected:
  QLineEdit* edit(const char* name) { return form.findChild<QLineEdit*>(name); }
  QString lastLogLine() {
    return form.findChild<QPlainTextEdit*>("Memo1")->toPlainText().split('\n').last();
  }
  // The focus leaves the field for another one of the window.
  void leave(QWidget* widget) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(widget, &out);
  }
};

TEST_F(ViewEditingTest, RefusedKeyInAnAddressIsReportedAndLeavesTheText) {
  QLineEdit* address = edit("address1");
  address->setCursorPosition(3);
  QTest::keyClick(address, Qt::Key_A, Qt::NoModifier);
  EXPECT_EQ(address->text(), "2004000");
  EXPECT_EQ(address->cursorPosition(), 3);
  EXPECT_EQ(lastLogLine(), QString::fromLatin1(msg::kNumberKeysOnly));
}

TEST_F(ViewEditingTest, CharacterWithoutAByteIsRefused) {
  QLineEdit* name = edit("Capcode1Name");
  QTest::keyClicks(name, "ab");
  QKeyEvent euro(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u20AC"));
  QApplication::sendEvent(name, &euro);
  QTest::keyClicks(name, "c");
  EXPECT_EQ(name->text(), "abc");
  EXPECT_EQ(form.state().record().text("Capcode1Name"), "abc");
}

TEST_F(ViewEditingTest, TypedAddressFollowsWithItsFrame) {
  QLineEdit* address = edit("address2");
  address->clear();
  form.state().record().setText("address2", "");
  QTest::keyClicks(address, "123");
  EXPECT_EQ(edit("frame2")->text(), "3");
  leave(address);
  EXPECT_EQ(address->text(), "0000123");
}

TEST_F(ViewEditingTest, ToneLettersShowInUpperCase) {
  QLineEdit* tone = edit("tonepatternA");
  tone->selectAll();
  QTest::keyClicks(tone, "a");
  EXPECT_EQ(tone->text(), "A");
  EXPECT_EQ(form.state().record().text("tonepatternA"), "A");
}

TEST_F(ViewEditingTest, LeavingContrastAt99Shows63) {
  form.findChild<QCheckBox*>("contrastUnlock")->click();
  QLineEdit* contrast = edit("contrast");
  ASSERT_TRUE(contrast->isEnabled());
  contrast->selectAll();
  QTest::keyClicks(contrast, "99");
  EXPECT_EQ(contrast->text(), "99");
  leave(contrast);
  EXPECT_EQ(contrast->text(), "63");
}

TEST_F(ViewEditingTest, AFolderOpensTheNextOneOfItsHalf) {
  auto* type = form.findChild<QComboBox*>("msgtype1");
  type->setCurrentIndex(1);
  emit type->activated(1);  // the user picks "Public"
  EXPECT_TRUE(form.findChild<QCheckBox*>("pubboxact0")->isEnabled());
  form.findChild<QCheckBox*>("pubboxact0")->click();
  EXPECT_TRUE(form.findChild<QCheckBox*>("pubboxact1")->isEnabled());
  EXPECT_TRUE(edit("pubboxlength0")->isEnabled());
}

TEST_F(ViewEditingTest, ConversionErrorShowsTheErrorBoxAndTheProgramGoesOn) {
  form.findChild<QCheckBox*>("contrastUnlock")->click();
  QLineEdit* bs1 = edit("bs1");
  bs1->clear();
  form.state().record().setText("bs1", "");
  leave(bs1);
  QApplication::processEvents();
  auto* box = form.findChild<QMessageBox*>("conversionError");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "'' is not a valid integer value");
  box->close();
}

TEST_F(ViewEditingTest, DroppingTwoFilesOpensOnlyTheFirst) {
  ASSERT_TRUE(form.acceptDrops());
  const QString dir = QDir::tempPath() + QStringLiteral("/palor view drop \u00E9\u20AC ") +
                      QString::number(QCoreApplication::applicationPid());
  QDir().mkpath(dir);
  FormState source;
  source.startUp();
  source.record().setText("hellomsg1", "DROPPED");
  ASSERT_TRUE(
      source.SaveConfigurationFile(QFile::encodeName(dir + "/first one.bin").toStdString()));
  ASSERT_TRUE(source.SaveConfigurationFile(QFile::encodeName(dir + "/second.bin").toStdString()));

  QMimeData data;
  data.setUrls(
      {QUrl::fromLocalFile(dir + "/first one.bin"), QUrl::fromLocalFile(dir + "/second.bin")});
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  // Straight to the window: the application delivers drops only during a real drag.
  static_cast<QObject&>(form).event(&drop);

  EXPECT_EQ(lastLogLine(), "Loaded data from " + dir + "/first one.bin");
  EXPECT_EQ(form.findChild<QPlainTextEdit*>("Memo1")->toPlainText().count("Loaded data from"), 1);
  EXPECT_EQ(edit("hellomsg1")->text(), "DROPPED       ");
  QDir(dir).removeRecursively();
}

}  // namespace
}  // namespace palor
