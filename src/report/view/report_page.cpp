// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/view/report_page.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

#include "files/atomic_file.h"

namespace palor {
namespace {

// DejaVu Sans has the check mark and the cross; Debian always installs it.
constexpr const char* kFontFamily = "DejaVu Sans";
constexpr double kTitlePoints = 14;
constexpr double kHeadingPoints = 10;
constexpr double kBodyPoints = 8;
constexpr double kSmallestPoints = 4;  // a text too wide for its box shrinks down to this

// Vertical measures, in millimetres.
constexpr double kLine = 5.0;         // one line of labels
constexpr double kHeadingLine = 6.5;  // a section heading with the space below it
constexpr double kSectionGap = 2.0;   // between a rule and the next section
constexpr double kAddressGap = 0.9;   // between the two-line entries of the addresses
constexpr double kFolderLine = 5.2;
constexpr double kCaptionGap = 1.2;  // between a right-aligned caption and its value
constexpr double kFitMargin = 1.0;   // left free in a box whose text had to be made smaller

QFont reportFont(double points, bool bold = false) {
  QFont font(QString::fromLatin1(kFontFamily));
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

QString qtext(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The page in millimetres from the top left corner inside the margins: the one place where
// millimetres become device units. The painter is never scaled, so fonts keep their points.
// The toolkit puts the painter's origin at the paint rectangle in whole points (14 pt for
// 5 mm); the page starts at the exact margin instead.
class Page {
 public:
  Page(QPainter& painter, const QPageLayout& layout, std::vector<DrawnText>* drawn = nullptr)
      : painter_(painter),
        drawn_(drawn),
        dotsPerMmX_(painter.device()->logicalDpiX() / 25.4),
        dotsPerMmY_(painter.device()->logicalDpiY() / 25.4) {
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    const QRect origin = layout.paintRectPixels(painter.device()->logicalDpiX());
    width_ = layout.fullRect(QPageLayout::Millimeter).width() - margins.left() - margins.right();
    left_ = margins.left() * dotsPerMmX_ - origin.left();
    top_ = margins.top() * dotsPerMmY_ - origin.top();
  }

  double width() const { return width_; }

  QRectF box(double x, double y, double w, double h) const {
    return {left_ + x * dotsPerMmX_, top_ + y * dotsPerMmY_, w * dotsPerMmX_, h * dotsPerMmY_};
  }

  double textWidth(const QFont& font, const QString& text) const {
    return QFontMetricsF(font, painter_.device()).horizontalAdvance(text) / dotsPerMmX_;
  }
  double textWidth(const QFont& font, std::string_view utf8) const {
    return textWidth(font, qtext(utf8));
  }

  // One line of text in the box (x, y, w, kLine), vertically centred. A text wider than its
  // box is drawn smaller so that it fits with kFitMargin to spare, so that it never runs
  // into the text of the next box; at the smallest size it is shortened with an ellipsis.
  // The font's width does not shrink in proportion to its size on a coarse device (glyphs
  // are fitted to whole dots), so the size is measured again until the text fits.
  void text(double x, double y, double w, const QString& text, const QFont& font,
            Qt::Alignment align = Qt::AlignLeft, double h = kLine) {
    if (text.isEmpty() || w <= 0) return;
    QFont fitted = font;
    QString shown = text;
    const double needed = textWidth(font, text);
    if (needed > w) {
      const double room = std::max(w - kFitMargin, w / 2);
      double points = std::max(kSmallestPoints, font.pointSizeF() * room / needed);
      fitted.setPointSizeF(points);
      while (points > kSmallestPoints && textWidth(fitted, text) > room) {
        points = std::max(kSmallestPoints, points * 0.97);
        fitted.setPointSizeF(points);
      }
      if (textWidth(fitted, text) > room)
        shown = QFontMetricsF(fitted, painter_.device())
                    .elidedText(text, Qt::ElideRight, room * dotsPerMmX_);
    }
    painter_.setFont(fitted);
    const QRectF where = box(x, y, w, h);
    QRectF drawn;
    painter_.drawText(where, static_cast<int>(align | Qt::AlignVCenter | Qt::TextSingleLine), shown,
                      &drawn);
    if (drawn_) drawn_->push_back({shown, where, drawn});
  }
  void text(double x, double y, double w, std::string_view utf8, const QFont& font,
            Qt::Alignment align = Qt::AlignLeft) {
    text(x, y, w, qtext(utf8), font, align);
  }

  // A horizontal rule over the full width.
  void rule(double y) {
    painter_.save();
    painter_.setPen(QPen(Qt::black, 0.25 * dotsPerMmY_));
    const QRectF line = box(0, y, width_, 0);
    painter_.drawLine(line.topLeft(), line.topRight());
    painter_.restore();
  }

 private:
  QPainter& painter_;
  std::vector<DrawnText>* drawn_;
  double dotsPerMmX_;
  double dotsPerMmY_;
  double width_;
  double left_;  // device units from the painter's origin to the margin
  double top_;
};

// Title band: the title centred, then the serial and pager numbers. Returns the y below it.
double paintTitleBand(Page& page, const TPrintReport& report) {
  page.text(0, 0, page.width(), qtext(kReportTitle), reportFont(kTitlePoints, true),
            Qt::AlignHCenter, 8);
  const QFont body = reportFont(kBodyPoints);
  auto pair = [&](double x, std::string_view caption, const ReportLabel& value) {
    const double w = page.textWidth(body, caption);
    page.text(x, 10, w, caption, body);
    page.text(x + w + kCaptionGap, 10, page.width() / 2 - w - kCaptionGap, value.text, body);
  };
  pair(0, kReportSerialCaption, report.serial());
  pair(page.width() / 2, kReportPagerNumberCaption, report.pagerNumber());
  return 16;
}

// Addresses: a header row, then two lines per address.
double paintAddresses(Page& page, const TPrintReport& report, double y) {
  page.text(0, y, page.width(), qtext(kReportAddressesHeading), reportFont(kHeadingPoints, true));
  y += kHeadingLine;

  // Columns (x, width): number, check, PN, permission, message type; then per tone its
  // format and urgent-call mark, the tone's name below both.
  constexpr double kCheckX = 7, kPnX = 12, kPermissionX = 29, kMsgTypeX = 50, kTonesX = 68;
  const double toneWidth = (page.width() - kTonesX) / 4;
  const double toneFormatWidth = toneWidth * 0.68;
  auto toneX = [&](std::size_t t) { return kTonesX + static_cast<double>(t) * toneWidth; };

  const QFont body = reportFont(kBodyPoints);
  const QFont bold = reportFont(kBodyPoints, true);
  const double headerX[11] = {kPnX,
                              kPermissionX,
                              kMsgTypeX,
                              toneX(0),
                              toneX(0) + toneFormatWidth,
                              toneX(1),
                              toneX(1) + toneFormatWidth,
                              toneX(2),
                              toneX(2) + toneFormatWidth,
                              toneX(3),
                              toneX(3) + toneFormatWidth};
  for (std::size_t c = 0; c < kReportAddressColumns.size(); ++c) {
    const double right = c + 1 < kReportAddressColumns.size() ? headerX[c + 1] : page.width();
    page.text(headerX[c], y, right - headerX[c], kReportAddressColumns[c], bold);
  }
  y += kLine + 0.6;

  for (const ReportAddress& a : report.addresses()) {
    page.text(0, y, kCheckX, qtext(a.heading), body);
    page.text(kCheckX, y, kPnX - kCheckX, a.check.text, body);
    page.text(kPnX, y, kPermissionX - kPnX, a.pn.text, body);
    page.text(kPermissionX, y, kMsgTypeX - kPermissionX, a.permission.text, body);
    page.text(kMsgTypeX, y, kTonesX - kMsgTypeX, a.msgType.text, body);
    page.text(kPnX, y + kLine, kTonesX - kPnX, a.name.text, body);
    for (std::size_t t = 0; t < a.tones.size(); ++t) {
      const ReportAddress::Tone& tone = a.tones[t];
      page.text(toneX(t), y, toneFormatWidth, tone.format.text, body);
      page.text(toneX(t) + toneFormatWidth, y, toneWidth - toneFormatWidth, tone.urgentCall.text,
                body);
      page.text(toneX(t), y + kLine, toneWidth, tone.name.text, body);
    }
    y += 2 * kLine + kAddressGap;
  }
  return y;
}

// Folders: "Title" and "Length" over five columns, the sixteen folders in rows of five.
double paintFolders(Page& page, const TPrintReport& report, double y) {
  page.text(0, y, page.width(), qtext(kReportFoldersHeading), reportFont(kHeadingPoints, true));
  y += kHeadingLine;
  // The last column has a little more room, for its "Length" heading.
  const double columnWidth = (page.width() - 4) / kReportFoldersPerRow;
  constexpr double kCheckX = 7, kTitleX = 11.5, kLengthX = 31;
  const QFont body = reportFont(kBodyPoints);
  const QFont bold = reportFont(kBodyPoints, true);
  for (int c = 0; c < kReportFoldersPerRow; ++c) {
    const double x = c * columnWidth;
    page.text(x + kTitleX, y, kLengthX - kTitleX, kReportFolderTitleHeading, bold);
    // The heading may reach over the next column's number, which has no heading above it.
    const double lengthWidth =
        std::min(columnWidth - kLengthX + kTitleX - 1, page.width() - x - kLengthX);
    page.text(x + kLengthX, y, lengthWidth, kReportFolderLengthHeading, bold);
  }
  y += kLine + 0.6;
  const auto& folders = report.folders();
  for (std::size_t k = 0; k < folders.size(); ++k) {
    const ReportFolder& folder = folders[k];
    const double x = static_cast<double>(k % kReportFoldersPerRow) * columnWidth;
    const double line = y + static_cast<double>(k / kReportFoldersPerRow) * kFolderLine;
    page.text(x, line, kCheckX, qtext(folder.heading), body);
    page.text(x + kCheckX, line, kTitleX - kCheckX, folder.check.text, body);
    page.text(x + kTitleX, line, kLengthX - kTitleX - 1, folder.title.text, body);
    page.text(x + kLengthX, line, columnWidth - kLengthX, folder.length.text, body);
  }
  const std::size_t rows = (folders.size() + kReportFoldersPerRow - 1) / kReportFoldersPerRow;
  return y + static_cast<double>(rows) * kFolderLine;
}

// A setting's values as shown: one, or a check mark and a text with a blank between.
std::string shownValue(const ReportSetting& setting) {
  std::string shown;
  for (const ReportLabel& value : setting.values) {
    if (!shown.empty() && !value.text.empty()) shown += ' ';
    shown += value.text;
  }
  return shown;
}

bool isTonePattern(const ReportSetting& setting) {
  return setting.values.front().name.starts_with("LblTonePattern");
}

// Settings: the seven tone patterns on the first line, then three columns of right-aligned
// captions against their values. The first column runs up to the OTA kill message, which
// stands last and, being longer than the other columns, may use the full width.
double paintSettings(Page& page, const TPrintReport& report, double y) {
  page.text(0, y, page.width(), qtext(kReportSettingsHeading), reportFont(kHeadingPoints, true));
  y += kHeadingLine;
  const QFont body = reportFont(kBodyPoints);

  std::vector<const ReportSetting*> tones;
  std::array<std::vector<const ReportSetting*>, 3> columns;
  std::vector<const ReportSetting*> rest;
  bool firstColumnDone = false;
  for (const ReportSetting& setting : report.settings()) {
    if (isTonePattern(setting)) {
      tones.push_back(&setting);
    } else if (!firstColumnDone) {
      columns[0].push_back(&setting);
      firstColumnDone = setting.values.front().name == "LblOtaKillMsgTxt";
    } else {
      rest.push_back(&setting);
    }
  }
  const std::size_t secondCount = (rest.size() + 1) / 2;
  columns[1].assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(secondCount));
  columns[2].assign(rest.begin() + static_cast<std::ptrdiff_t>(secondCount), rest.end());

  // The tone patterns, one pair after the other, spread over the width.
  {
    const double valueWidth = page.textWidth(body, QStringLiteral("DDDD"));
    double natural = 0;
    for (const ReportSetting* s : tones)
      natural += page.textWidth(body, s->caption) + kCaptionGap +
                 std::max(valueWidth, page.textWidth(body, shownValue(*s)));
    const double gap =
        tones.size() > 1 ? std::max(0.0, (page.width() - natural) / double(tones.size() - 1)) : 0;
    double x = 0;
    for (const ReportSetting* s : tones) {
      const double captionWidth = page.textWidth(body, s->caption);
      const double w = std::max(valueWidth, page.textWidth(body, shownValue(*s)));
      page.text(x, y, captionWidth, s->caption, body);
      page.text(x + captionWidth + kCaptionGap, y, w, shownValue(*s), body);
      x += captionWidth + kCaptionGap + w + gap;
    }
    y += kLine + 1;
  }

  // Column widths: each column's widest caption and widest value, the room left over
  // between the columns. When the columns are wider than the page, their font is made
  // smaller, the same for all, until they fit.
  const bool otaSpans =
      columns[1].size() < columns[0].size() && columns[2].size() < columns[0].size();
  constexpr double kColumnGap = 3;
  std::array<double, 3> captionWidth{}, valueWidth{};
  auto measure = [&](const QFont& font) {
    double natural = 0;
    for (std::size_t c = 0; c < 3; ++c) {
      captionWidth[c] = valueWidth[c] = 0;
      for (const ReportSetting* s : columns[c]) {
        captionWidth[c] = std::max(captionWidth[c], page.textWidth(font, s->caption));
        const bool spanning = otaSpans && c == 0 && s == columns[0].back();
        if (!spanning)
          valueWidth[c] = std::max(valueWidth[c], page.textWidth(font, shownValue(*s)));
      }
      natural += captionWidth[c] + kCaptionGap + valueWidth[c];
    }
    return natural;
  };
  const double room = page.width() - 2 * kColumnGap;
  QFont font = body;
  if (const double natural = measure(font); natural > room) {
    font.setPointSizeF(std::max(kSmallestPoints, kBodyPoints * room / natural * 0.99));
    measure(font);
  }
  double spare = room;
  for (std::size_t c = 0; c < 3; ++c) spare -= captionWidth[c] + kCaptionGap + valueWidth[c];
  const double gap = kColumnGap + std::max(0.0, spare) / 2;

  double x = 0;
  for (std::size_t c = 0; c < 3; ++c) {
    const double valueX = x + captionWidth[c] + kCaptionGap;
    const double w = valueWidth[c];
    double line = y;
    for (const ReportSetting* s : columns[c]) {
      const bool spanning = otaSpans && c == 0 && s == columns[0].back();
      page.text(x, line, captionWidth[c], s->caption, font, Qt::AlignRight);
      page.text(valueX, line, spanning ? page.width() - valueX : w, shownValue(*s), font);
      line += kLine;
    }
    x = valueX + w + gap;
  }
  return y + static_cast<double>(columns[0].size()) * kLine;
}

}  // namespace

QPageLayout reportPageLayout() {
  return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 5, 5, 5),
                     QPageLayout::Millimeter);
}

