// SPDX-License-Identifier: GPL-3.0-or-later
// The window's customer report: Preview and Print.
#include <QFile>

#include "report/view/report_preview.h"
#include "ui/messages.h"
#include "ui/view/tform1.h"

namespace palor {

void TForm1::PreviewClick() {
  report_.fill(state_.record());
  showReportPreview(this, report_, [this](const QString& path, bool written) {
    state_.log().append(written ? msg::savedDataTo(QFile::encodeName(path).toStdString())
                                : std::string(msg::kSaveFailed));
  });
}

}  // namespace palor
