// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/view/history_dialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace palor {
namespace {

QString text(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

const char* imageName(RecordImage which) {
  return which == RecordImage::Before ? "before" : "written";
}

}  // namespace

HistoryModel::HistoryModel(RecordHistory& history, QObject* parent)
    : QAbstractTableModel(parent), history_(history) {}

int HistoryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(history_.rows());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kHistoryColumns;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  return text(historyCell(history_.row(static_cast<std::size_t>(index.row())),
                          static_cast<HistoryColumn>(index.column())));
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= kHistoryColumns) return {};
  return text(historyColumnTitle(static_cast<HistoryColumn>(section)));
}

bool HistoryModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && history_.canFetchMore();
}

void HistoryModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid()) return;
  std::vector<records::HistoryEntry> page = history_.nextPage();
  if (page.empty()) return;
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
  history_.append(std::move(page));
  endInsertRows();
}

void HistoryModel::setFilter(const QString& filter) {
  beginResetModel();
  history_.setFilter(filter.toStdString());
  endResetModel();
}

void HistoryModel::reload() {
  beginResetModel();
  history_.reload();
  endResetModel();
}

HistoryDialog::HistoryDialog(FormState& state, UserAction run, QWidget* parent, int pageRows)
    : QDialog(parent), state_(state), run_(std::move(run)), history_(state.records(), pageRows) {
  setObjectName("History");
  setWindowTitle(tr("History"));
  model_ = new HistoryModel(history_, this);

  auto* filterLabel = new QLabel(tr("&Filter:"), this);
  filter_ = new QLineEdit(this);
  filter_->setObjectName("historyFilter");
  filter_->setPlaceholderText(tr("capcode, serial, pager number or any text"));
  filter_->setClearButtonEnabled(true);
  filter_->setAccessibleName(tr("Filter"));
  filterLabel->setBuddy(filter_);
  count_ = new QLabel(this);
  count_->setObjectName("historyCount");
  auto* filterLine = new QHBoxLayout;
  filterLine->addWidget(filterLabel);
  filterLine->addWidget(filter_, 1);
  filterLine->addWidget(count_);

  table_ = new QTableView(this);
  table_->setObjectName("historyTable");
  table_->setAccessibleName(tr("Records"));
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setAlternatingRowColors(true);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  // Each column as wide as its longest text or its heading; the addresses take the rest,
  // and a cell too narrow for its text shows it whole in its tooltip.
  QHeaderView* header = table_->horizontalHeader();
  const QFontMetrics metrics = table_->fontMetrics();
  const QFontMetrics headerMetrics = header->fontMetrics();
  const char* widest[kHistoryColumns] = {
      "2026-12-01 10:22:05", "repair-write", "timed-out", "00000000", "00000000", "", "desk-name"};
  for (int c = 0; c < kHistoryColumns; ++c) {
    const QString heading = model_->headerData(c, Qt::Horizontal).toString();
    table_->setColumnWidth(c, std::max(metrics.horizontalAdvance(QLatin1String(widest[c])),
                                       headerMetrics.horizontalAdvance(heading)) +
                                  24);
  }
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setSectionResizeMode(static_cast<int>(HistoryColumn::Addresses), QHeaderView::Stretch);

  problem_ = new QLabel(this);
  problem_->setObjectName("historyProblem");
  problem_->setWordWrap(true);
  problem_->setAlignment(Qt::AlignCenter);
  problem_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  problem_->setFocusPolicy(Qt::StrongFocus);
  problem_->setAccessibleName(tr("Records unavailable"));
  pages_ = new QStackedWidget(this);
  pages_->addWidget(table_);
  pages_->addWidget(problem_);

  auto button = [this](const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
  };
  openBefore_ = button("historyOpenBefore", tr("&Open before"));
  compareBefore_ = button("historyCompareBefore", tr("&Compare before"));
  saveBefore_ = button("historySaveBefore", tr("&Save before as..."));
  openWritten_ = button("historyOpenWritten", tr("Open &written"));
  compareWritten_ = button("historyCompareWritten", tr("Compare w&ritten"));
  saveWritten_ = button("historySaveWritten", tr("Save written &as..."));
  restore_ = button("historyRestore", tr("Restore to &pager..."));
  openBefore_->setToolTip(tr("Open the image the pager held before into the window"));
  openWritten_->setToolTip(tr("Open the image written (or read) into the window"));
  compareBefore_->setToolTip(
      tr("List the fields in which the image before differs from the window"));
  compareWritten_->setToolTip(
      tr("List the fields in which the image written differs from the window"));
  restore_->setToolTip(
      tr("Write the image the pager held before back to the pager in the charger"));
  auto* actions = new QGridLayout;
  actions->addWidget(openBefore_, 0, 0);
  actions->addWidget(compareBefore_, 0, 1);
  actions->addWidget(saveBefore_, 0, 2);
  actions->addWidget(openWritten_, 1, 0);
  actions->addWidget(compareWritten_, 1, 1);
  actions->addWidget(saveWritten_, 1, 2);
  actions->addWidget(restore_, 0, 4, 2, 1);
  actions->setColumnStretch(3, 1);

  differencesTitle_ = new QLabel(tr("Compare lists the fields that differ here."), this);
  differencesTitle_->setObjectName("historyDifferencesTitle");
  differences_ = new QListWidget(this);
  differences_->setObjectName("historyDifferences");
  differences_->setAccessibleName(tr("Fields that differ"));
  differences_->setMaximumHeight(metrics.height() * 8);
  differencesTitle_->setBuddy(differences_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filterLine);
  layout->addWidget(pages_, 1);
  layout->addLayout(actions);
  layout->addWidget(differencesTitle_);
  layout->addWidget(differences_);
  layout->addWidget(buttons);
  resize(860, 560);

  filterPause_ = new QTimer(this);
  filterPause_->setSingleShot(true);
  filterPause_->setInterval(300);
  const auto applyFilter = [this] {
    filterPause_->stop();
    model_->setFilter(filter_->text());
    showCount();
    updateActions();
  };
  connect(filter_, &QLineEdit::textChanged, filterPause_, qOverload<>(&QTimer::start));
  connect(filterPause_, &QTimer::timeout, this, applyFilter);
  connect(filter_, &QLineEdit::returnPressed, this, applyFilter);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { updateActions(); });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { updateActions(); });
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { showCount(); });
  connect(openBefore_, &QPushButton::clicked, this, [this] { openImage(RecordImage::Before); });
  connect(openWritten_, &QPushButton::clicked, this, [this] { openImage(RecordImage::Written); });
  connect(compareBefore_, &QPushButton::clicked, this, [this] { compare(RecordImage::Before); });
  connect(compareWritten_, &QPushButton::clicked, this, [this] { compare(RecordImage::Written); });
  connect(saveBefore_, &QPushButton::clicked, this, [this] { saveImage(RecordImage::Before); });
  connect(saveWritten_, &QPushButton::clicked, this, [this] { saveImage(RecordImage::Written); });
  connect(restore_, &QPushButton::clicked, this, [this] { restore(); });

  showCount();
  updateActions();
}

