#include "ui/view/tform1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QMimeData>
#include <QUrl>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace palor {

QString fromBytes(std::string_view bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::optional<std::string> toBytes(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (QChar c : text) {
    if (c.unicode() > 0xFF) return std::nullopt;
    bytes += static_cast<char>(c.unicode());
  }
  return bytes;
}

namespace {

FieldId field(const char* name) { return SettingsRecord::id(name); }

// The PC's decimal separator, read once from the system's number format.
char systemDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  return point == QStringLiteral(",") ? ',' : '.';
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent,
                  Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                      Qt::WindowCloseButtonHint),
      widgets_(SettingsRecord::size(), nullptr),
      labels_(SettingsRecord::size()) {
  setObjectName("Form1");
  // The window is laid out for a small 8 pt sans-serif face.
  QFont small = font();
  small.setPointSize(8);
  setFont(small);
  setWindowTitle(fromBytes(kLayoutCaption));
  buildMenu();

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 0, 4, 4);
  layout->setSpacing(2);
  layout->addWidget(buildCustomerStrip());

  pages_ = new QTabWidget(central);
  pages_->setObjectName("PageControl1");
  pages_->setTabPosition(QTabWidget::West);
  pages_->addTab(buildAddressesPage(), fromBytes(kPageAddresses));
  pages_->addTab(buildFoldersPage(), fromBytes(kPageFolders));
  pages_->addTab(buildSettingsPage(), fromBytes(kPageSettings));
  hardwarePage_ = buildHardwarePage();
  pages_->addTab(hardwarePage_, fromBytes(kPageHardware));
  pages_->setCurrentIndex(2);
  layout->addWidget(pages_, 1);

  auto* foot = new QWidget(central);
  auto* footLayout = new QGridLayout(foot);
  footLayout->setContentsMargins(0, 0, 0, 0);
  log_ = new QPlainTextEdit(foot);
  log_->setObjectName("Memo1");
  log_->setReadOnly(true);
  log_->setFixedHeight(64);
  log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_->setStyleSheet("color: red;");
  footLayout->addWidget(log_, 0, 0, 2, 2);
  progress_ = new QProgressBar(foot);
  progress_->setObjectName("ProgressBar1");
  progress_->hide();
  footLayout->addWidget(progress_, 0, 0, Qt::AlignTop);
  stop_ = new QPushButton(tr("&Stop"), foot);
  stop_->setObjectName("read_write_stop");
  stop_->hide();
  footLayout->addWidget(stop_, 0, 1, Qt::AlignTop);
  layout->addWidget(foot);
  setCentralWidget(central);

  for (std::size_t i = 0; i < widgets_.size(); ++i) showField(static_cast<FieldId>(i));
  state_.record().setObserver([this](FieldId f) { showField(f); });
  state_.log().setObserver([this](const std::string& line) { appendLogLine(fromBytes(line)); });
  state_.setWindowObserver([this] { showWindowState(); });

  StartUpEnvironment environment;
  environment.decimalSeparator = systemDecimalSeparator();
  state_.startUp(environment);
  showWindowState();

  resize(793, 566);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

TForm1::~TForm1() {
  state_.record().setObserver({});
  state_.log().setObserver({});
  state_.setWindowObserver({});
}

void TForm1::closeEvent(QCloseEvent* event) {
  state_.shutDown();
  event->accept();
}

void TForm1::buildMenu() {
  auto add = [this](QWidget* menu, const char* name, const QString& caption) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    menu->addAction(action);
    return action;
  };
  fileMenu_ = menuBar()->addMenu(tr("&File"));
  fileMenu_->setObjectName("File1");
  connect(add(fileMenu_, "Open1", tr("&Open...")), &QAction::triggered, this, [this] {
    userAction([this] { state_.Open1Click([this] { return askFileName(false); }); });
  });
  connect(add(fileMenu_, "Save1", tr("&Save...")), &QAction::triggered, this, [this] {
    userAction([this] { state_.Save1Click([this] { return askFileName(true); }); });
  });
  fileMenu_->addSeparator()->setObjectName("N1");
  connect(add(fileMenu_, "Exit1", tr("E&xit")), &QAction::triggered, this,
          [this] { userAction([this] { state_.Exit1Click(); }); });

  connectPager_ = add(menuBar(), "ConnectPager", tr("&Connect"));
  connectPager_->setStatusTip(tr("Connect to Pager"));
  connectPager_->setToolTip(tr("Connect to Pager"));
  connect(connectPager_, &QAction::triggered, this,
          [this] { userAction([this] { state_.ConnectPagerClick(); }); });
  writeToPager_ = add(menuBar(), "WriteToPager", tr("&Write_To_Pager"));
  readFromPager_ = add(menuBar(), "ReadFromPager", tr("&Read_From_Pager"));

  helpMenu_ = menuBar()->addMenu(tr("&Help"));
  helpMenu_->setObjectName("Help1");
  repair_ = add(helpMenu_, "Repair1", tr("&Repair"));
  repair_->setCheckable(true);
  connect(repair_, &QAction::triggered, this,
          [this] { userAction([this] { state_.Repair1Click(); }); });
  connect(add(helpMenu_, "About1", tr("&About")), &QAction::triggered, this,
          [this] { userAction([this] { state_.About1Click(); }); });
}

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
  const char* headed[] = {"address1", "frame1", "autoinc1", "permission1", "msgtype1",
                          "addr1formatA", "addr1formatB", "addr1formatC", "addr1formatD",
                          "UrgentCall1A", "UrgentCall1B", "UrgentCall1C", "UrgentCall1D"};
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
  if (!schema.unit.empty()) grid->addWidget(new QLabel(fromBytes(schema.unit)), row, column * 3 + 2);
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
  const char* toneFields[] = {"tonepatternA",   "tonepatternB",     "tonepatternC",
                              "tonepatternD",   "tonepatternPon",   "tonepatternLcell",
                              "tonepatternUcall"};
  for (int i = 0; i < 7; ++i) addLabelled(toneGrid, i / 4, i % 4, toneFields[i]);
  top->addWidget(tones);
  top->addStretch(1);
  layout->addLayout(top);

  // The single settings, in three columns of label and field.
  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(1);
  const char* first[] = {"lcdholdtime", "rangetime", "password",  "serial",   "otaKillMsg",
                         "dateformat",  "autospace", "msgdisptime", "alerttime"};
  const char* second[] = {"lowcell",     "pubcallno",    "baudrate",    "polarity",
                          "lcd_on_time", "lcd_off_time", "backlight",   "urgcallmode",
                          "urgcalltype"};
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
  const char* boxes[] = {"autobacklight",     "delall_w_unread",   "handprogram",
                         "method28a",         "unreadRemind",      "ota",
                         "qsound",            "outrangespecial",   "lowbatteryspecial",
                         "chargerBeepRemind", "lockVibrate",       "rejectBadMsg",
                         "mostRecentMsg",     "showPowerOffMenu",  "useInternalBuzzer",
                         "otaKillCmd",        "capcodeNameDisplay", "msgInfoMode"};
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

