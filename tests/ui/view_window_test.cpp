// SPDX-License-Identifier: GPL-3.0-or-later
// The window as the desktop sees it, offscreen: the standard shortcuts, a file named at
// start, the Repair notice, the layout as measured on the live widgets, and a name for
// every control a screen reader can reach.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolTip>
#include <map>

#include "temp_folder.h"
#include "window_test_fixture.h"

namespace palor {
namespace {

class ViewWindowTest : public WindowTest {
 protected:
  // A widget's rectangle in the window's coordinates.
  QRect placeOf(const QWidget* widget) {
    return {widget->mapTo(&form, QPoint(0, 0)), widget->size()};
  }
  QWidget* widget(const QString& name) {
    QWidget* found = form.findChild<QWidget*>(name);
    if (!found) ADD_FAILURE() << "no widget " << name.toStdString();
    return found;
  }
  // Shows the window on a page, laid out.
  void showPage(int index) {
    form.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(index);
    form.show();
    QApplication::processEvents();
  }
};

TEST_F(ViewWindowTest, EachStandardShortcutBelongsToItsOneAction) {
  const struct {
    const char* keys;
    const char* action;
  } cases[] = {
      {"Ctrl+O", "Open1"}, {"Ctrl+S", "Save1"}, {"Ctrl+P", "PreviewShortcut"},
      {"Ctrl+Q", "Exit1"}, {"F1", "UserGuide"},
  };
  for (const auto& c : cases) {
    const QKeySequence keys(QString::fromLatin1(c.keys));
    QStringList owners;
    for (QAction* action : form.findChildren<QAction*>())
      if (action->shortcuts().contains(keys)) owners << action->objectName();
    EXPECT_EQ(owners, QStringList{c.action}) << keys.toString().toStdString();
  }
  // The access keys stay.
  EXPECT_EQ(form.findChild<QAction*>("Open1")->text(), "&Open...");
  EXPECT_EQ(form.findChild<QAction*>("Exit1")->text(), "E&xit");
}

TEST_F(ViewWindowTest, FileNamedAtStartIsLoaded) {
  test::TempFolder folder;
  const std::string path = folder.path("start.bin");
  ASSERT_TRUE(form.state().SaveConfigurationFile(path));
  TForm1 started(nullptr, path);
  const QString log = started.findChild<QPlainTextEdit*>("Memo1")->toPlainText();
  EXPECT_EQ(log.split('\n').last(), "Loaded data from " + QString::fromStdString(path));
}

TEST_F(ViewWindowTest, RepairNoticeFollowsTheCheck) {
  auto* notice = form.findChild<QLabel*>("LblRepair");
  ASSERT_NE(notice, nullptr);
  EXPECT_FALSE(notice->isVisibleTo(&form));
  form.findChild<QAction*>("Repair1")->trigger();
  EXPECT_TRUE(notice->isVisibleTo(&form));
  EXPECT_EQ(notice->text(), "Repair: the next write replaces the pager's hardware settings.");
  form.findChild<QAction*>("Repair1")->trigger();
  EXPECT_FALSE(notice->isVisibleTo(&form));
}

TEST_F(ViewWindowTest, WindowStartsCentredAtItsSize) {
  showPage(2);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint offset = form.frameGeometry().center() - screen.center();
  EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
  // The size it asks for is room enough for its layout.
  EXPECT_EQ(form.size(), QSize(793, 566));
  // The status log starts four lines high and can be made taller.
  auto* log = form.findChild<QPlainTextEdit*>("Memo1");
  EXPECT_GE(log->height(), 64);
  auto* splitter = form.findChild<QSplitter*>("logSplitter");
  ASSERT_NE(splitter, nullptr);
  form.resize(form.width(), form.height() + 200);
  QApplication::processEvents();
  splitter->setSizes({splitter->height() - 160, 160});
  QApplication::processEvents();
  EXPECT_GE(log->height(), 150);
}

TEST_F(ViewWindowTest, StatusLogLineTellsItsTimeInItsTooltip) {
  showPage(2);
  auto* log = form.findChild<QPlainTextEdit*>("Memo1");
  form.state().log().append("second line");
  const QPoint second =
      log->cursorRect(QTextCursor(log->document()->findBlockByNumber(1))).center();
  QHelpEvent help(QEvent::ToolTip, second, log->viewport()->mapToGlobal(second));
  QApplication::sendEvent(log->viewport(), &help);
  const QDateTime shown = QDateTime::fromString(QToolTip::text(), Qt::ISODate);
  ASSERT_TRUE(shown.isValid()) << QToolTip::text().toStdString();
  EXPECT_LE(std::abs(shown.secsTo(QDateTime::currentDateTime())), 60);
  // The lines themselves are as they were.
  EXPECT_EQ(log->toPlainText(), "\nsecond line");
}

TEST_F(ViewWindowTest, AddressRowTabsInReadingOrder) {
  const QStringList expected{"addr2en",       "address2",      "frame2",       "autoinc2",
                             "permission2",   "msgtype2",      "addr2formatA", "UrgentCall2A",
                             "addr2formatB",  "UrgentCall2B",  "addr2formatC", "UrgentCall2C",
                             "addr2formatD",  "UrgentCall2D",  "Capcode2Name", "Capcode2ToneA",
                             "Capcode2ToneB", "Capcode2ToneC", "Capcode2ToneD"};
  QStringList order;
  for (QWidget* w = widget("addr2en"); w && order.size() < expected.size();
       w = w->nextInFocusChain())
    if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
  EXPECT_EQ(order, expected);
}

TEST_F(ViewWindowTest, UnitStandsRightAfterItsField) {
  showPage(2);
  const QRect field = placeOf(widget("rangetime"));
  const QRect unit = placeOf(widget("rangetimeUnit"));
  EXPECT_GE(unit.left(), field.right());
  EXPECT_LE(unit.left() - field.right(), 10);
  EXPECT_TRUE(unit.intersects(QRect(0, field.top(), form.width(), field.height())));
}

TEST_F(ViewWindowTest, OtaKillMessageShowsItsWholeText) {
  showPage(2);
  auto* edit = form.findChild<QLineEdit*>("otaKillMsg");
  // The default message, and the same grown to the 40 characters the pager takes; the text
  // area is the box less its frame and text margins (4 px each side).
  const QString message = edit->text();
  for (const QString& text : {message, message.leftJustified(40, QLatin1Char('!'))})
    EXPECT_LE(edit->fontMetrics().horizontalAdvance(text), edit->width() - 8) << text.toStdString();
}

TEST_F(ViewWindowTest, EachUrgentCallColumnFollowsItsToneColumn) {
  showPage(0);
  for (int row : {1, 8}) {
    for (int t = 0; t < 4; ++t) {
      const QString tone(QChar('A' + t));
      const QRect format = placeOf(widget(QString("addr%1format%2").arg(row).arg(tone)));
      const QRect urgent = placeOf(widget(QString("UrgentCall%1%2").arg(row).arg(tone)));
      const QRect heading = placeOf(widget("heading_UrgentCall1" + tone));
      EXPECT_GT(urgent.left(), format.right()) << row << tone.toStdString();
      EXPECT_GT(heading.left(), format.right()) << tone.toStdString();
      if (t < 3) {
        const QRect next = placeOf(widget(QString("addr%1format%2").arg(row).arg(QChar('B' + t))));
        EXPECT_LT(urgent.right(), next.left()) << row << tone.toStdString();
        EXPECT_LT(heading.right(), next.left()) << tone.toStdString();
      }
      // The heading stands above its own boxes.
      EXPECT_LT(std::abs(heading.center().x() - urgent.center().x()), heading.width())
          << row << tone.toStdString();
    }
  }
}

// Every control that takes the focus in the window has a name of its own: not empty and
// not shared with another control.
TEST_F(ViewWindowTest, EveryFocusableControlHasANameOfItsOwn) {
  std::map<QString, QStringList> named;
  int focusable = 0;
  for (QWidget* w : form.findChildren<QWidget*>()) {
    // The drop-down lists' popups are windows of their own, reached through their list.
    if (w->focusPolicy() == Qt::NoFocus || w->window() != &form) continue;
    ++focusable;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(face, nullptr) << w->objectName().toStdString();
    named[face->text(QAccessible::Name)] << w->objectName();
  }
  int unnamed = 0;
  for (const auto& [name, owners] : named) {
    if (!name.isEmpty() && owners.size() == 1) continue;
    unnamed += static_cast<int>(owners.size());
    ADD_FAILURE() << "'" << name.toStdString() << "' names " << owners.join(", ").toStdString();
  }
  EXPECT_EQ(unnamed, 0) << "of " << focusable;
  EXPECT_GT(focusable, 250);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(widget("addr2formatA"))->text(QAccessible::Name),
            "Address 2, A Tone");
  // A label is the buddy of its field.
  EXPECT_EQ(form.findChild<QLabel*>("LblPagerNumber")->buddy(), widget("TxtPagerNumber"));
}

}  // namespace
}  // namespace palor