namespace {

void paintPage(Page& page, QPainter& painter, const TPrintReport& report) {
  painter.save();
  painter.setPen(Qt::black);
  double y = paintTitleBand(page, report);
  page.rule(y);
  y = paintAddresses(page, report, y + kSectionGap);
  page.rule(y + 0.5);
  y = paintFolders(page, report, y + 0.5 + kSectionGap);
  page.rule(y + 0.5);
  paintSettings(page, report, y + 0.5 + kSectionGap);
  painter.restore();
}

}  // namespace

void paint(QPainter& painter, const QPageLayout& layout, const TPrintReport& report) {
  Page page(painter, layout);
  paintPage(page, painter, report);
}

std::vector<DrawnText> paintAndRecord(QPainter& painter, const QPageLayout& layout,
                                      const TPrintReport& report) {
  std::vector<DrawnText> drawn;
  Page page(painter, layout, &drawn);
  paintPage(page, painter, report);
  return drawn;
}

bool writeReportPdf(const QString& path, const TPrintReport& report) {
  // The page is drawn into memory; the file is then saved as every other file is.
  QByteArray pdf;
  {
    QBuffer buffer(&pdf);
    if (!buffer.open(QIODevice::WriteOnly)) return false;
    QPdfWriter writer(&buffer);
    writer.setPageLayout(reportPageLayout());
    writer.setTitle(qtext(kReportTitle));
    writer.setCreator(QStringLiteral("palor-programmer"));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    paint(painter, writer.pageLayout(), report);
    if (!painter.end()) return false;
  }
  const std::string_view bytes(pdf.constData(), static_cast<std::size_t>(pdf.size()));
  return static_cast<bool>(saveFileAtomically(QFile::encodeName(path).toStdString(), bytes));
}

}  // namespace palor
