// SPDX-License-Identifier: GPL-3.0-or-later
// The real window, offscreen: every field has its widget, named as the field and showing
// the record; the menu and the status log follow the form state.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QTimer>

#include "named_ports.h"
#include "simulated_pager.h"
#include "ui/messages.h"
#include "window_test_fixture.h"

namespace palor {
namespace {

class ViewTest : public WindowTest {
 protected:
  QAction* action(const char* name) { return form.findChild<QAction*>(name); }
  QStringList logLines() {
    return form.findChild<QPlainTextEdit*>("Memo1")->toPlainText().split('\n');
  }
};

TEST_F(ViewTest, EveryFieldHasItsWidgetShowingTheRecord) {
  const SettingsRecord& record = form.state().record();
  for (std::size_t i = 0; i < SettingsRecord::size(); ++i) {
    const auto f = static_cast<FieldId>(i);
    const FieldSchema& schema = SettingsRecord::schema(f);
    SCOPED_TRACE(schema.name);
    QWidget* widget = form.findChild<QWidget*>(QString::fromStdString(schema.name));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget, form.widgetFor(f));
    switch (schema.kind) {
      case FieldKind::Text: {
        auto* edit = qobject_cast<QLineEdit*>(widget);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), fromBytes(record.text(f)));
        EXPECT_EQ(edit->maxLength(), schema.maxLength);
        break;
      }
      case FieldKind::Item: {
        auto* box = qobject_cast<QComboBox*>(widget);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->currentIndex(), record.index(f));
        ASSERT_EQ(box->count(), static_cast<int>(schema.items.size()));
        for (int k = 0; k < box->count(); ++k)
          EXPECT_EQ(box->itemText(k), fromBytes(schema.items[static_cast<std::size_t>(k)]));
        break;
      }
      case FieldKind::Check: {
        auto* box = qobject_cast<QCheckBox*>(widget);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->isChecked(), record.checked(f));
        EXPECT_EQ(box->text(), fromBytes(schema.caption));
        break;
      }
    }
    EXPECT_EQ(widget->isEnabled(), record.enabled(f));
    EXPECT_EQ(widget->isHidden(), !record.visible(f));
    EXPECT_EQ(widget->toolTip(), fromBytes(schema.tooltip));
  }
}

TEST_F(ViewTest, StartUpStatesAsTheUserSeesThem) {
  auto visible = [&](const char* name) { return !form.findChild<QWidget*>(name)->isHidden(); };
  auto enabled = [&](const char* name) { return form.findChild<QWidget*>(name)->isEnabled(); };
  EXPECT_TRUE(visible("UrgentCall1A"));
  EXPECT_TRUE(visible("UrgentCall8D"));
  EXPECT_FALSE(visible("urgcalltype"));
  EXPECT_FALSE(enabled("contrast"));
  EXPECT_FALSE(enabled("pubboxact0"));
  EXPECT_FALSE(enabled("pubboxF"));
  EXPECT_FALSE(enabled("lcd_on_time"));
  EXPECT_FALSE(enabled("lcd_off_time"));
  EXPECT_FALSE(enabled("otaKillCmd"));
  EXPECT_EQ(form.findChild<QLineEdit*>("frame1")->text(), "0");

  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  ASSERT_EQ(pages->count(), 4);
  EXPECT_EQ(pages->tabText(0), "Addresses");
  EXPECT_EQ(pages->tabText(1), "Folders");
  EXPECT_EQ(pages->tabText(2), "Settings");
  EXPECT_EQ(pages->tabText(3), "Hardware");
  EXPECT_EQ(pages->currentIndex(), 2);
  EXPECT_FALSE(pages->isTabVisible(3));

  EXPECT_EQ(form.windowTitle(), "PALOR Customer Programmer (Dururovera)");
  EXPECT_FALSE(action("WriteToPager")->isEnabled());
  EXPECT_FALSE(action("ReadFromPager")->isEnabled());
  EXPECT_FALSE(action("ConnectPager")->isVisible());
  EXPECT_EQ(action("Exit1")->text(), "E&xit");
  EXPECT_FALSE(form.findChild<QWidget*>("ProgressBar1")->isVisibleTo(&form));
  EXPECT_FALSE(form.findChild<QWidget*>("read_write_stop")->isVisibleTo(&form));
  EXPECT_TRUE(form.findChild<QPlainTextEdit*>("Memo1")->isReadOnly());
}

