// palorctl run as a user runs it: its output is read back and checked against the record
// the program itself has after start-up.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/wait.h>

#include "record_dump.h"
#include "ui/vendrel.h"

namespace palor {
namespace {

struct RunResult {
  std::string out;
  int status = -1;
};

RunResult runPalorctl(const std::string& arguments) {
  const std::string command = std::string(PALORCTL_PATH) + " " + arguments + " 2>/dev/null";
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
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
  EXPECT_EQ(runPalorctl("").status, 2);
  EXPECT_EQ(runPalorctl("frobnicate").status, 2);
  EXPECT_EQ(runPalorctl("dump --no-such-option").status, 2);
}

}  // namespace
}  // namespace palor
