// SPDX-License-Identifier: GPL-3.0-or-later
// The window's layout: the customer strip and the four tab pages, each control placed
// beside the labels the schema gives it.
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/view/tform1.h"

namespace palor {
namespace {

FieldId field(const char* name) { return SettingsRecord::id(name); }

// A label's or caption's text as a screen reader speaks it: no access-key mark, no colon
// at the end.
QString spoken(QString text) {
  text.remove(QLatin1Char('&'));
  text = text.trimmed();
  if (text.endsWith(QLatin1Char(':'))) text.chop(1);
  return text.trimmed();
}

}  // namespace

QWidget* TForm1::buildCustomerStrip() {
  auto* strip = new QWidget(this);
  strip->setObjectName("customerShow");
  strip->setFixedHeight(25);
  auto* layout = new QHBoxLayout(strip);
  layout->setContentsMargins(0, 0, 0, 0);
  infoRWPager_ = new QLabel(strip);
  infoRWPager_->setObjectName("LblInfoRWPager");
  infoRWPager_->setStyleSheet("color: red; font-weight: bold; font-size: 16px;");
  infoRWPager_->hide();
  layout->addWidget(infoRWPager_);
  repairNotice_ = new QLabel(strip);
  repairNotice_->setObjectName("LblRepair");
  repairNotice_->setStyleSheet("color: red;");
  repairNotice_->hide();
  layout->addWidget(repairNotice_);
  pagerList_ = new QLabel(strip);
  pagerList_->setObjectName("LblPagerList");
  pagerList_->setStyleSheet("font-weight: bold;");
  pagerList_->hide();
  layout->addWidget(pagerList_);
  layout->addStretch(1);
  const FieldId pagerNumber = field("TxtPagerNumber");
  QLabel* label = makeFieldLabel(pagerNumber, fromBytes(SettingsRecord::schema(pagerNumber).label));
  label->setObjectName("LblPagerNumber");
  layout->addWidget(label);
  layout->addWidget(makeFieldWidget(pagerNumber));
  nameByLabel(pagerNumber, label);
  auto* preview = new QPushButton(tr("&Preview and Print"), strip);
  preview->setObjectName("Preview");
  preview->setToolTip(
      tr("Preview and Print (%1)")
          .arg(QKeySequence(QKeySequence::Print).toString(QKeySequence::NativeText)));
  layout->addWidget(preview);
  return strip;
}

QWidget* TForm1::buildAddressesPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet1");
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->setContentsMargins(2, 2, 2, 2);
  auto* group = new QGroupBox(fromBytes(kPageAddresses), page);
  auto* grid = new QGridLayout(group);
  grid->setVerticalSpacing(1);
  grid->setHorizontalSpacing(3);
  pageLayout->addWidget(group);
  pageLayout->addStretch(1);

  // Column headings come from the fields of row 1; the "UC" headings follow the visibility
  // of the urgent-call fields below them. Each tone column is followed by its urgent-call
  // column, in the order the report and the table files use.
  const char* headed[] = {"address1",     "frame1",       "autoinc1",     "permission1",
                          "msgtype1",     "addr1formatA", "UrgentCall1A", "addr1formatB",
                          "UrgentCall1B", "addr1formatC", "UrgentCall1C", "addr1formatD",
                          "UrgentCall1D"};
  for (int c = 0; c < 13; ++c) {
    const FieldId f = field(headed[c]);
    const QString heading = fromBytes(SettingsRecord::schema(f).label);
    auto* label = SettingsRecord::schema(f).hasVisibleFlag ? makeFieldLabel(f, heading)
                                                           : new QLabel(heading, group);
    label->setObjectName(QStringLiteral("heading_") + headed[c]);
    grid->addWidget(label, 0, c + 1);
  }

