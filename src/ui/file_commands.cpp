// The File menu of the main window: opening and saving image files and CSV tables, and
// files dropped on the window.
#include "config/image_checksums.h"
#include "files/atomic_file.h"
#include "files/csv_table.h"
#include "files/file_read.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

// The extension of a name: its part from the last "." after the last "/", in lower case,
// or empty.
std::string extensionOf(std::string_view path) {
  const auto slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

}  // namespace

void FormState::Open1Click(const FileNameDialog& askOpenFileName) {
  if (const auto path = askOpenFileName()) (void)OpenConfigurationFile(*path);
}

void FormState::FilesDropped(const std::vector<std::string>& paths) {
  if (!paths.empty()) (void)OpenConfigurationFile(paths.front());
}

FileCommandOutcome FormState::OpenConfigurationFile(const std::string& path) {
  const std::string extension = extensionOf(path);
  if (extension == ".csv") return ImportCsv(path);
  if (extension != ".bin" && extension != ".eep") return {};

  const FileRead read = readImageFile(path);
  if (!read.opened) {
    log_.append(msg::kLoadFailed);
    return {false, read.error};
  }
  // A short or failed read is refused here too, after the method28a rule.
  const bool loaded = loadImageFile(read.bytes, path);
  return {loaded, read.error};
}

void FormState::Save1Click(const FileNameDialog& askSaveFileName) {
  if (!PreStoreChecks()) return;
  const auto path = askSaveFileName();
  if (!path) return;
  (void)SaveConfigurationFile(*path);
}

FileCommandOutcome FormState::SaveConfigurationFile(const std::string& path) {
  if (extensionOf(path) == ".csv") return ExportCsv(path);
  if (!encodeImageForFile()) return {};
  const std::string_view bytes(reinterpret_cast<const char*>(images_.writeImage.data()),
                               images_.writeImage.size());
  return logSaveOutcome(saveFileAtomically(path, bytes), path);
}

FileCommandOutcome FormState::ExportCsv(const std::string& path) {
  return logSaveOutcome(saveFileAtomically(path, csv::exportTable(record_)), path);
}

FileCommandOutcome FormState::logSaveOutcome(const FileOutcome& saved, const std::string& path) {
  log_.append(saved ? msg::savedDataTo(path) : std::string(msg::kSaveFailed));
  return {static_cast<bool>(saved), saved.failure()};
}

FileCommandOutcome FormState::ImportCsv(const std::string& path) {
  // A value that no rule can read as a number ends that line's rules, as it ends any rule;
  // the other lines still apply, and the first such error is shown once the import is done.
  std::optional<ConversionError> firstError;
  const bool opened = csv::readTableLines(path, [&](std::string_view line, int number) {
    try {
      ApplyCsvLine(line, number);
    } catch (const ConversionError& e) {
      if (!firstError) firstError = e;
    }
  });
  if (!opened) {
    log_.append(msg::kLoadFailed);
    return {};
  }
  log_.append(msg::loadedDataFrom(path));
  if (firstError) throw *firstError;
  return {true, std::nullopt};
}

namespace {

// Rows 1..8 fall back to their start-up addresses.
std::string defaultAddress(int row) { return SettingsRecord::schema(fieldId(rowField("address", row))).defaultText; }

}  // namespace