void HistoryDialog::reload() {
  // The selected record stays selected when it is still among the rows loaded.
  const records::HistoryEntry* entry = selectedEntry();
  const std::int64_t selected = entry ? entry->record.id : 0;
  model_->reload();
  for (std::size_t row = 0; selected != 0 && row < history_.rows(); ++row)
    if (history_.row(row).record.id == selected) table_->selectRow(static_cast<int>(row));
  showCount();
  updateActions();
}

void HistoryDialog::showCount() {
  const bool shown = !history_.problem();
  pages_->setCurrentWidget(shown ? static_cast<QWidget*>(table_) : problem_);
  problem_->setText(shown ? QString() : text(*history_.problem()));
  filter_->setEnabled(shown);
  if (!shown) {
    count_->clear();
    return;
  }
  count_->setText(
      history_.total() == 1
          ? tr("1 record")
          : tr("%1 records").arg(QLocale().toString(static_cast<qlonglong>(history_.total()))));
}

const records::HistoryEntry* HistoryDialog::selectedEntry() const {
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty() || history_.problem()) return nullptr;
  const auto row = static_cast<std::size_t>(rows.front().row());
  return row < history_.rows() ? &history_.row(row) : nullptr;
}

std::optional<records::ProgrammingRecord> HistoryDialog::selectedRecord() {
  const QModelIndexList rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return std::nullopt;
  std::optional<records::ProgrammingRecord> record =
      history_.record(static_cast<std::size_t>(rows.front().row()));
  if (!record) showCount();  // the store failed: the dialog says why
  return record;
}

void HistoryDialog::showWindowState() {
  updateActions();
  // A restore ends when the window is no longer busy; the write that follows its read
  // starts within the same tick, so the test waits for that tick to end.
  if (restoring_ && state_.window().fileMenuEnabled)
    QTimer::singleShot(0, this, [this] {
      if (restoring_ && state_.window().fileMenuEnabled) restoreEnded();
    });
}

