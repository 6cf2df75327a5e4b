// palorctl run as a user runs it: its output is read back and checked against the record
// the program itself has after start-up.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "record_dump.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;
};

RunResult runPalorctl(const std::string& arguments) {
  const std::string errPath = "/tmp/palorctl-test-" + std::to_string(::getpid()) + ".err";
  const std::string command = std::string(PALORCTL_PATH) + " " + arguments + " 2>" + errPath;
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(errPath, std::ios::binary);
  result.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  std::remove(errPath.c_str());
  return result;
}

TEST(PalorctlDump, JsonListsEveryFieldWithItsStartUpValue) {
  const RunResult run = runPalorctl("dump --json");
  ASSERT_EQ(run.status, 0);
  const auto fields = nlohmann::json::parse(run.out);

  FormState form;
  form.startUp();
  const SettingsRecord& record = form.record();
  ASSERT_EQ(fields.size(), SettingsRecord::size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto f = static_cast<FieldId>(i);
    const auto& field = fields[i];
    const FieldSpec& spec = SettingsRecord::spec(f);
    SCOPED_TRACE(spec.name);
    EXPECT_EQ(field.at("name"), spec.name);
    EXPECT_EQ(field.at("enabled"), record.enabled(f));
    EXPECT_EQ(field.at("visible"), record.visible(f));
    switch (spec.kind) {
      case FieldKind::Text:
        EXPECT_EQ(field.at("kind"), "text");
        EXPECT_EQ(field.at("value"), ctl::latin1ToUtf8(record.text(f)));
        EXPECT_TRUE(field.at("item").is_null());
        break;
      case FieldKind::Item:
        EXPECT_EQ(field.at("kind"), "item");
        EXPECT_EQ(field.at("value"), record.index(f));
        EXPECT_EQ(field.at("item"), std::string(*record.itemText(f)));
        break;
      case FieldKind::Check:
        EXPECT_EQ(field.at("kind"), "check");
        EXPECT_EQ(field.at("value"), record.checked(f));
        break;
    }
  }
  // Start-up's own changes show: contrast disabled, urgcalltype hidden.
  EXPECT_EQ(fields[toIndex(fieldId("contrast"))].at("enabled"), false);
  EXPECT_EQ(fields[toIndex(fieldId("urgcalltype"))].at("visible"), false);
}

TEST(PalorctlDump, TableHasOneLinePerField) {
  const RunResult run = runPalorctl("dump");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')),
            SettingsRecord::size());
  EXPECT_NE(run.out.find("language            item  7 \"U.K.\"\n"), std::string::npos);
}

TEST(PalorctlDump, TextsAreLatin1InJson) {
  EXPECT_EQ(ctl::latin1ToUtf8(std::string("A\xE9\xFF", 3)), "A\xC3\xA9\xC3\xBF");
}

TEST(Palorctl, UsageErrorsExitWithTwo) {
  for (const char* arguments : {"", "frobnicate", "dump --no-such-option", "dump --type",
                                "dump --type nofield=1", "dump --check method28a=maybe",
                                "dump --pick language=Klingon", "dump --check otaKillCmd=yes"})
    EXPECT_EQ(runPalorctl(arguments).status, 2) << arguments;
}

TEST(PalorctlEdits, TypedAddressIsReportedOnceAndZeroFilledOnLeaving) {
  const RunResult run =
      runPalorctl("dump --json --set address1= --type address1=123 --leave address1");
  ASSERT_EQ(run.status, 0);
  const auto fields = nlohmann::json::parse(run.out);
  EXPECT_EQ(fields[toIndex(fieldId("address1"))].at("value"), "0000123");
  EXPECT_EQ(fields[toIndex(fieldId("frame1"))].at("value"), "3");
  // The about line of start-up, then the invalid address once: after "1", not after "12".
  EXPECT_EQ(run.err,
            "\nAddress [1] is invalid. It should be within 8-2007663; 2007672-2045055; "
            "2045064-2097143.\n");
}

TEST(PalorctlEdits, EditsApplyInTheOrderGiven) {
  // Picking "Public" opens folder [1]; checking it then opens [2].
  const RunResult run = runPalorctl(
      "dump --json --pick msgtype1=Public --check pubboxact0=yes --pick=language=3");
  ASSERT_EQ(run.status, 0);
  const auto fields = nlohmann::json::parse(run.out);
  EXPECT_EQ(fields[toIndex(fieldId("pubboxact0"))].at("value"), true);
  EXPECT_EQ(fields[toIndex(fieldId("pubboxact1"))].at("enabled"), true);
  EXPECT_EQ(fields[toIndex(fieldId("language"))].at("item"), "FRENCH");
  // In the other order the folder is still locked when the click comes.
  EXPECT_EQ(runPalorctl("dump --check pubboxact0=yes --pick msgtype1=Public").status, 2);
}

}  // namespace
}  // namespace palor