void FormState::ApplyCsvLine(std::string_view line, int number) {
  SettingsRecord& r = record_;
  auto field = [&](int index) { return csv::field(line, index); };
  auto cut = [&](int index, std::size_t width) { return field(index).substr(0, width); };
  auto yesNo = [&](const std::string& name, int index) { r.setChecked(name, csv::isYes(field(index))); };
  auto item = [&](const std::string& name, int index) {
    r.setIndex(name, csv::convertItem(fieldId(name), field(index)));
  };
  auto digitsOr = [&](const std::string& name, std::string_view text, std::string_view fallback) {
    const bool pass = csv::passesDigitTest(text);
    r.setText(name, pass ? text : fallback);
    return pass;
  };
  auto hexOr = [&](const std::string& name, std::string_view text, std::string_view fallback) {
    r.setText(name, csv::passesHexTest(text) ? text : fallback);
  };

  if (number >= 2 && number <= 17) {
    const int row = number / 2;
    auto f = [row](std::string_view prefix, std::string_view suffix = {}) {
      return rowField(prefix, row, suffix);
    };
    if (number % 2 == 0) {
      yesNo(f("addr", "en"), 1);
      digitsOr(f("address"), field(2), defaultAddress(row));
      yesNo(f("permission"), 3);
      item(f("msgtype"), 4);
      for (int t = 0; t < 4; ++t) {
        const std::string tone(1, kToneLetters[t]);
        item(f("addr", "format" + tone), 5 + 2 * t);
        yesNo(f("UrgentCall", tone), 6 + 2 * t);
      }
    } else {
      r.setText(f("Capcode", "Name"), field(2));
      for (int t = 0; t < 4; ++t)
        r.setText(f("Capcode", std::string("Tone") + kToneLetters[t]), field(5 + 2 * t));
      addrEnClick(row);
    }
    return;
  }
  if (number >= 21 && number <= 36) {
    const int k = number - 21;
    // Within a half, a folder opens only after the one before it.
    const bool chainOpen = k == 0 || k == 8 || r.checked(folderField("pubboxact", k - 1));
    r.setChecked(folderField("pubboxact", k), chainOpen && csv::isYes(field(1)));
    r.setText(folderField("pubbox", k), field(2));
    digitsOr(folderField("pubboxlength", k), field(3), "1");
    if (number == 36) msgtypeChange();
    return;
  }

  static const char* const kTones[] = {"tonepatternA",   "tonepatternB",     "tonepatternC",
                                       "tonepatternD",   "tonepatternPon",   "tonepatternLcell",
                                       "tonepatternUcall"};
  static const char* const kToneFallbacks[] = {"FFFC", "CFFC", "CCC0", "CCCC",
                                               "A000", "8000", "D1B1"};
  switch (number) {
    case 39:
      r.setText("hellomsg1", cut(1, 14));
      FixedStringExit(r.id("hellomsg1"));
      break;
    case 40:
      for (int i = 0; i < 4; ++i) hexOr(kTones[i], cut(2 + 2 * i, 4), kToneFallbacks[i]);
      break;
    case 41:
      for (int i = 4; i < 7; ++i) hexOr(kTones[i], cut(2 + 2 * (i - 4), 4), kToneFallbacks[i]);
      break;
    case 42:
      if (digitsOr("lcdholdtime", cut(1, 3), "005")) LcdHoldTimeChange();
      item("lcd_on_time", 3);
      break;
    case 43:
      if (digitsOr("contrast", cut(1, 2), "10")) ContrastExit();
      item("lcd_off_time", 3);
      break;
    case 44: item("dateformat", 1); break;
    case 45: item("autospace", 1); break;
    case 46: item("msgdisptime", 1); break;
    case 47: item("alerttime", 1); break;
    case 48: item("lowcell", 1); break;
    case 49:
      if (digitsOr("rangetime", cut(1, 3), "30")) RangeTimeExit();
      break;
    case 50: item("pubcallno", 1); break;
    case 51: item("baudrate", 1); break;
    case 52: item("polarity", 1); break;
    case 53:
      r.setText("channelfreq", csv::normaliseChannelFreq(field(1), decimalSeparator_));
      channelfreqExit();
      item("channelspace", 3);
      break;
    case 54:
      r.setText("otaKillMsg", cut(1, 40));
      FixedStringExit(r.id("otaKillMsg"));
      break;
    case 55: item("backlight", 1); break;
    case 56:
      yesNo("privateFunControl", 1);
      item("delMenu", 2);
      break;
    case 57: item("urgcallmode", 1); break;
    case 58: item("urgcalltype", 1); break;
    case 59: item("pubfoldermode", 1); break;
    case 60: item("repeatcallcheck", 1); break;
    case 61: item("repeatcallreject", 1); break;
    case 62: item("numset", 1); break;
    case 63: item("language", 1); break;
    case 64: item("menulanguage", 1); break;
    case 65: item("cmbNameDisplay", 1); break;
    case 66: yesNo("capcodeNameDisplay", 1); break;
    case 67: yesNo("autobacklight", 1); break;
    case 68: yesNo("delall_w_unread", 1); break;
    case 69:
      yesNo("handprogram", 1);
      digitsOr("password", cut(3, 4), SettingsRecord::schema(r.id("password")).defaultText);
      break;
    default: {
      static const char* const kChecks[] = {
          "method28a",         "unreadRemind", "ota",           "qsound",
          "outrangespecial",   "lowbatteryspecial", "chargerBeepRemind", "lockVibrate",
          "mostRecentMsg",     "showPowerOffMenu",  "rejectBadMsg",      "useInternalBuzzer",
          "msgInfoMode"};
      if (number >= 70 && number <= 82) yesNo(kChecks[number - 70], 1);
      break;
    }
  }
}

}  // namespace palor
