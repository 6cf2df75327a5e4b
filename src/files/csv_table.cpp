#include "files/csv_table.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <utility>

#include "files/file_read.h"

namespace palor::csv {
namespace {

const FieldSchema& schema(std::string_view name) { return SettingsRecord::schema(fieldId(name)); }

std::string labelOf(std::string_view name) { return schema(name).label + ":"; }
std::string captionOf(std::string_view name) { return schema(name).caption + ":"; }

class TableWriter {
 public:
  // Writes one line: each field followed by a comma, then empty fields until the line
  // holds `width` fields, then CR LF.
  void line(std::initializer_list<std::string_view> fields, std::size_t width = 0) {
    std::size_t n = 0;
    for (std::string_view f : fields) {
      out_ += f;
      out_ += ',';
      ++n;
    }
    for (; n < width; ++n) out_ += ',';
    out_ += "\r\n";
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

constexpr std::size_t kWide = 13;

}  // namespace

std::string exportTable(const SettingsRecord& r) {
  auto text = [&](const std::string& name) -> std::string_view { return r.text(name); };
  auto item = [&](const std::string& name) -> std::string_view {
    return r.itemText(fieldId(name)).value_or(std::string_view{});
  };
  auto yesNo = [&](const std::string& name) -> std::string_view {
    return r.checked(name) ? "Yes" : "No";
  };
  const std::string& enabled = schema("autospace").items.at(1);

  TableWriter t;
  t.line({kPageAddresses}, kWide);
  t.line({"Capcode", enabled, schema("address1").label, schema("permission1").label,
          schema("msgtype1").label, schema("addr1formatA").label, schema("UrgentCall1A").label,
          schema("addr1formatB").label, schema("UrgentCall1B").label, schema("addr1formatC").label,
          schema("UrgentCall1C").label, schema("addr1formatD").label, schema("UrgentCall1D").label});
  for (int n = 1; n <= kAddressRows; ++n) {
    auto f = [n](std::string_view prefix, std::string_view suffix = {}) {
      return rowField(prefix, n, suffix);
    };
    t.line({schema(f("addr", "en")).caption, yesNo(f("addr", "en")), text(f("address")),
            yesNo(f("permission")), item(f("msgtype")), item(f("addr", "formatA")),
            yesNo(f("UrgentCall", "A")), item(f("addr", "formatB")), yesNo(f("UrgentCall", "B")),
            item(f("addr", "formatC")), yesNo(f("UrgentCall", "C")), item(f("addr", "formatD")),
            yesNo(f("UrgentCall", "D"))});
    // The names line of address 1 carries one more empty field than the others.
    t.line({"Name", "", text(f("Capcode", "Name")), "", "", text(f("Capcode", "ToneA")), "",
            text(f("Capcode", "ToneB")), "", text(f("Capcode", "ToneC")), "",
            text(f("Capcode", "ToneD")), ""},
           n == 1 ? kWide + 1 : kWide);
  }
  t.line({}, kWide);

  t.line({kPageFolders}, kWide);
  t.line({"Folder Num", enabled, schema("pubbox0").label, schema("pubboxlength0").label}, kWide);
  for (int k = 0; k < kFolders; ++k)
    t.line({schema(folderField("pubboxact", k)).caption, yesNo(folderField("pubboxact", k)),
            text(folderField("pubbox", k)), text(folderField("pubboxlength", k))},
           kWide);
  t.line({}, kWide);

  t.line({kPageSettings}, kWide);
  t.line({schema("hellomsg1").group + ":", text("hellomsg1")}, kWide);
  t.line({schema("tonepatternA").group + ":", labelOf("tonepatternA"), text("tonepatternA"),
          labelOf("tonepatternB"), text("tonepatternB"), labelOf("tonepatternC"),
          text("tonepatternC"), labelOf("tonepatternD"), text("tonepatternD")},
         kWide);
  t.line({"", labelOf("tonepatternPon"), text("tonepatternPon"), labelOf("tonepatternLcell"),
          text("tonepatternLcell"), labelOf("tonepatternUcall"), text("tonepatternUcall")},
         kWide);
  t.line({labelOf("lcdholdtime"), text("lcdholdtime"), labelOf("lcd_on_time"), item("lcd_on_time")});
  t.line({captionOf("contrastUnlock"), text("contrast"), labelOf("lcd_off_time"),
          item("lcd_off_time")});
  for (const char* name : {"dateformat", "autospace", "msgdisptime", "alerttime", "lowcell"})
    t.line({labelOf(name), item(name)});
  t.line({labelOf("rangetime"), text("rangetime"), schema("rangetime").unit});
  for (const char* name : {"pubcallno", "baudrate", "polarity"}) t.line({labelOf(name), item(name)});
  t.line({labelOf("channelfreq"), text("channelfreq"), schema("channelfreq").unit,
          item("channelspace")});
  t.line({labelOf("otaKillMsg"), text("otaKillMsg")});
  t.line({labelOf("backlight"), item("backlight")});
  // delMenu and numset have commas in their item texts; the table writes them without.
  t.line({captionOf("privateFunControl"), yesNo("privateFunControl"),
          r.index("delMenu") != 0 ? "Del all del protect" : "Protect del del all"});
  for (const char* name : {"urgcallmode", "urgcalltype", "pubfoldermode", "repeatcallcheck",
                           "repeatcallreject"})
    t.line({labelOf(name), item(name)});
  t.line({labelOf("numset"), r.index("numset") != 0 ? "0-9 ABCDE'SP'" : "0-9 'NL'U'SP'-]["});
  for (const char* name : {"language", "menulanguage", "cmbNameDisplay"})
    t.line({labelOf(name), item(name)});
  for (const char* name : {"capcodeNameDisplay", "autobacklight", "delall_w_unread"})
    t.line({captionOf(name), yesNo(name)});
  t.line({captionOf("handprogram"), yesNo("handprogram"), labelOf("password"), text("password")});
  for (const char* name : {"method28a", "unreadRemind", "ota", "qsound", "outrangespecial",
                           "lowbatteryspecial", "chargerBeepRemind", "lockVibrate",
                           "mostRecentMsg", "showPowerOffMenu", "rejectBadMsg",
                           "useInternalBuzzer", "msgInfoMode"})
    t.line({captionOf(name), yesNo(name)});
  return t.take();
}

std::string_view field(std::string_view line, int index) {
  for (int i = 0; i < index; ++i) {
    const auto comma = line.find(',');
    if (comma == std::string_view::npos) return {};
    line.remove_prefix(comma + 1);
  }
  const auto comma = line.find(',');
  if (comma == std::string_view::npos) return {};
  return line.substr(0, comma);
}

bool isYes(std::string_view text) { return text == "Yes"; }

namespace {

// The text without the blanks and control characters around it.
std::string_view trimmed(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool passesDigitTest(std::string_view text) {
  for (char c : trimmed(text))
    if (c < '0' || c > '9') return false;
  return true;
}

bool passesHexTest(std::string_view text) {
  for (char c : trimmed(text))
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

namespace {

struct Converter {
  std::vector<std::pair<std::string, int>> texts;
  int noMatch = 0;
};

// Every list field reads back the texts the table writes for its items; the item that
// stands for "no match" is left out of its own list.
Converter converterFor(FieldId f) {
  const FieldSchema& s = SettingsRecord::schema(f);
  const std::string& name = s.name;
  Converter c;
  if (name == "delMenu") return {{{"Del all del protect", 1}}, 0};
  if (name == "numset") return {{{"0-9 ABCDE'SP'", 1}}, 0};
  if (name.starts_with("msgtype")) return {{{"Private", 0}}, 1};
  if (name.starts_with("addr") && name.find("format") != std::string::npos) c.noMatch = 3;
  for (int i = 0; i < static_cast<int>(s.items.size()); ++i)
    if (i != c.noMatch) c.texts.emplace_back(s.items[static_cast<std::size_t>(i)], i);
  if (name == "lowcell") c.texts.emplace_back("120 sec", 1);  // newer firmware's second item
  return c;
}

}  // namespace

int convertItem(FieldId f, std::string_view text) {
  const Converter c = converterFor(f);
  for (const auto& [itemText, index] : c.texts)
    if (text == itemText) return index;
  return c.noMatch;
}

std::string normaliseChannelFreq(std::string_view text, char separator) {
  std::string digits;
  if (const auto point = text.find('.'); point != std::string_view::npos) {
    digits = std::string(text.substr(0, point)) + std::string(text.substr(point + 1));
  } else {
    digits = std::string(text);
  }
  if (!passesDigitTest(digits)) digits = "45700000";
  // Fewer than three digits are the first ones of three: the frequency rule completes them
  // as it completes a short typed text. A separator after them would be a second one once
  // completed ("45." became "45..00000", which no rule can read).
  if (digits.size() < 3) return digits;
  std::string result =
      digits.substr(0, 3) + separator + (digits.size() > 3 ? digits.substr(3, 6) : "");
  return result.substr(0, 9);
}

namespace {

// Cuts a stream of characters into lines and hands lines 0..kLastAppliedLine on. The first
// line end decides how the file ends its lines: by LF, with or without a CR before it, as
// this program and most others write, or by CR alone, as older spreadsheets do. In a file
// of LF lines a CR is text, as it always was, so that a text holding one reads back as it
// was written; in a file of CR lines a CR LF or an LF ends a line too.
class LineSplitter {
 public:
  using Apply = std::function<void(std::string_view line, int number)>;
  explicit LineSplitter(const Apply& apply) : apply_(apply) {}

  bool wantsMore() const { return number_ <= kLastAppliedLine; }

  void put(char c) {
    if (crPending_) {  // a CR ended the line unless an LF follows it
      crPending_ = false;
      if (c == '\n') {
        if (ends_ == Ends::Unknown) ends_ = Ends::Lf;
        return end("\r\n");
      }
      ends_ = Ends::Cr;
      end("\r");
      if (!wantsMore()) return;
    }
    if (c == '\n') {
      if (ends_ == Ends::Unknown) ends_ = Ends::Lf;
      return end("\n");
    }
    if (c == '\r' && ends_ != Ends::Lf) {
      crPending_ = true;
      return;
    }
    if (line_.size() < kMaxLineLength) line_ += c;
  }

  // The end of the file: a CR there ends its line; other characters after the last line
  // end are never handed on.
  void finish() {
    if (crPending_ && wantsMore()) end("\r");
    crPending_ = false;
  }

 private:
  enum class Ends { Unknown, Lf, Cr };

  // The line is handed on with its line end, however long it was.
  void end(std::string_view lineEnd) {
    line_ += lineEnd;
    apply_(line_, number_++);
    line_.clear();
  }

  const Apply& apply_;
  std::string line_;
  int number_ = 0;
  Ends ends_ = Ends::Unknown;
  bool crPending_ = false;
};

}  // namespace

bool readTableLines(const std::string& path,
                    const std::function<void(std::string_view line, int number)>& apply) {
  const int fd = openRegularFile(path);
  if (fd < 0) return false;
  LineSplitter lines(apply);
  char buffer[8192];
  while (lines.wantsMore()) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // end of file, or a read error: what was read so far is the file
    for (ssize_t i = 0; i < n && lines.wantsMore(); ++i) lines.put(buffer[i]);
  }
  lines.finish();
  ::close(fd);
  return true;
}

}  // namespace palor::csv