QWidget* TForm1::makeFieldWidget(FieldId f) {
  QWidget* widget = nullptr;
  switch (SettingsRecord::schema(f).kind) {
    case FieldKind::Text: widget = makeLineEdit(f); break;
    case FieldKind::Item: widget = makeComboBox(f); break;
    case FieldKind::Check: widget = makeCheckBox(f); break;
  }
  widget->setObjectName(fromBytes(SettingsRecord::schema(f).name));
  const std::string& tooltip = SettingsRecord::schema(f).tooltip;
  if (!tooltip.empty()) widget->setToolTip(fromBytes(tooltip));
  widgets_[toIndex(f)] = widget;
  return widget;
}

QLineEdit* TForm1::makeLineEdit(FieldId f) {
  const FieldSchema& schema = SettingsRecord::schema(f);
  auto* edit = new QLineEdit;
  edit->setMaxLength(schema.maxLength);
  edit->setReadOnly(schema.readOnly);
  // As wide as its longest text would be, within reason.
  const int columns = std::clamp(schema.maxLength, 1, 11);
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * columns + 12);
  edit->installEventFilter(this);
  connect(edit, &QLineEdit::textEdited, this, [this, f](const QString& text) {
    userAction([&] {
      if (auto bytes = toBytes(text))
        state_.record().setText(f, *bytes);
      else
        showField(f);  // no byte stands for this character: the edit is refused
    });
  });
  return edit;
}

QComboBox* TForm1::makeComboBox(FieldId f) {
  auto* box = new QComboBox;
  box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  for (const std::string& item : state_.record().items(f)) box->addItem(fromBytes(item));
  connect(box, &QComboBox::activated, this,
          [this, f](int index) { userAction([&] { state_.record().pickItem(f, index); }); });
  return box;
}

QCheckBox* TForm1::makeCheckBox(FieldId f) {
  auto* box = new QCheckBox(fromBytes(SettingsRecord::schema(f).caption));
  connect(box, &QCheckBox::clicked, this,
          [this, f](bool checked) { userAction([&] { state_.record().setChecked(f, checked); }); });
  return box;
}

QLabel* TForm1::makeFieldLabel(FieldId f, const QString& text) {
  auto* label = new QLabel(text);
  if (SettingsRecord::schema(f).hasVisibleFlag) labels_[toIndex(f)].push_back(label);
  return label;
}

