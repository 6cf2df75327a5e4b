// SPDX-License-Identifier: GPL-3.0-or-later
// File / History... in the real window, offscreen, on an SQLite store of its own: the
// filter narrows the rows, a record's image opens into the window and compares with it,
// and a long history is read a page at a time.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <map>
#include <memory>
#include <set>

#include "records/record_keeper.h"
#include "temp_folder.h"
#include "ui/firmware_options.h"
#include "ui/view/history_dialog.h"
#include "window_test_fixture.h"

namespace palor {
namespace {

// Not a constant at namespace scope: the schema must not be built before its item lists.
FieldId hello() { return SettingsRecord::id("hellomsg1"); }

// The image a file of the window's settings holds, with the hello message `text`.
ConfigImage imageWithHello(const std::string& text) {
  FormState settings;
  settings.startUp();
  settings.record().setText(hello(), text);
  EXPECT_TRUE(settings.encodeImageForFile());
  return settings.images().writeImage;
}

// A completed write of pager `n`: serial "SN<n>", address 1 switched on as 2004000 + 8n,
// the hello message "BEFORE <n>" before and "WRITTEN <n>" written.
records::ProgrammingRecord writeOf(int n) {
  records::ProgrammingRecord r;
  r.uid = "history-test-" + std::to_string(n);
  r.started = "2026-12-01T10:" + std::to_string(10 + n) + ":05Z";
  r.finished = r.started;
  r.operation = records::Operation::Write;
  r.outcome = records::Outcome::Completed;
  r.desk = "desk-a";
  r.firmware = 3;
  r.pagerNumber = "0000010" + std::to_string(n);
  r.serial = "SN" + std::to_string(n);
  for (int row = 1; row <= 8; ++row)
    r.addresses.push_back({row, 2004000 + 8 * n + 100 * row, row == 1, "Alpha"});
  r.before = imageWithHello("BEFORE " + std::to_string(n));
  r.image = imageWithHello("WRITTEN " + std::to_string(n));
  return r;
}

class ViewHistoryTest : public WindowTest {
 protected:
  // A store of `count` writes, the window recording into it.
  void keepRecords(int count) {
    const records::RecordsLocation location{records::RecordsLocation::Kind::File,
                                            folder.path("records.sqlite")};
    auto keeper = std::make_unique<records::RecordKeeper>(location, folder.path("local.sqlite"));
    for (int n = 1; n <= count; ++n) ASSERT_TRUE(keeper->keep(writeOf(n)).id);
    keeper_ = keeper.get();
    form.state().setRecords(std::move(keeper));
  }
  QTableView* table() { return dialog->findChild<QTableView*>("historyTable"); }
  QString cell(int row, HistoryColumn column) {
    return dialog->model()->index(row, static_cast<int>(column)).data().toString();
  }
  void select(int row) { table()->selectRow(row); }
  void click(const char* button) {
    auto* b = dialog->findChild<QPushButton*>(button);
    ASSERT_NE(b, nullptr) << button;
    ASSERT_TRUE(b->isEnabled()) << button;
    b->click();
  }

  test::TempFolder folder{"palor-history"};
  records::RecordKeeper* keeper_ = nullptr;
  HistoryDialog* dialog = nullptr;
};

TEST_F(ViewHistoryTest, FileMenuHoldsHistoryBeforeExitAndTheFilterNarrowsTheRows) {
  QStringList items;
  for (QAction* a : form.findChild<QMenu*>("File1")->actions()) items << a->objectName();
  EXPECT_EQ(items, (QStringList{"Open1", "Save1", "History1", "PagerList1", "UnloadPagerList1",
                                "N1", "Exit1"}));

  keepRecords(3);
  form.findChild<QAction*>("History1")->trigger();
  dialog = form.findChild<HistoryDialog*>("History");
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->model()->rowCount(), 3);
  // Newest first.
  EXPECT_EQ(cell(0, HistoryColumn::Serial), "SN3");
  EXPECT_EQ(cell(2, HistoryColumn::Serial), "SN1");
  EXPECT_EQ(cell(0, HistoryColumn::Time), "2026-12-01 10:13:05");
  EXPECT_EQ(cell(0, HistoryColumn::Addresses), "2004124");

