// SPDX-License-Identifier: GPL-3.0-or-later
// The window's layout: the customer strip and the four tab pages, each control placed
// beside the labels the schema gives it.
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/view/tform1.h"

namespace palor {
namespace {

FieldId field(const char* name) { return SettingsRecord::id(name); }

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
  layout->addStretch(1);
  const FieldId pagerNumber = field("TxtPagerNumber");
  QLabel* label = makeFieldLabel(pagerNumber, fromBytes(SettingsRecord::schema(pagerNumber).label));
  label->setObjectName("LblPagerNumber");
  layout->addWidget(label);
  layout->addWidget(makeFieldWidget(pagerNumber));
  auto* preview = new QPushButton(tr("&Preview and Print"), strip);
  preview->setObjectName("Preview");
  layout->addWidget(preview);
  return strip;
}

QWidget* TForm1::buildAddressesPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet1");
  auto* pageLayout = new QVBoxLayout(page);
  auto* group = new QGroupBox(fromBytes(kPageAddresses), page);
  auto* grid = new QGridLayout(group);
  grid->setVerticalSpacing(1);
  pageLayout->addWidget(group);
  pageLayout->addStretch(1);

  // Column headings come from the fields of row 1; the "UC" headings follow the visibility
  // of the urgent-call fields below them.
  const char* headed[] = {"address1",     "frame1",       "autoinc1",     "permission1",
                          "msgtype1",     "addr1formatA", "addr1formatB", "addr1formatC",
                          "addr1formatD", "UrgentCall1A", "UrgentCall1B", "UrgentCall1C",
                          "UrgentCall1D"};
  for (int c = 0; c < 13; ++c) {
    const FieldId f = field(headed[c]);
    const QString heading = fromBytes(SettingsRecord::schema(f).label);
    auto* label = SettingsRecord::schema(f).hasVisibleFlag ? makeFieldLabel(f, heading)
                                                           : new QLabel(heading, group);
    grid->addWidget(label, 0, c + 1);
  }

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
    at(rowField("Capcode", row, "Name"), line + 1, 1);
    for (int t = 0; t < 4; ++t) {
      const std::string tone(1, kToneLetters[t]);
      at(rowField("addr", row, "format" + tone), line, 6 + t);
      at(rowField("Capcode", row, "Tone" + tone), line + 1, 6 + t);
      at(rowField("UrgentCall", row, tone), line, 10 + t);
    }
  }
  grid->setColumnStretch(14, 1);
  return page;
}

QWidget* TForm1::buildFoldersPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet4");
  auto* pageLayout = new QVBoxLayout(page);
  auto* group = new QGroupBox(fromBytes(kPageFolders), page);
  auto* halves = new QHBoxLayout(group);
  pageLayout->addWidget(group);
  pageLayout->addStretch(1);

  // Folders [1]..[8] on the left, [9]..[16] on the right, two folders per line.
  for (int half = 0; half < 2; ++half) {
    auto* grid = new QGridLayout;
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
  grid->addWidget(makeFieldLabel(f, fromBytes(schema.label)), row, column * 3);
  grid->addWidget(makeFieldWidget(f), row, column * 3 + 1);
  if (!schema.unit.empty())
    grid->addWidget(new QLabel(fromBytes(schema.unit)), row, column * 3 + 2);
}

QWidget* TForm1::buildSettingsPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet2");
  auto* layout = new QVBoxLayout(page);
  layout->setSpacing(4);

  // Top: the hello message and the seven tone patterns side by side.
  auto* top = new QHBoxLayout;
  auto* hello = new QGroupBox(tr("Hello message"), page);
  auto* helloLayout = new QHBoxLayout(hello);
  helloLayout->addWidget(makeFieldWidget(field("hellomsg1")));
  top->addWidget(hello);
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
  const char* first[] = {"lcdholdtime", "rangetime", "password",    "serial",   "otaKillMsg",
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
  grid->addWidget(makeFieldWidget(field("privateFunControl")), row, 3);
  grid->addWidget(makeFieldWidget(field("delMenu")), row++, 4);
  row = 0;
  for (const char* name : third) addLabelled(grid, row++, 2, name);
  // "Channel freq" [channelfreq] "MHz@" [channelspace].
  const FieldId channelfreq = field("channelfreq");
  grid->addWidget(makeFieldLabel(channelfreq, fromBytes(SettingsRecord::schema(channelfreq).label)),
                  row, 6);
  auto* channel = new QHBoxLayout;
  channel->addWidget(makeFieldWidget(channelfreq));
  channel->addWidget(new QLabel(fromBytes(SettingsRecord::schema(channelfreq).unit)));
  channel->addWidget(makeFieldWidget(field("channelspace")));
  grid->addLayout(channel, row, 7, 1, 2);
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
      if (SettingsRecord::schema(field(name)).kind == FieldKind::Check)
        grid->addWidget(makeFieldWidget(field(name)), line++, 0, 1, 2);
      else
        addLabelled(grid, line++, 0, name);
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

}  // namespace palor
