// SPDX-License-Identifier: GPL-3.0-or-later
// Help / Check connection...: the connection doctor's report in a dialog that can copy it;
// Help / Save support file...: the support file, with the window's status log and trace.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <ctime>

#include "doctor/doctor.h"
#include "doctor/support_file.h"
#include "files/tar_gz.h"
#include "palor_version.h"
#include "ui/messages.h"
#include "ui/view/tform1.h"

namespace palor {

void TForm1::examineThen(std::function<void(const doctor::Findings&)> show) {
  if (examining_) return;
  examining_ = true;
  if (doctorWorker_.joinable()) doctorWorker_.join();  // the last run, already ended
  const doctor::Request request{.own = doctor::ownConnectionOf(state_)};
  QApplication::setOverrideCursor(Qt::BusyCursor);
  const QPointer<TForm1> self(this);
  doctorWorker_ = std::jthread([self, request, show = std::move(show)] {
    doctor::Findings findings = doctor::examine(request);
    QMetaObject::invokeMethod(
        qApp,
        [self, show, findings = std::move(findings)] {
          QApplication::restoreOverrideCursor();
          if (!self) return;
          self->examining_ = false;
          show(findings);
        },
        Qt::QueuedConnection);
  });
}

void TForm1::CheckConnectionClick() {
  examineThen([this](const doctor::Findings& findings) { showDoctorReport(findings); });
}

void TForm1::showDoctorReport(const doctor::Findings& findings) {
  const QString report = QString::fromStdString(doctor::formatReport(findings));

  QDialog dialog(this);
  dialog.setObjectName("CheckConnection");
  dialog.setWindowTitle(tr("Check connection"));
  auto* text = new QPlainTextEdit(report, &dialog);
  text->setObjectName("DoctorReport");
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QPushButton* copy = buttons->addButton(tr("&Copy"), QDialogButtonBox::ActionRole);
  copy->setObjectName("CopyReport");
  connect(copy, &QPushButton::clicked, &dialog,
          [report] { QApplication::clipboard()->setText(report); });
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text);
  layout->addWidget(buttons);
  dialog.resize(900, 420);
  dialog.exec();
}

void TForm1::SaveSupportFileClick() {
  const QString path = QFileDialog::getSaveFileName(
      this, tr("Save support file"), "palor-support.tar.gz", tr("Support file (*.tar.gz)"));
  if (path.isEmpty()) return;
  examineThen([this, path](const doctor::Findings& findings) { saveSupportFile(path, findings); });
}

bool TForm1::saveSupportFile(const QString& path) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const doctor::Findings findings = doctor::examine({.own = doctor::ownConnectionOf(state_)});
  QApplication::restoreOverrideCursor();
  return saveSupportFile(path, findings);
}

bool TForm1::saveSupportFile(const QString& path, const doctor::Findings& report) {
  doctor::SupportContents contents;
  contents.program = std::string("palor-programmer ") + kVersion;
  contents.toolkit = std::string("Qt ") + qVersion();
  for (const std::string& line : state_.log().lines()) contents.statusLog += line + '\n';
  contents.trace = trace_.text();
  contents.records = doctor::recentRecords(state_.records());
  const std::string file = QFile::encodeName(path).toStdString();
  const bool saved = static_cast<bool>(
      saveTarGz(file, doctor::supportMembers(state_, report, contents), std::time(nullptr)));
  state_.log().append(saved ? msg::savedDataTo(file) : std::string(msg::kSaveFailed));
  return saved;
}

}  // namespace palor