  // Each row takes two lines: the row's settings, then the names under the address and
  // under each tone. The widgets are placed in reading order, which is their tab order.
  for (int row = 1; row <= kAddressRows; ++row) {
    const int line = 2 * row - 1;
    auto at = [&](const std::string& name, int gridRow, int column) {
      grid->addWidget(makeFieldWidget(SettingsRecord::id(name)), gridRow, column);
    };
    at(rowField("addr", row, "en"), line, 0);
    at(rowField("address", row), line, 1);
    at(rowField("frame", row), line, 2);
    at(rowField("autoinc", row), line, 3);
    at(rowField("permission", row), line, 4);
    at(rowField("msgtype", row), line, 5);
    for (int t = 0; t < 4; ++t) {
      const std::string tone(1, kToneLetters[t]);
      at(rowField("addr", row, "format" + tone), line, 6 + 2 * t);
      at(rowField("UrgentCall", row, tone), line, 7 + 2 * t);
    }
    grid->addWidget(makeFieldWidget(SettingsRecord::id(rowField("Capcode", row, "Name"))), line + 1,
                    1, 1, 5, Qt::AlignLeft);
    for (int t = 0; t < 4; ++t) {
      const std::string tone(1, kToneLetters[t]);
      at(rowField("Capcode", row, "Tone" + tone), line + 1, 6 + 2 * t);
    }
  }
  grid->setColumnStretch(14, 1);
  return page;
}

QWidget* TForm1::buildFoldersPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet4");
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->setContentsMargins(2, 2, 2, 2);
  auto* group = new QGroupBox(fromBytes(kPageFolders), page);
  auto* halves = new QHBoxLayout(group);
  pageLayout->addWidget(group);
  pageLayout->addStretch(1);

  // Folders [1]..[8] on the left, [9]..[16] on the right, two folders per line.
  for (int half = 0; half < 2; ++half) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(3);
    halves->addLayout(grid);
    for (int pair = 0; pair < 2; ++pair) {
      grid->addWidget(new QLabel(fromBytes(SettingsRecord::schema(field("pubbox0")).label)), 0,
                      pair * 3 + 1);
      grid->addWidget(new QLabel(fromBytes(SettingsRecord::schema(field("pubboxlength0")).label)),
                      0, pair * 3 + 2);
    }
    for (int i = 0; i < 8; ++i) {
      const int k = half * 8 + i;
      const int line = 1 + i / 2;
      const int column = (i % 2) * 3;
      grid->addWidget(makeFieldWidget(SettingsRecord::id(folderField("pubboxact", k))), line,
                      column);
      grid->addWidget(makeFieldWidget(SettingsRecord::id(folderField("pubbox", k))), line,
                      column + 1);
      grid->addWidget(makeFieldWidget(SettingsRecord::id(folderField("pubboxlength", k))), line,
                      column + 2);
    }
  }
  return page;
}

void TForm1::addLabelled(QGridLayout* grid, int row, int column, const char* name) {
  const FieldId f = field(name);
  const FieldSchema& schema = SettingsRecord::schema(f);
  QLabel* label = makeFieldLabel(f, fromBytes(schema.label));
  grid->addWidget(label, row, column * 3);
  QWidget* widget = makeFieldWidget(f);
  nameByLabel(f, label);
  if (schema.unit.empty()) {
    grid->addWidget(widget, row, column * 3 + 1);
    return;
  }
  // The unit stands right after its field, however wide the column.
  auto* cell = new QHBoxLayout;
  cell->setSpacing(3);
  cell->addWidget(widget);
  auto* unit = new QLabel(fromBytes(schema.unit));
  unit->setObjectName(widget->objectName() + QStringLiteral("Unit"));
  cell->addWidget(unit);
  cell->addStretch(1);
  grid->addLayout(cell, row, column * 3 + 1);
}

