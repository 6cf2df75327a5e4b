// SPDX-License-Identifier: GPL-3.0-or-later
// palorctl report: the customer report's page as a PDF, read back with poppler's tools, and
// its labels as text.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "as_nobody.h"
#include "report/printrp.h"
#include "run_command.h"
#include "temp_folder.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

using test::runCommand;

constexpr double kPageWidth = 595.28;  // A4 in points
constexpr double kPageHeight = 841.89;
constexpr double kMargin = 14.17;  // 5 mm

struct Word {
  double xMin, yMin, xMax, yMax;
  std::string text;
};

// The words of `pdftotext -bbox` with their boxes, in points from the page's top left.
std::vector<Word> wordsOf(const std::string& html) {
  static const std::regex word(
      R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  std::vector<Word> words;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator();
       ++it)
    words.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                     std::stod((*it)[4]), (*it)[5]});
  return words;
}

// Runs of blanks and line ends as one blank, none at either end.
std::string squeezed(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\n' || c == '\t' || c == '\f';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

int occurrences(const std::string& text, std::string_view sign) {
  int n = 0;
  for (auto at = text.find(sign); at != std::string::npos; at = text.find(sign, at + 1)) ++n;
  return n;
}

class PalorctlReport : public ::testing::Test {
 protected:
  void SetUp() override { saveConfiguration(); }
  std::string path(const char* name) const { return (dir / name).string(); }

  // A configuration whose texts are easy to find on the page: named addresses and tones,
  // one address switched off, urgent calls by type, an active folder.
  void saveConfiguration() {
    FormState form;
    form.startUp();
    SettingsRecord& r = form.record();
    r.setText("serial", "SN12AB34");
    r.setText("hellomsg1", "HELLO CUSTOMER");
    for (int n = 1; n <= kAddressRows; ++n) {
      const std::string row = std::to_string(n);
      r.setText(rowField("Capcode", n, "Name"), "NAME" + row + "XY");
      for (char t : kToneLetters)
        r.setText(rowField("Capcode", n, std::string("Tone") + t), "T" + row + t + "RING");
    }
    r.setChecked("permission2", true);
    r.pickItem(r.id("msgtype2"), 1);
    r.setChecked("pubboxact0", true);
    r.setText("pubbox0", "NEWSDESK");
    r.setChecked("method28a", false);
    r.setIndex("urgcalltype", 1);
    r.setChecked("addr6en", false);
    ASSERT_TRUE(form.PreStoreChecks());
    ASSERT_TRUE(form.SaveConfigurationFile(path("customer.bin")));

    // What the report of the opened file holds.
    FormState opened;
    opened.startUp();
    ASSERT_TRUE(opened.OpenConfigurationFile(path("customer.bin")));
    expected.fill(opened.record());
  }

  test::TempFolder folder{"palorctl-report"};
  std::filesystem::path dir = folder.path();
  TPrintReport expected;
};

// A target that is no regular file is refused with its reason and stays what it was: the
// page never replaces a device, a named pipe or a socket with a file.
TEST_F(PalorctlReport, TargetsThatAreNoFileAreRefusedAndKept) {
  ASSERT_EQ(::mknod(path("device").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0666), 0);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path("socket").c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const struct {
    const char* name;
    const char* reason;
    mode_t type;
  } cases[] = {
      {"device", "it is a device, not a file", S_IFCHR},
      {"pipe", "it is a named pipe, not a file", S_IFIFO},
      {"socket", "it is a socket, not a file", S_IFSOCK},
  };
  for (const auto& c : cases) {
    const auto run = runCommand(std::string(PALORCTL_PATH) + " report " + path(c.name) + " " +
                                path("customer.bin"));
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_NE(run.err.find(path(c.name) + ": " + c.reason), std::string::npos) << run.err;
    struct stat after {};
    ASSERT_EQ(::lstat(path(c.name).c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & S_IFMT, c.type) << c.name;
  }
  ::close(listener);
}

TEST_F(PalorctlReport, OneA4PageWithEveryValueInsideTheMargins) {
#ifndef PALORCTL_REPORT_PDF
  GTEST_SKIP() << "palorctl is built without Qt and draws no page";
#endif
  if (runCommand("command -v pdftotext pdfinfo").status != 0)
    GTEST_SKIP() << "poppler-utils (pdftotext, pdfinfo) is not installed";
  const auto run = runCommand(std::string(PALORCTL_PATH) + " report " + path("report.pdf") + " " +
                              path("customer.bin"));
  ASSERT_EQ(run.status, 0) << run.err;

  const std::string info = runCommand("pdfinfo " + path("report.pdf")).out;
  EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
  std::smatch size;
  ASSERT_TRUE(
      std::regex_search(info, size, std::regex(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)")));
  EXPECT_NEAR(std::stod(size[1]), kPageWidth, 1.0);
  EXPECT_NEAR(std::stod(size[2]), kPageHeight, 1.0);

  const auto text = runCommand("pdftotext -enc UTF-8 " + path("report.pdf") + " -");
  ASSERT_EQ(text.status, 0);
  const std::string page = " " + squeezed(text.out) + " ";
  EXPECT_NE(page.find(std::string(kReportTitle)), std::string::npos);
  int checks = 0, crosses = 0;
  for (const ReportLabel* label : expected.labels()) {
    if (label->mark) {
      (label->text == kReportCheckMark ? checks : crosses) += 1;
      continue;
    }
    const std::string value = squeezed(label->text);
    if (value.empty()) continue;
    EXPECT_NE(page.find(" " + value + " "), std::string::npos) << label->name << ": " << value;
  }
  EXPECT_EQ(occurrences(text.out, kReportCheckMark), checks);
  EXPECT_EQ(occurrences(text.out, kReportCross), crosses);
  // The configuration has both signs in numbers (the disabled address alone has six crosses).
  EXPECT_GT(checks, 10);
  EXPECT_GT(crosses, 30);

  // Every word inside the 5 mm margins; title, then the three sections down the page.
  ASSERT_EQ(runCommand("pdftotext -bbox " + path("report.pdf") + " " + path("words.html")).status,
            0);
  std::ifstream in(path("words.html"));
  const std::vector<Word> words =
      wordsOf(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  ASSERT_GT(words.size(), 300u);
  constexpr double kTolerance = 0.1;  // poppler rounds the boxes
  for (const Word& w : words) {
    EXPECT_GE(w.xMin, kMargin - kTolerance) << w.text;
    EXPECT_GE(w.yMin, kMargin - kTolerance) << w.text;
    EXPECT_LE(w.xMax, kPageWidth - kMargin + kTolerance) << w.text;
    EXPECT_LE(w.yMax, kPageHeight - kMargin + kTolerance) << w.text;
  }
  auto top = [&](const char* text) {
    for (const Word& w : words)
      if (w.text == text) return w.yMin;
    ADD_FAILURE() << "no word " << text;
    return -1.0;
  };
  EXPECT_LT(top("PALOR"), top("Addresses"));
  EXPECT_LT(top("Addresses"), top("NAME8XY"));
  EXPECT_LT(top("NAME8XY"), top("Folders"));
  EXPECT_LT(top("Folders"), top("NEWSDESK"));
  EXPECT_LT(top("NEWSDESK"), top("Settings"));
  EXPECT_LT(top("Settings"), top("OTA"));
}

// palorctl runs palor-report-pdf from beside its own executable (a link to palorctl
// included), else from the PATH, else refuses.
TEST_F(PalorctlReport, FindsItsPdfProgramBesideItselfThenOnThePath) {
#ifndef PALORCTL_REPORT_PDF
  GTEST_SKIP() << "palorctl is built without Qt and draws no page";
#endif
  const std::filesystem::path built = std::filesystem::path(PALORCTL_PATH).parent_path();
  std::filesystem::create_directories(dir / "alone");
  std::filesystem::copy_file(PALORCTL_PATH, dir / "alone" / "palorctl");
  std::filesystem::create_directories(dir / "linked");
  std::filesystem::create_symlink(PALORCTL_PATH, dir / "linked" / "palorctl");
  // A PATH where no palor-report-pdf is, even on a machine that has the package installed.
  const std::string systemPath = path("empty");
  const struct {
    const char* what;
    std::string program;
    std::string searchPath;
    int status;
    const char* says;
  } cases[] = {
      {"beside", PALORCTL_PATH, systemPath, 0, ""},
      {"beside what a link names", path("linked/palorctl"), systemPath, 0, ""},
      {"on the PATH", path("alone/palorctl"), systemPath + ":" + built.string(), 0, ""},
      {"nowhere", path("alone/palorctl"), systemPath, 1,
       "palorctl: palor-report-pdf is neither beside palorctl nor on the PATH, so only "
       "\"report -\" is available\npalorctl: "},
  };
  for (const auto& c : cases) {
    const std::string pdf = path("found.pdf");
    std::filesystem::remove(pdf);
    const auto run = runCommand("PATH=" + c.searchPath + " " + c.program + " report " + pdf + " " +
                                path("customer.bin"));
    EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.what << ": " << run.err;
    EXPECT_EQ(std::filesystem::exists(pdf), c.status == 0) << c.what;
  }
}

// The PDF is saved as every file is: where the folder refuses a new file but the old PDF
// may be written, it is written in place.
TEST_F(PalorctlReport, PdfIsWrittenInPlaceWhereTheFolderTakesNoNewFile) {
#ifndef PALORCTL_REPORT_PDF
  GTEST_SKIP() << "palorctl is built without Qt and draws no page";
#endif
  namespace fs = std::filesystem;
  // The programs are copied where nobody may run them, whatever the checkout's rights.
  const fs::path built = fs::path(PALORCTL_PATH).parent_path();
  fs::create_directories(dir / "bin");
  for (const char* program : {"palorctl", "palor-report-pdf"})
    fs::copy_file(built / program, dir / "bin" / program);
  fs::create_directories(dir / "locked");
  fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(dir / "locked",
                  fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  const std::string pdf = path("locked/report.pdf");
  std::ofstream(pdf) << "old";
  fs::permissions(pdf, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read |
                           fs::perms::others_write);
  const std::string palorctl = path("bin/palorctl");
  const std::string configuration = path("customer.bin");
  const std::optional<int> status = test::runAsNobody([&] {
    ::execl(palorctl.c_str(), palorctl.c_str(), "report", pdf.c_str(), configuration.c_str(),
            static_cast<char*>(nullptr));
    return 126;
  });
  if (!status) GTEST_SKIP() << "the test cannot run as the user nobody";
  EXPECT_EQ(*status, 0);
  std::ifstream written(pdf, std::ios::binary);
  std::string start(5, '\0');
  written.read(start.data(), 5);
  EXPECT_EQ(start, "%PDF-");
}

TEST_F(PalorctlReport, LabelsAsTextInTheReportsOrder) {
  const auto run = runCommand(std::string(PALORCTL_PATH) + " report - " + path("customer.bin") +
                              " --set TxtPagerNumber=00000042");
  ASSERT_EQ(run.status, 0) << run.err;
  std::string lines;
  for (const ReportLabel* label : expected.labels())
    lines +=
        label->name + ": " + (label->name == "LblPagerNumberTxt" ? "00000042" : label->text) + "\n";
  EXPECT_EQ(run.out, lines);
}

TEST_F(PalorctlReport, RefusedWhenTheFileCannotBeOpenedOrWritten) {
  const std::string palorctl = std::string(PALORCTL_PATH) + " report ";
  EXPECT_EQ(runCommand(palorctl + "- " + path("missing.bin")).status, 1);
  EXPECT_EQ(runCommand(palorctl + path("no-such-folder/report.pdf")).status, 1);
  EXPECT_FALSE(std::filesystem::exists(path("no-such-folder")));
  EXPECT_EQ(runCommand(palorctl).status, 2);
}

}  // namespace
}  // namespace palor
