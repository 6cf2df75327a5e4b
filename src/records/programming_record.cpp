// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/programming_record.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <utility>

namespace palor::records {

namespace {

constexpr std::array<std::pair<Operation, std::string_view>, 4> kOperations{{
    {Operation::Read, "read"},
    {Operation::Write, "write"},
    {Operation::RepairWrite, "repair-write"},
    {Operation::Restore, "restore"},
}};

constexpr std::array<std::pair<Outcome, std::string_view>, 5> kOutcomes{{
    {Outcome::Completed, "completed"},
    {Outcome::Failed, "failed"},
    {Outcome::TimedOut, "timed-out"},
    {Outcome::Cancelled, "cancelled"},
    {Outcome::Refused, "refused"},
}};

template <typename Table, typename Value>
std::string_view nameIn(const Table& table, Value value) {
  for (const auto& [v, name] : table)
    if (v == value) return name;
  return {};
}

template <typename Value, typename Table>
std::optional<Value> valueIn(const Table& table, std::string_view name) {
  for (const auto& [v, n] : table)
    if (n == name) return v;
  return std::nullopt;
}

}  // namespace

std::string_view operationName(Operation operation) { return nameIn(kOperations, operation); }
std::string_view outcomeName(Outcome outcome) { return nameIn(kOutcomes, outcome); }
std::optional<Operation> operationNamed(std::string_view name) {
  return valueIn<Operation>(kOperations, name);
}
std::optional<Outcome> outcomeNamed(std::string_view name) {
  return valueIn<Outcome>(kOutcomes, name);
}

std::string utcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string newUid(std::string_view desk) {
  // The time to the second and 64 random bits: two records of one desk in the same second
  // still differ, and the desk keeps records of different desks apart.
  static thread_local std::mt19937_64 generator{[] {
    std::random_device device;
    return (std::uint64_t{device()} << 32) ^ device();
  }()};
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  char random[17];
  std::snprintf(random, sizeof random, "%016llx", static_cast<unsigned long long>(generator()));
  return std::string(desk) + "-" + stamp + "-" + random;
}

std::string thisDesk() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string thisOperator() {
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name && *entry->pw_name)
    return entry->pw_name;
  for (const char* variable : {"LOGNAME", "USER"})
    if (const char* value = std::getenv(variable); value && *value) return value;
  return {};
}

}  // namespace palor::records