QWidget* TForm1::buildSettingsPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet2");
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);

  // Top: the hello message and the seven tone patterns side by side.
  auto* top = new QHBoxLayout;
  auto* hello = new QGroupBox(tr("Hello message"), page);
  auto* helloLayout = new QHBoxLayout(hello);
  helloLayout->addWidget(makeFieldWidget(field("hellomsg1")));
  top->addWidget(hello);
  widgetFor(field("hellomsg1"))->setAccessibleName(hello->title());
  auto* tones = new QGroupBox(tr("Tone patterns"), page);
  auto* toneGrid = new QGridLayout(tones);
  toneGrid->setVerticalSpacing(1);
  const char* toneFields[] = {"tonepatternA",    "tonepatternB",   "tonepatternC",
                              "tonepatternD",    "tonepatternPon", "tonepatternLcell",
                              "tonepatternUcall"};
  for (int i = 0; i < 7; ++i) addLabelled(toneGrid, i / 4, i % 4, toneFields[i]);
  top->addWidget(tones);
  top->addStretch(1);
  layout->addLayout(top);

  // The single settings, in three columns of label and field.
  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(1);
  const char* first[] = {"lcdholdtime", "rangetime", "password",    "serial",
                         "dateformat",  "autospace", "msgdisptime", "alerttime"};
  const char* second[] = {"lowcell",      "pubcallno", "baudrate",    "polarity",   "lcd_on_time",
                          "lcd_off_time", "backlight", "urgcallmode", "urgcalltype"};
  const char* third[] = {"pubfoldermode", "repeatcallcheck", "repeatcallreject", "numset",
                         "language",      "menulanguage",    "cmbNameDisplay"};
  int row = 0;
  for (const char* name : first) addLabelled(grid, row++, 0, name);
  // contrast has the check box contrastUnlock as its label, delMenu has privateFunControl.
  grid->addWidget(makeFieldWidget(field("contrastUnlock")), row, 0);
  grid->addWidget(makeFieldWidget(field("contrast")), row++, 1);
  row = 0;
  for (const char* name : second) addLabelled(grid, row++, 1, name);
  row = 0;
  for (const char* name : third) addLabelled(grid, row++, 2, name);
  grid->addWidget(makeFieldWidget(field("privateFunControl")), row, 6);
  grid->addWidget(makeFieldWidget(field("delMenu")), row++, 7);

  // The two long texts share a line under the columns: the OTA kill message, and
  // "Channel freq" [channelfreq] "MHz@" [channelspace].
  const int bottom = static_cast<int>(std::size(second));
  const FieldId otaKillMsg = field("otaKillMsg");
  QLabel* otaLabel =
      makeFieldLabel(otaKillMsg, fromBytes(SettingsRecord::schema(otaKillMsg).label));
  grid->addWidget(otaLabel, bottom, 0);
  auto* line = new QHBoxLayout;
  line->setSpacing(4);
  line->addWidget(makeFieldWidget(otaKillMsg));
  nameByLabel(otaKillMsg, otaLabel);
  line->addSpacing(12);
  const FieldId channelfreq = field("channelfreq");
  QLabel* channelLabel =
      makeFieldLabel(channelfreq, fromBytes(SettingsRecord::schema(channelfreq).label));
  line->addWidget(channelLabel);
  line->addWidget(makeFieldWidget(channelfreq));
  nameByLabel(channelfreq, channelLabel);
  line->addWidget(new QLabel(fromBytes(SettingsRecord::schema(channelfreq).unit)));
  line->addWidget(makeFieldWidget(field("channelspace")));
  line->addStretch(1);
  grid->addLayout(line, bottom, 1, 1, 8);
  grid->setColumnStretch(9, 1);
  layout->addLayout(grid);

  auto* checkGrid = new QGridLayout;
  checkGrid->setVerticalSpacing(0);
  const char* boxes[] = {"autobacklight",
                         "delall_w_unread",
                         "handprogram",
                         "method28a",
                         "unreadRemind",
                         "ota",
                         "qsound",
                         "outrangespecial",
                         "lowbatteryspecial",
                         "chargerBeepRemind",
                         "lockVibrate",
                         "rejectBadMsg",
                         "mostRecentMsg",
                         "showPowerOffMenu",
                         "useInternalBuzzer",
                         "otaKillCmd",
                         "capcodeNameDisplay",
                         "msgInfoMode"};
  for (int i = 0; i < 18; ++i) checkGrid->addWidget(makeFieldWidget(field(boxes[i])), i / 3, i % 3);
  checkGrid->setColumnStretch(3, 1);
  layout->addLayout(checkGrid);
  layout->addStretch(1);
  return page;
}