  auto* filter = dialog->findChild<QLineEdit*>("historyFilter");
  const std::map<QString, QStringList> cases = {
      {"SN2", {"SN2"}},         // a serial
      {"2004116", {"SN2"}},     // a capcode
      {" 00000103 ", {"SN3"}},  // a pager number, blanks around it
      {"desk-a", {"SN3", "SN2", "SN1"}},
      {"nowhere", {}},
      {"", {"SN3", "SN2", "SN1"}},
  };
  for (const auto& [text, serials] : cases) {
    filter->setText(text);
    emit filter->returnPressed();  // at once, instead of when typing pauses
    QStringList shown;
    for (int row = 0; row < dialog->model()->rowCount(); ++row)
      shown << cell(row, HistoryColumn::Serial);
    EXPECT_EQ(shown, serials) << text.toStdString();
  }

  // Every control that takes the focus has a name of its own.
  std::map<QString, QStringList> named;
  for (QWidget* w : dialog->findChildren<QWidget*>()) {
    if (w->focusPolicy() == Qt::NoFocus || w->window() != dialog) continue;
    named[QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name)] << w->objectName();
  }
  for (const auto& [name, owners] : named)
    EXPECT_TRUE(!name.isEmpty() && owners.size() == 1)
        << "'" << name.toStdString() << "' names " << owners.join(", ").toStdString();
}

TEST_F(ViewHistoryTest, OpenBeforePutsTheImageIntoTheWindowAndCompareListsTheDifferences) {
  keepRecords(2);
  dialog = form.HistoryClick();
  select(1);  // pager 1
  // While a read or write runs the window is locked: nothing is opened into it.
  form.state().SetFileHelp(false);
  EXPECT_FALSE(dialog->findChild<QPushButton*>("historyOpenBefore")->isEnabled());
  EXPECT_TRUE(dialog->findChild<QPushButton*>("historyCompareBefore")->isEnabled());
  form.state().SetFileHelp(true);
  click("historyOpenBefore");
  EXPECT_EQ(form.state().record().text(hello()).substr(0, 8), "BEFORE 1");

  click("historyCompareWritten");
  auto* list = dialog->findChild<QListWidget*>("historyDifferences");
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), "hellomsg1: \"WRITTEN 1     \" | \"BEFORE 1      \"");
  // A pager of firmware 3.2 in the charger names the window's low-cell items otherwise; the
  // image, which holds only their indexes, reads with the window's names.
  ApplyFirmwareOptions(form.state().record(), 3, 2);
  click("historyCompareBefore");
  EXPECT_EQ(list->count(), 0) << list->item(0)->text().toStdString();
  EXPECT_TRUE(dialog->findChild<QLabel*>("historyDifferencesTitle")->text().contains("no field"));
}

// A long history is read a page at a time, as the table needs them; a record added between
// two pages moves the later pages on by one, and is neither shown twice nor makes one go
// missing.
TEST_F(ViewHistoryTest, RowsComeAPageAtATime) {
  keepRecords(7);
  RecordHistory history(keeper_, 3);
  EXPECT_EQ(history.rows(), 3u);
  ASSERT_TRUE(keeper_->keep(writeOf(8)).id);
  while (history.canFetchMore()) history.append(history.nextPage());
  std::multiset<std::string> serials;
  for (std::size_t row = 0; row < history.rows(); ++row)
    serials.insert(history.row(row).record.serial);
  EXPECT_EQ(serials, (std::multiset<std::string>{"SN1", "SN2", "SN3", "SN4", "SN5", "SN6", "SN7"}));

  // The table asks for pages until its end is in sight.
  dialog = form.HistoryClick(3);
  for (int i = 0; i < 10 && dialog->model()->canFetchMore({}); ++i) {
    table()->scrollToBottom();
    QTest::qWait(10);
  }
  EXPECT_EQ(dialog->model()->rowCount(), 8);
  EXPECT_EQ(cell(7, HistoryColumn::Serial), "SN1");
}

TEST_F(ViewHistoryTest, WithRecordsOffTheDialogSaysSoInsteadOfATable) {
  form.state().setRecords(std::make_unique<records::RecordKeeper>(records::RecordsLocation{}));
  dialog = form.HistoryClick();
  EXPECT_FALSE(table()->isVisibleTo(dialog));
  EXPECT_TRUE(dialog->findChild<QLabel*>("historyProblem")->text().contains("off"));
}

}  // namespace
}  // namespace palor
