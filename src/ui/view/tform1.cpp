// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/view/tform1.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QSplitter>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>

#include "files/atomic_file.h"
#include "link/port_discovery.h"
#include "ui/file_menu.h"
#include "ui/view/history_dialog.h"

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

// A status-log line: the messages are plain ASCII, but a file name in one is the file
// system's UTF-8; a line that is no valid UTF-8 shows its bytes as Latin-1.
QString logText(std::string_view line) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8(QByteArrayView(line.data(), static_cast<qsizetype>(line.size())));
  return utf8.hasError() ? fromBytes(line) : text;
}

// A drop-down list as a screen reader sees it: its name is the name given to it (its
// label's text, or its row and column), its value the item shown, its one child the list
// of its items, and it opens and closes that list as the toolkit's own does. The toolkit's
// own interface names a list by its current item on this platform, so that eight "Alpha"
// lists could not be told apart.
class NamedComboBox : public QAccessibleWidget {
 public:
  explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
  QComboBox* box() const { return static_cast<QComboBox*>(widget()); }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return box()->currentText();
    if (t == QAccessible::Name)
      return box()->accessibleName().isEmpty() ? box()->currentText() : box()->accessibleName();
    return QAccessibleWidget::text(t);
  }
  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child && child->object() == box()->view() ? 0 : -1;
  }
  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& name) override {
    if (name == showMenuAction() || name == pressAction()) {
      if (box()->view()->isVisible())
        box()->hidePopup();
      else
        box()->showPopup();
      return;
    }
    QAccessibleWidget::doAction(name);
  }
};

QAccessibleInterface* namedComboBoxFactory(const QString& className, QObject* object) {
  if (className != QLatin1String("QComboBox")) return nullptr;
  auto* box = qobject_cast<QComboBox*>(object);
  if (!box || box->isEditable()) return nullptr;
  return new NamedComboBox(box);
}

// The PC's decimal separator, read once from the system's number format.
char systemDecimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  return point == QStringLiteral(",") ? ',' : '.';
}

}  // namespace

TForm1::TForm1(QWidget* parent, const std::string& openFile)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      widgets_(SettingsRecord::size(), nullptr),
      labels_(SettingsRecord::size()) {
  setObjectName("Form1");
  static const bool namedLists = [] {
    QAccessible::installFactory(namedComboBoxFactory);
    return true;
  }();
  (void)namedLists;
  // Every frame of the window's link goes into the trace ring, always.
  traceClock_.start();
  state_.link().setSentObserver([this](std::span<const std::uint8_t> frame) {
    trace_.sent(std::chrono::milliseconds(traceClock_.elapsed()), frame);
  });
  state_.link().setReceivedObserver([this](const ReceivedFrame& frame) {
    trace_.received(std::chrono::milliseconds(traceClock_.elapsed()),
                    std::span<const std::uint8_t>(frame.bytes.data(), frame.count));
  });
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
  connect(findChild<QPushButton*>("Preview"), &QPushButton::clicked, this,
          [this] { userAction([this] { PreviewClick(); }); });

  pages_ = new QTabWidget(central);
  pages_->setObjectName("PageControl1");
  pages_->setTabPosition(QTabWidget::West);
  pages_->addTab(buildAddressesPage(), fromBytes(kPageAddresses));
  pages_->addTab(buildFoldersPage(), fromBytes(kPageFolders));
  pages_->addTab(buildSettingsPage(), fromBytes(kPageSettings));
  hardwarePage_ = buildHardwarePage();
  pages_->addTab(hardwarePage_, fromBytes(kPageHardware));
  pages_->setCurrentIndex(2);

  // The status log lies under the pages in a splitter, so that it can be made taller; it
  // starts four lines high.
  auto* foot = new QWidget;
  auto* footLayout = new QGridLayout(foot);
  footLayout->setContentsMargins(0, 0, 0, 0);
  log_ = new QPlainTextEdit(foot);
  log_->setObjectName("Memo1");
  log_->setReadOnly(true);
  log_->setMinimumHeight(64);
  log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_->setStyleSheet("color: red;");
  log_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(log_, &QWidget::customContextMenuRequested, this, &TForm1::showLogMenu);
  log_->viewport()->installEventFilter(this);
  footLayout->addWidget(log_, 0, 0, 2, 2);
  progress_ = new QProgressBar(foot);
  progress_->setObjectName("ProgressBar1");
  progress_->hide();
  footLayout->addWidget(progress_, 0, 0, Qt::AlignTop);
  stop_ = new QPushButton(tr("&Stop"), foot);
  stop_->setObjectName("read_write_stop");
  stop_->hide();
  footLayout->addWidget(stop_, 0, 1, Qt::AlignTop);
  connect(stop_, &QPushButton::clicked, this,
          [this] { userAction([this] { state_.read_write_stopClick(); }); });
  splitter_ = new QSplitter(Qt::Vertical, central);
  splitter_->setObjectName("logSplitter");
  splitter_->setChildrenCollapsible(false);
  splitter_->addWidget(pages_);
  splitter_->addWidget(foot);
  splitter_->setStretchFactor(0, 1);
  splitter_->setStretchFactor(1, 0);
  layout->addWidget(splitter_, 1);
  setCentralWidget(central);

  for (std::size_t i = 0; i < widgets_.size(); ++i) showField(static_cast<FieldId>(i));
  state_.record().setObserver([this](FieldId f) { showField(f); });
  state_.log().setObserver([this](const std::string& line) { appendLogLine(logText(line)); });
  state_.setWindowObserver([this] { showWindowState(); });
  makeLinkTimers();

  StartUpEnvironment environment;
  environment.portSource = systemPorts;
  environment.watchDevices = true;
  environment.decimalSeparator = systemDecimalSeparator();
  environment.openFile = openFile;
  nameControls();
  state_.startUp(environment);
  watchDevices();
  showWindowState();

  // The window takes the size it asks for, or its layout's least size where that is
  // larger, and is centred on the screen at that size.
  centralWidget()->layout()->activate();
  layout->activate();
  QSize size = QSize(793, 566).expandedTo(minimumSizeHint());
  resize(size);
  splitter_->setSizes({size.height(), 0});  // the log at its least height: four lines
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(size.width() / 2, size.height() / 2));
  }
}

