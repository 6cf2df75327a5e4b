// Help / Check connection...: the connection doctor's report in a dialog that can copy it.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "doctor/doctor.h"
#include "ui/view/tform1.h"

namespace palor {

void TForm1::CheckConnectionClick() {
  // The probes take a few seconds; the window's own port is not probed again.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const doctor::Findings findings = doctor::examine({.own = doctor::ownConnectionOf(state_)});
  QApplication::restoreOverrideCursor();
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

}  // namespace palor