QWidget* TForm1::buildHardwarePage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet3");
  auto* layout = new QGridLayout(page);
  auto addGroup = [&](const char* title, std::initializer_list<const char*> names, int row,
                      int column, int rowSpan) {
    auto* group = new QGroupBox(tr(title), page);
    auto* grid = new QGridLayout(group);
    int line = 0;
    for (const char* name : names) {
      if (SettingsRecord::schema(field(name)).kind == FieldKind::Check) {
        grid->addWidget(makeFieldWidget(field(name)), line++, 0, 1, 2);
        continue;
      }
      addLabelled(grid, line++, 0, name);
      // Three groups have a "Chip": the group's title comes first in each name.
      QWidget* widget = widgetFor(field(name));
      widget->setAccessibleName(group->title() + QStringLiteral(", ") + widget->accessibleName());
    }
    layout->addWidget(group, row, column, rowSpan, 1);
  };
  addGroup("Decoder",
           {"decoder", "bs1", "bs3", "error_rate", "clko", "filter_strength", "bs2_option",
            "end_of_msg"},
           0, 0, 3);
  addGroup("PLL", {"pll"}, 0, 1, 1);
  addGroup("Misc", {"overheatVoltage"}, 1, 1, 1);
  addGroup("LCD driver", {"lcddrv", "lcd_opa", "lcd_fosc", "lcd_tc", "lcd_bias"}, 2, 1, 1);
  layout->setRowStretch(3, 1);
  return page;
}

void TForm1::nameByLabel(FieldId f, QLabel* label) {
  QWidget* widget = widgetFor(f);
  label->setBuddy(widget);
  widget->setAccessibleName(spoken(label->text()));
}

// A control in a row of a table is named by its row and its column ("Address 2, A Tone");
// one with a label of its own by the label, and a check box by its caption.
void TForm1::nameControls() {
  auto name = [this](const std::string& fieldName, const QString& text) {
    widgetFor(SettingsRecord::id(fieldName))->setAccessibleName(text);
  };
  auto heading = [](const char* fieldName) {
    return spoken(fromBytes(SettingsRecord::schema(field(fieldName)).label));
  };
  for (int row = 1; row <= kAddressRows; ++row) {
    const QString address = tr("Address %1").arg(row) + QStringLiteral(", ");
    name(rowField("addr", row, "en"), address + tr("in use"));
    name(rowField("address", row), address + heading("address1"));
    name(rowField("frame", row), address + heading("frame1"));
    name(rowField("autoinc", row), address + heading("autoinc1"));
    name(rowField("permission", row), address + heading("permission1"));
    name(rowField("msgtype", row), address + heading("msgtype1"));
    name(rowField("Capcode", row, "Name"), address + tr("name"));
    for (int t = 0; t < 4; ++t) {
      const std::string tone(1, kToneLetters[t]);
      const QString column = heading(("addr1format" + tone).c_str());
      name(rowField("addr", row, "format" + tone), address + column);
      name(rowField("Capcode", row, "Tone" + tone),
           address + column + QStringLiteral(" ") + tr("name"));
      name(rowField("UrgentCall", row, tone),
           address + column + QStringLiteral(" ") + heading("UrgentCall1A"));
    }
  }
  for (int k = 0; k < 16; ++k) {
    const QString folder = tr("Folder %1").arg(k + 1) + QStringLiteral(", ");
    name(folderField("pubboxact", k), folder + tr("active"));
    name(folderField("pubbox", k), folder + heading("pubbox0"));
    name(folderField("pubboxlength", k), folder + heading("pubboxlength0"));
  }
  name("contrast", spoken(fromBytes(SettingsRecord::schema(field("contrastUnlock")).caption)) +
                       QStringLiteral(" ") + tr("value"));
  name("delMenu", spoken(fromBytes(SettingsRecord::schema(field("privateFunControl")).caption)) +
                      QStringLiteral(" ") + tr("order"));
  name("channelspace", tr("Channel spacing"));
  for (std::size_t i = 0; i < widgets_.size(); ++i) {
    QWidget* widget = widgets_[i];
    const FieldSchema& schema = SettingsRecord::schema(static_cast<FieldId>(i));
    if (widget && widget->accessibleName().isEmpty() && schema.kind == FieldKind::Check)
      widget->setAccessibleName(spoken(fromBytes(schema.caption)));
  }
  log_->setAccessibleName(tr("Status log"));
  pages_->setAccessibleName(tr("Pages"));
}

}  // namespace palor