TForm1::~TForm1() {
  delete history_;  // it shows the form state, which goes before the window's children
  state_.record().setObserver({});
  state_.log().setObserver({});
  state_.setWindowObserver({});
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!state_.FormCloseQuery()) {
    event->ignore();
    return;
  }
  state_.shutDown();
  event->accept();
}

// Both timers run as the form state's window says; their ticks are user actions like any
// other, so an error in a rule they run ends at the same edge.
void TForm1::makeLinkTimers() {
  auto make = [this](const char* name, int interval, void (FormState::*tick)()) {
    auto* timer = new QTimer(this);
    timer->setObjectName(name);
    timer->setInterval(interval);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this,
            [this, tick] { userAction([this, tick] { (state_.*tick)(); }); });
    return timer;
  };
  comClock_ = make("Com_clock", 40, &FormState::Com_clockTimer);
  watchSerial_ = make("watch_serial", 500, &FormState::watch_serialTimer);
}

// The device monitor wakes the window when a port is plugged in or pulled out; with no
// adapter and no timer running, nothing else does. Each activation drains every pending
// event, so the notifier does not fire again for events already handled.
void TForm1::watchDevices() {
  const int fd = state_.link().deviceMonitorFd();
  if (fd < 0) return;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  notifier->setObjectName("deviceMonitor");
  connect(notifier, &QSocketNotifier::activated, this,
          [this] { userAction([this] { state_.DeviceChange(); }); });
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
  QAction* open = add(fileMenu_, "Open1", tr("&Open..."));
  open->setShortcut(QKeySequence::Open);
  connect(open, &QAction::triggered, this, [this] {
    userAction([this] { state_.Open1Click([this] { return askFileName(false); }); });
  });
  QAction* save = add(fileMenu_, "Save1", tr("&Save..."));
  save->setShortcut(QKeySequence::Save);
  connect(save, &QAction::triggered, this, [this] {
    userAction([this] { state_.Save1Click([this] { return askFileName(true); }); });
  });
  // The records' and the pager list's items come after the items that open and save,
  // before Exit.
  connect(add(fileMenu_, "History1", tr("&History...")), &QAction::triggered, this,
          [this] { userAction([this] { HistoryClick(); }); });
  QAction* pagerList = add(fileMenu_, "PagerList1", tr("Pager &list..."));
  connect(pagerList, &QAction::triggered, this, [this] {
    const QString name = QFileDialog::getOpenFileName(this, tr("Pager list"), {},
                                                      tr("CSV (comma delimited) (*.csv)"));
    if (name.isEmpty()) return;
    userAction([&] { state_.LoadPagerList(QFile::encodeName(name).toStdString()); });
  });
  unloadPagerList_ = add(fileMenu_, "UnloadPagerList1", tr("&Unload pager list"));
  unloadPagerList_->setVisible(false);
  connect(unloadPagerList_, &QAction::triggered, this,
          [this] { userAction([this] { state_.UnloadPagerList(); }); });
  fileMenu_->addSeparator()->setObjectName("N1");
  QAction* exit = add(fileMenu_, "Exit1", tr("E&xit"));
  // Not every desktop's key scheme has a key to quit: Ctrl+Q then.
  const QList<QKeySequence> quit = QKeySequence::keyBindings(QKeySequence::Quit);
  exit->setShortcuts(quit.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Q)}
                                    : quit);
  connect(exit, &QAction::triggered, this, [this] { userAction([this] { state_.Exit1Click(); }); });

  connectPager_ = add(menuBar(), "ConnectPager", tr("&Connect"));
  connectPager_->setStatusTip(tr("Connect to Pager"));
  connectPager_->setToolTip(tr("Connect to Pager"));
  connect(connectPager_, &QAction::triggered, this,
          [this] { userAction([this] { state_.ConnectPagerClick(); }); });
  writeToPager_ = add(menuBar(), "WriteToPager", tr("&Write_To_Pager"));
  connect(writeToPager_, &QAction::triggered, this,
          [this] { userAction([this] { state_.WriteToPagerClick(); }); });
  readFromPager_ = add(menuBar(), "ReadFromPager", tr("&Read_From_Pager"));
  connect(readFromPager_, &QAction::triggered, this,
          [this] { userAction([this] { state_.ReadFromPagerClick(); }); });

  helpMenu_ = menuBar()->addMenu(tr("&Help"));
  helpMenu_->setObjectName("Help1");
  repair_ = add(helpMenu_, "Repair1", tr("&Repair"));
  repair_->setCheckable(true);
  connect(repair_, &QAction::triggered, this,
          [this] { userAction([this] { state_.Repair1Click(); }); });
  connect(add(helpMenu_, "About1", tr("&About")), &QAction::triggered, this,
          [this] { userAction([this] { state_.About1Click(); }); });
  connect(add(helpMenu_, "CheckConnection1", tr("&Check connection...")), &QAction::triggered, this,
          [this] { userAction([this] { CheckConnectionClick(); }); });
  connect(add(helpMenu_, "SaveSupportFile1", tr("&Save support file...")), &QAction::triggered,
          this, [this] { userAction([this] { SaveSupportFileClick(); }); });
  QAction* guide = add(helpMenu_, "UserGuide", tr("&User's guide"));
  guide->setShortcut(QKeySequence::HelpContents);
  connect(guide, &QAction::triggered, this, &TForm1::showUserGuide);

  // The Preview and Print button's shortcut, in reach wherever the focus is.
  auto* print = new QAction(tr("Preview and Print"), this);
  print->setObjectName("PreviewShortcut");
  print->setShortcut(QKeySequence::Print);
  addAction(print);
  connect(print, &QAction::triggered, this, [this] { userAction([this] { PreviewClick(); }); });
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
  // As wide as its longest text would be, within reason; a name under a tone column is as
  // wide as the column, and a text as long as a line (the OTA kill message) shows whole.
  const QFontMetrics metrics = edit->fontMetrics();
  if (schema.maxLength > 32) {
    // As wide as that many capitals of average width, with the frame and text margins.
    const QString capitals = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const int width = metrics.horizontalAdvance(capitals) * schema.maxLength / 26;
    edit->setFixedWidth(width + 12);
  } else {
    const bool toneName = schema.name.starts_with("Capcode") && !schema.name.ends_with("Name");
    const int columns = toneName ? 8 : std::clamp(schema.maxLength, 1, 11);
    edit->setFixedWidth(metrics.horizontalAdvance(QLatin1Char('0')) * columns + 12);
  }
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
    case FieldKind::Check: static_cast<QCheckBox*>(widget)->setChecked(record.checked(f)); break;
  }
  // The pager number sits outside the pages but is locked with them.
  static const FieldId pagerNumber = SettingsRecord::id("TxtPagerNumber");
  widget->setEnabled(record.enabled(f) && (f != pagerNumber || state_.window().pagesEditable));
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
  logTimes_.push_back(QDateTime::currentDateTime());
  log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