void TForm1::showField(FieldId f) {
  QWidget* widget = widgets_[toIndex(f)];
  if (!widget) return;
  const SettingsRecord& record = state_.record();
  const QSignalBlocker blocker(widget);
  switch (SettingsRecord::schema(f).kind) {
    case FieldKind::Text: {
      auto* edit = static_cast<QLineEdit*>(widget);
      const QString text = fromBytes(record.text(f));
      if (edit->text() != text) {
        const int cursor = edit->cursorPosition();
        edit->setText(text);
        edit->setCursorPosition(std::min<int>(cursor, static_cast<int>(text.size())));
      }
      break;
    }
    case FieldKind::Item: {
      auto* box = static_cast<QComboBox*>(widget);
      const auto& items = record.items(f);
      for (int i = 0; i < box->count() && i < static_cast<int>(items.size()); ++i)
        if (box->itemText(i) != fromBytes(items[static_cast<std::size_t>(i)]))
          box->setItemText(i, fromBytes(items[static_cast<std::size_t>(i)]));
      box->setCurrentIndex(record.index(f));
      break;
    }
    case FieldKind::Check:
      static_cast<QCheckBox*>(widget)->setChecked(record.checked(f));
      break;
  }
  widget->setEnabled(record.enabled(f));
  if (SettingsRecord::schema(f).hasVisibleFlag) {
    const bool visible = record.visible(f);
    widget->setVisible(visible);
    for (QLabel* label : labels_[toIndex(f)]) label->setVisible(visible);
  }
}

void TForm1::appendLogLine(const QString& line) {
  // Each message is one line, empty ones included: the first fills the document's empty
  // first line, every later one starts a line of its own.
  QTextCursor cursor(log_->document());
  cursor.movePosition(QTextCursor::End);
  if (state_.log().lines().size() > 1) cursor.insertBlock();
  cursor.insertText(line);
  log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void TForm1::showWindowState() {
  const MainWindowState& w = state_.window();
  setWindowTitle(fromBytes(w.title));
  pages_->setTabVisible(pages_->indexOf(hardwarePage_), w.hardwarePageVisible);
  writeToPager_->setEnabled(w.writeToPagerEnabled);
  readFromPager_->setEnabled(w.readFromPagerEnabled);
  connectPager_->setVisible(w.connectPagerVisible);
  repair_->setChecked(w.repairChecked);
  fileMenu_->setEnabled(w.fileMenuEnabled);
  helpMenu_->setEnabled(w.helpMenuEnabled);
  setAcceptDrops(w.acceptsDroppedFiles);
  if (w.closeRequested) QTimer::singleShot(0, this, &QWidget::close);
}

namespace {

// "Text|patterns|Text|patterns" as the toolkit's name filters. The display text is kept
// whole; the patterns, separated by "; ", follow it in parentheses, and the dialog is told
// to show the display text alone.
QStringList nameFilters(std::string_view filter) {
  const QStringList parts = fromBytes(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    filters << parts[i] + " (" + QString(parts[i + 1]).replace("; ", " ") + ")";
  return filters;
}

}  // namespace

std::optional<std::string> TForm1::askFileName(bool save) {
  QFileDialog dialog(this);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(nameFilters(save ? kSaveDialogFilter : kOpenDialogFilter));
  dialog.setDefaultSuffix(fromBytes(kDialogDefaultExtension));
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  event->acceptProposedAction();
  userAction([&] { state_.FilesDropped(paths); });
}

template <typename Action>
void TForm1::userAction(Action action) {
  try {
    action();
  } catch (const ConversionError& e) {
    showError(QString::fromLatin1(e.what()));
  } catch (const std::exception& e) {
    showError(QString::fromLocal8Bit(e.what()));
  }
  if (auto target = state_.record().takeFocusRequest()) {
    QWidget* widget = widgets_[toIndex(*target)];
    if (widget && widget->isEnabled())
      QTimer::singleShot(0, widget, [widget] { widget->setFocus(Qt::OtherFocusReason); });
  }
}

void TForm1::showError(const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Critical, windowTitle(), text, QMessageBox::Ok, this);
  box->setObjectName("conversionError");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (!edit) return QMainWindow::eventFilter(watched, event);
  const auto found = findField(edit->objectName().toStdString());
  if (!found) return QMainWindow::eventFilter(watched, event);
  const FieldId f = *found;

  if (event->type() == QEvent::KeyPress) {
    const QString typed = static_cast<QKeyEvent*>(event)->text();
    if (typed.isEmpty() || edit->isReadOnly()) return false;
    bool admitted = true;
    userAction([&] {
      for (QChar c : typed) {
        // A character no byte stands for is refused; the key rule still sees it as the
        // unmappable-character mark so that it can say what it admits.
        if (c.unicode() > 0xFF) {
          state_.record().keyPress(f, '?');
          admitted = false;
        } else if (!state_.record().keyPress(f, static_cast<char>(c.unicode()))) {
          admitted = false;
        }
      }
    });
    return !admitted;  // a dropped character leaves text and caret alone
  }
  if (event->type() == QEvent::FocusOut) {
    // Leaving the window (another window, a popup) is not leaving the field.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
    userAction([&] { state_.record().leave(f); });
  }
  return false;
}

}  // namespace palor