void HistoryDialog::updateActions() {
  const MainWindowState& w = state_.window();
  const records::HistoryEntry* entry = selectedEntry();
  const bool before = entry && entry->hasBefore;
  const bool written = entry && entry->hasImage;
  // Opening changes the window, restoring uses the pager: neither while a read or write runs.
  const bool idle = w.fileMenuEnabled && !restoring_;
  openBefore_->setEnabled(before && idle);
  openWritten_->setEnabled(written && idle);
  compareBefore_->setEnabled(before);
  compareWritten_->setEnabled(written);
  saveBefore_->setEnabled(before);
  saveWritten_->setEnabled(written);
  restore_->setEnabled(before && idle && w.readFromPagerEnabled);
}

void HistoryDialog::openImage(RecordImage which) {
  const std::optional<records::ProgrammingRecord> record = selectedRecord();
  if (!record) return;
  run_([&] { state_.OpenRecordImage(*record, which); });
}

void HistoryDialog::compare(RecordImage which) {
  const std::optional<records::ProgrammingRecord> record = selectedRecord();
  if (!record) return;
  differences_->clear();
  RecordComparison comparison;
  run_([&] { comparison = compareWithWindow(*record, which, state_); });
  const QString image =
      which == RecordImage::Before ? tr("the image before") : tr("the image written");
  if (comparison.problem) {
    differencesTitle_->setText(tr("Record %1, %2: cannot be compared.").arg(record->id).arg(image));
    differences_->addItem(text(*comparison.problem));
    return;
  }
  const auto n = static_cast<int>(comparison.differences.size());
  differencesTitle_->setText(
      n == 0   ? tr("Record %1, %2: no field differs from the window.").arg(record->id).arg(image)
      : n == 1 ? tr("Record %1, %2: 1 field differs (record | window):").arg(record->id).arg(image)
               : tr("Record %1, %2: %3 fields differ (record | window):")
                     .arg(record->id)
                     .arg(image)
                     .arg(n));
  for (const FieldDifference& difference : comparison.differences) {
    const std::string line = differenceLine(difference);
    differences_->addItem(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
  }
}

void HistoryDialog::saveImage(RecordImage which) {
  const std::optional<records::ProgrammingRecord> record = selectedRecord();
  if (!record) return;
  const QString suggested =
      QStringLiteral("record-%1-%2.bin").arg(record->id).arg(imageName(which));
  const QString path = QFileDialog::getSaveFileName(this, tr("Save image"), suggested,
                                                    tr("Image files (*.bin *.eep)"));
  if (path.isEmpty()) return;
  run_([&] {
    saveRecordImage(*record, which, QFile::encodeName(path).toStdString(), state_.log());
  });
}

void HistoryDialog::restore() {
  std::optional<records::ProgrammingRecord> record = selectedRecord();
  if (!record) return;
  const QString pager =
      record->pagerNumber.empty() ? tr("the pager") : tr("pager %1").arg(text(record->pagerNumber));
  const auto answer = QMessageBox::question(
      this, tr("Restore to pager"),
      tr("Write back what %1 held before record %2, hardware included, to the pager in the "
         "charger?\n\nThe pager in the charger is read first; it must be the one the record "
         "wrote.")
          .arg(pager)
          .arg(record->id),
      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes) return;
  restoring_ = PendingRestore{std::move(*record), state_.log().lines().size()};
  run_([this] { state_.RestoreToPagerClick(restoring_->record, false); });
  updateActions();
  showWindowState();
}

void HistoryDialog::restoreEnded() {
  PendingRestore ended = std::move(*restoring_);
  restoring_.reset();
  reload();
  if (!restoreRefusedForOtherPager(state_.log(), ended.logLines, ended.record.id)) return;
  QMessageBox box(QMessageBox::Warning, tr("Restore to pager"),
                  tr("The pager in the charger is not the one record %1 wrote: it does not hold "
                     "the image written.\n\nRestore anyway, writing over whatever the pager in "
                     "the charger holds?")
                      .arg(ended.record.id),
                  QMessageBox::Cancel, this);
  box.setObjectName("historyForceRestore");
  QPushButton* force = box.addButton(tr("Restore &anyway"), QMessageBox::DestructiveRole);
  box.setDefaultButton(QMessageBox::Cancel);
  box.exec();
  if (box.clickedButton() != force) return;
  restoring_ = PendingRestore{std::move(ended.record), state_.log().lines().size()};
  run_([this] { state_.RestoreToPagerClick(restoring_->record, true); });
  updateActions();
  showWindowState();
}

}  // namespace palor