HistoryDialog* TForm1::HistoryClick(int pageRows) {
  if (history_ && history_->isVisible()) {
    history_->reload();
  } else {
    delete history_;
    history_ = new HistoryDialog(
        state_, [this](const std::function<void()>& action) { userAction(action); }, this,
        pageRows);
  }
  history_->show();
  history_->raise();
  history_->activateWindow();
  return history_;
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
  // Locked pages stay shown and can still be turned to; their controls are greyed.
  for (int i = 0; i < pages_->count(); ++i) pages_->widget(i)->setEnabled(w.pagesEditable);
  showField(SettingsRecord::id("TxtPagerNumber"));
  progress_->setVisible(w.progressVisible);
  progress_->setMaximum(w.progressMaximum);
  progress_->setValue(w.progressPosition);
  stop_->setVisible(w.stopVisible);
  infoRWPager_->setText(fromBytes(w.infoRWPagerText));
  infoRWPager_->setVisible(w.infoRWPagerVisible);
  repairNotice_->setText(fromBytes(w.repairNoticeText));
  repairNotice_->setVisible(!w.repairNoticeText.empty());
  pagerList_->setText(fromBytes(w.pagerListText));
  pagerList_->setVisible(!w.pagerListText.empty());
  unloadPagerList_->setVisible(state_.pagerListLoaded());
  if (comClock_) {
    if (w.comClockRunning != comClock_->isActive())
      w.comClockRunning ? comClock_->start() : comClock_->stop();
    if (w.watchSerialRunning != watchSerial_->isActive())
      w.watchSerialRunning ? watchSerial_->start() : watchSerial_->stop();
  }
  setAcceptDrops(w.acceptsDroppedFiles);
  if (history_) history_->showWindowState();
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
  // A line of the status log tells the time it arrived in its tooltip.
  if (log_ && watched == log_->viewport() && event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int line = log_->cursorForPosition(help->pos()).blockNumber();
    if (line >= 0 && line < static_cast<int>(logTimes_.size()))
      QToolTip::showText(help->globalPos(),
                         logTimes_[static_cast<std::size_t>(line)].toString(Qt::ISODate), log_);
    else
      QToolTip::hideText();
    return true;
  }
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

void TForm1::showLogMenu(const QPoint& position) {
  QMenu menu(log_);
  QAction* copy = menu.addAction(tr("&Copy"), log_, &QPlainTextEdit::copy);
  copy->setObjectName("logCopy");
  copy->setShortcut(QKeySequence::Copy);
  copy->setEnabled(log_->textCursor().hasSelection());
  menu.addAction(tr("Select &All"), log_, &QPlainTextEdit::selectAll);
  menu.addSeparator();
  menu.addAction(tr("Save log..."), this, &TForm1::saveLog)->setObjectName("logSave");
  menu.exec(log_->viewport()->mapToGlobal(position));
}

// The log's lines as they are, one per line, saved under the same policy as every other
// file the program writes.
void TForm1::saveLog() {
  const QString name = QFileDialog::getSaveFileName(this, tr("Save log"), QString(),
                                                    tr("Text files (*.txt);;All files (*)"));
  if (name.isEmpty()) return;
  std::string content;
  for (const std::string& line : state_.log().lines()) content += line + '\n';
  const FileOutcome saved = saveFileAtomically(QFile::encodeName(name).toStdString(), content);
  if (!saved) showError(tr("The log was not saved: %1").arg(logText(describe(saved.error()))));
}

namespace {

// The user's guide: installed beside the program (share/doc/palor-programmer or
// share/palor-programmer under the prefix), or in the source tree of a build tree.
QString userGuidePath() {
  const QString prefix = QCoreApplication::applicationDirPath() + "/../share/";
  QStringList candidates{prefix + "doc/palor-programmer/user-guide.md",
                         prefix + "palor-programmer/user-guide.md"};
#ifdef PALOR_SOURCE_DIR
  candidates << QStringLiteral(PALOR_SOURCE_DIR "/docs/user-guide.md");
#endif
  for (const QString& candidate : candidates)
    if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
  return {};
}

}  // namespace

void TForm1::showUserGuide() {
  if (!userGuide_) {
    userGuide_ = new QDialog(this, Qt::Window);
    userGuide_->setObjectName("userGuide");
    userGuide_->setWindowTitle(tr("User's guide"));
    auto* layout = new QVBoxLayout(userGuide_);
    auto* browser = new QTextBrowser(userGuide_);
    browser->setObjectName("userGuideText");
    browser->setAccessibleName(tr("User's guide"));
    browser->setOpenExternalLinks(true);
    const QString path = userGuidePath();
    if (path.isEmpty()) {
      browser->setPlainText(tr("The user's guide (user-guide.md) is not installed."));
    } else {
      // The guide's folder is searched for its pictures.
      browser->setSearchPaths({QFileInfo(path).absolutePath()});
      browser->setSource(QUrl::fromLocalFile(path), QTextDocument::MarkdownResource);
    }
    layout->addWidget(browser);
    userGuide_->resize(760, 640);
  }
  userGuide_->show();
  userGuide_->raise();
  userGuide_->activateWindow();
}

}  // namespace palor
