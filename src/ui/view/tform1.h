// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TForm1: the main window. It shows the form state and forwards every user action to it:
// typed characters to the key rules, edits to the change rules, leaving a field to its
// exit rule, picks and clicks to the list and check rules. The form state decides; the
// widgets show.
#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "doctor/doctor.h"
#include "report/printrp.h"
#include "ui/record_history.h"
#include "ui/trace_ring.h"
#include "ui/vendrel.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTextBrowser;
class QTimer;

namespace palor {

class HistoryDialog;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `openFile`, a file named on the command line, is opened at the end of start-up as
  // File / Open opens a chosen file; empty: none.
  explicit TForm1(QWidget* parent = nullptr, const std::string& openFile = {});
  ~TForm1() override;

  FormState& state() { return state_; }

  // The Preview button: fills the report form from the window and opens its print
  // preview; returns when the preview is closed.
  void PreviewClick();
  const TPrintReport& report() const { return report_; }

  // Help / Check connection...: runs the connection doctor in the background, the window
  // staying in use, then shows its report in a dialog that can copy it.
  void CheckConnectionClick();
  // Help / Save support file...: asks for the archive's name, runs the doctor in the
  // background, then saves the support file.
  void SaveSupportFileClick();
  // The support file at `path`: versions, the doctor's report, the status log, the trace
  // ring and the configuration in the window without its password. "Saved data to " +
  // path, or "Save failed", in the status log.
  bool saveSupportFile(const QString& path);
  // File / History...: the programming records in a dialog of their own (one at a time:
  // opened again, it reads the records again), `pageRows` records at a time.
  HistoryDialog* HistoryClick(int pageRows = RecordHistory::kPageRows);

  // Whether the doctor runs in the background now.
  bool examining() const { return examining_; }
  // The last frames sent and received, with their times since the window was made.
  const TraceRing& trace() const { return trace_; }

  // The widget that shows a field; its objectName is the field's name.
  QWidget* widgetFor(FieldId field) const { return widgets_[toIndex(field)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildMenu();
  QWidget* buildCustomerStrip();
  QWidget* buildAddressesPage();
  QWidget* buildFoldersPage();
  QWidget* buildSettingsPage();
  QWidget* buildHardwarePage();

  // Makes the widget of a field, bound to the record both ways.
  QWidget* makeFieldWidget(FieldId field);
  QLineEdit* makeLineEdit(FieldId field);
  QComboBox* makeComboBox(FieldId field);
  QCheckBox* makeCheckBox(FieldId field);
  // A label for the field whose visibility follows the field's.
  QLabel* makeFieldLabel(FieldId field, const QString& text);
  // Adds "label: widget [unit]" of a field to a grid at (row, column*3).
  void addLabelled(QGridLayout* grid, int row, int column, const char* name);
  // Gives a field's widget the label as its buddy and the label's text as its spoken name.
  void nameByLabel(FieldId field, QLabel* label);

  // Shows the record's state of one field in its widget.
  void showField(FieldId field);
  void showWindowState();
  void makeLinkTimers();
  void watchDevices();
  void appendLogLine(const QString& line);
  // The status log's context menu: Copy and "Save log...".
  void showLogMenu(const QPoint& position);
  void saveLog();
  // Help / "User's guide" (F1): the guide in a window of its own.
  void showUserGuide();
  // Runs the doctor on a worker thread (the window's own port is reported from its own
  // connection, not probed again), then `show` with its findings on the window's thread.
  // One run at a time: while one runs, another request is ignored.
  void examineThen(std::function<void(const doctor::Findings&)> show);
  void showDoctorReport(const doctor::Findings& findings);
  bool saveSupportFile(const QString& path, const doctor::Findings& findings);
  // The screen-reader names of the controls, the labels' buddies and the pages' tab order.
  void nameControls();
  // Runs a user action on the form state: a conversion error ends it with the toolkit's
  // error box; afterwards a focus request of the rules is carried out.
  template <typename Action>
  void userAction(Action action);
  void showError(const QString& text);
  // The Open or Save dialog; nothing when the user cancels.
  std::optional<std::string> askFileName(bool save);

  FormState state_;
  TraceRing trace_;
  QElapsedTimer traceClock_;  // the times of the trace, from the window's making
  TPrintReport report_;       // the report form, made with the window and living as long
  std::vector<QWidget*> widgets_;
  std::vector<std::vector<QLabel*>> labels_;  // labels that follow a field's visibility
  QTabWidget* pages_ = nullptr;
  QWidget* hardwarePage_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  QSplitter* splitter_ = nullptr;    // the pages above, the status log below
  std::vector<QDateTime> logTimes_;  // when each line of the status log arrived
  QLabel* repairNotice_ = nullptr;
  QLabel* pagerList_ = nullptr;  // "Row 3 of 20: pager 00000102" while a list is loaded
  QAction* unloadPagerList_ = nullptr;
  QWidget* userGuide_ = nullptr;
  HistoryDialog* history_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* stop_ = nullptr;
  QLabel* infoRWPager_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QAction* connectPager_ = nullptr;
  QAction* writeToPager_ = nullptr;
  QAction* readFromPager_ = nullptr;
  QAction* repair_ = nullptr;
  QTimer* comClock_ = nullptr;     // Com_clock, 40 ms: the protocol tick
  QTimer* watchSerial_ = nullptr;  // watch_serial, 500 ms: the connection watch
  bool leaving_ = false;           // an exit rule is running: focus changes it makes are not exits
  bool examining_ = false;         // the doctor's worker runs
  // The doctor's checks and probes, off the window's thread; its end is handed to the
  // window's thread. Joined before the rest of the window goes.
  std::jthread doctorWorker_;
};

// Texts cross between the record (bytes) and the widgets (Unicode) as Latin-1, which is
// lossless for all 256 byte values.
QString fromBytes(std::string_view bytes);
// Nothing when the text holds a character above U+00FF, which no byte can stand for.
std::optional<std::string> toBytes(const QString& text);

}  // namespace palor