// Without an adapter nothing ticks, and only the device monitor can wake the window; a
// port's arrival (here one that PALOR_EXTRA_PORTS names by then) starts both timers, its
// removal stops them again.
TEST_F(ViewTest, WithNoAdapterNoTimerRunsUntilAPortArrives) {
  for (const QTimer* timer : form.findChildren<QTimer*>()) EXPECT_FALSE(timer->isActive());
  const int monitor = form.state().link().deviceMonitorFd();
  if (monitor >= 0) {
    const auto* notifier = form.findChild<QSocketNotifier*>("deviceMonitor");
    ASSERT_NE(notifier, nullptr);
    EXPECT_EQ(notifier->socket(), monitor);
    EXPECT_TRUE(notifier->isEnabled());
  }

  test::NamedPorts ports;
  ::setenv("PALOR_EXTRA_PORTS", ports.add("ttyUSB0").c_str(), 1);
  form.state().DeviceChange(DeviceNotice::Arrival);
  form.state().DeviceChange(DeviceNotice::NodesChanged);
  ::unsetenv("PALOR_EXTRA_PORTS");
  EXPECT_TRUE(form.findChild<QTimer*>("Com_clock")->isActive());
  EXPECT_TRUE(form.findChild<QTimer*>("watch_serial")->isActive());

  form.state().DeviceChange(DeviceNotice::Removal);
  for (const QTimer* timer : form.findChildren<QTimer*>()) EXPECT_FALSE(timer->isActive());
}

// During a write the pages stay shown and can be turned to, but their controls and the
// pager number are greyed, and the window does not close; both return at the end.
TEST_F(ViewTest, DuringAWriteThePagesAreGreyedAndClosingIsRefused) {
  test::SimulatedPager pager(form.state());
  pager.connect();
  action("Repair1")->trigger();
  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  const char* fields[] = {"address1", "hellomsg1", "TxtPagerNumber"};
  auto expectEditable = [&](bool editable) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(pages->widget(i)->isEnabled(), editable) << i;
      EXPECT_TRUE(pages->isTabVisible(i) && pages->isTabEnabled(i)) << i;
    }
    for (const char* name : fields)
      EXPECT_EQ(form.findChild<QWidget*>(name)->isEnabled(), editable) << name;
  };
  expectEditable(true);

  action("WriteToPager")->trigger();
  ASSERT_TRUE(pager.busy());
  expectEditable(false);
  EXPECT_FALSE(form.close());
  EXPECT_EQ(logLines().back(), QString::fromLatin1(msg::kWaitForPager));

  ASSERT_TRUE(pager.tickUntil([&] { return !pager.busy(); }, 2000));
  EXPECT_EQ(logLines().back(), QString::fromLatin1(msg::kWriteEepromCompleted));
  expectEditable(true);
  EXPECT_TRUE(form.close());
}

TEST_F(ViewTest, StatusLogHoldsTheAboutTextAndHelpAboutAddsIt) {
  EXPECT_EQ(logLines(), QStringList{""});
  action("About1")->trigger();
  EXPECT_EQ(logLines(), (QStringList{"", ""}));
}

TEST_F(ViewTest, HelpRepairTwiceLeavesItUnchecked) {
  action("Repair1")->trigger();
  EXPECT_TRUE(action("Repair1")->isChecked());
  action("Repair1")->trigger();
  EXPECT_FALSE(action("Repair1")->isChecked());
  EXPECT_FALSE(form.state().window().repairChecked);
}

TEST_F(ViewTest, UncheckingMethod28aShowsUrgentCallTypeInstead) {
  form.findChild<QCheckBox*>("method28a")->click();
  EXPECT_FALSE(form.state().record().checked("method28a"));
  EXPECT_TRUE(form.findChild<QWidget*>("UrgentCall5C")->isHidden());
  EXPECT_FALSE(form.findChild<QWidget*>("urgcalltype")->isHidden());
}

}  // namespace
}  // namespace palor
