// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File / History...: the programming records in a table, newest first, narrowed by a
// filter box and loaded a page at a time as the table is scrolled; per selected record its
// image before or written opened into the window, compared with the window, saved as a
// file, or restored to the pager in the charger. What to show and what each action does
// come from the headless history (ui/record_history.h) and the form state; the dialog shows
// and forwards.
#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <optional>

#include "ui/record_history.h"
#include "ui/vendrel.h"

class QLabel;
class QLineEdit;
class QTimer;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTableView;

namespace palor {

// The records as a table model: rows as the history has loaded them, more as the view
// asks for them.
class HistoryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit HistoryModel(RecordHistory& history, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  // The filter box's text: the rows start again from the first page.
  void setFilter(const QString& text);
  void reload();

 private:
  RecordHistory& history_;
};

class HistoryDialog : public QDialog {
  Q_OBJECT

 public:
  // Runs an action of the dialog on the form state as the window runs its own user actions.
  using UserAction = std::function<void(const std::function<void()>&)>;

  HistoryDialog(FormState& state, UserAction run, QWidget* parent,
                int pageRows = RecordHistory::kPageRows);

  HistoryModel* model() { return model_; }
  // The window's state changed: the actions that touch the window or the pager follow it,
  // and a restore that ended refused for another pager may be offered again with force.
  void showWindowState();
  // Reads the records again (the dialog opened once more, or a record was added).
  void reload();

 private:
  // The record of the selected row, with its images; none without a selection.
  std::optional<records::ProgrammingRecord> selectedRecord();
  const records::HistoryEntry* selectedEntry() const;
  void updateActions();
  void showCount();
  void openImage(RecordImage which);
  void compare(RecordImage which);
  void saveImage(RecordImage which);
  void restore();
  void restoreEnded();

  FormState& state_;
  UserAction run_;
  RecordHistory history_;
  HistoryModel* model_ = nullptr;
  QStackedWidget* pages_ = nullptr;  // the table, or what says why there is none
  QLabel* problem_ = nullptr;
  QLineEdit* filter_ = nullptr;
  // A text search reads every record (a good part of a second on 100,000): the filter
  // applies once typing pauses, or at once on Enter.
  QTimer* filterPause_ = nullptr;
  QLabel* count_ = nullptr;
  QTableView* table_ = nullptr;
  QPushButton* openBefore_ = nullptr;
  QPushButton* openWritten_ = nullptr;
  QPushButton* compareBefore_ = nullptr;
  QPushButton* compareWritten_ = nullptr;
  QPushButton* saveBefore_ = nullptr;
  QPushButton* saveWritten_ = nullptr;
  QPushButton* restore_ = nullptr;
  QLabel* differencesTitle_ = nullptr;
  QListWidget* differences_ = nullptr;
  // The restore in hand: its record, and the status log's length when it began.
  struct PendingRestore {
    records::ProgrammingRecord record;
    std::size_t logLines = 0;
  };
  std::optional<PendingRestore> restoring_;
};

}  // namespace palor
