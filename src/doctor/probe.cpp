// SPDX-License-Identifier: GPL-3.0-or-later
// The probe of a port, as the window's connection watch makes it: a form of its own with
// this one port, ticked on the link clock until the charger has answered the presence
// poll, and then until the pager in it has identified itself.
#include <algorithm>
#include <cstdint>

#include "doctor/checks.h"
#include "ui/messages.h"
#include "ui/vendrel.h"

namespace palor::doctor {
namespace {

// The first data byte of a valid identification reply.
constexpr std::uint8_t kValidIdentification = 1;

bool logged(const FormState& form, std::string_view line) {
  const auto& lines = form.log().lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string version(int firmware, std::optional<int> revision) {
  std::string text = "firmware version " + std::to_string(firmware);
  if (revision) text += " revision " + std::to_string(*revision);
  return text;
}

}  // namespace

Findings probe(const std::string& port, const ProbeTiming& timing) {
  FormState form;
  form.startUp({.ports = {port}});
  // The charger's first report (pager in or not), and the pager's identification.
  std::optional<std::uint8_t> presence;
  std::optional<std::vector<std::uint8_t>> identification;
  form.link().setReceivedObserver([&](const ReceivedFrame& frame) {
    if (!frame.checksumOk()) return;
    if (!presence && (frame.code() == code::kNoPager || frame.code() == code::kPagerPresent))
      presence = frame.code();
    if (frame.code() == code::kIdentify) {
      const auto data = frame.data();
      identification.emplace(data.begin(), data.end());
    }
  });
  LinkClock clock(timing.intervals);
  clock.add(form);
  Findings findings;
  const std::string subject = "charger on " + port;
  const bool answered =
      clock.runUntil([&] { return logged(form, msg::kDururoveraConnected); }, timing.chargerLimit);
  if (!answered) {
    findings.push_back({false, subject, "no answer: is the charger switched on and its cable in?"});
  } else if (presence == code::kNoPager) {
    findings.push_back({true, subject, "answers"});
    findings.push_back({false, subject, "no pager in the charger: put the pager in"});
  } else {
    findings.push_back({true, subject, "answers"});
    const auto ended = [&] {
      return logged(form, msg::kPagerConnected) || logged(form, msg::kUnsupportedPager) ||
             logged(form, msg::kFirmwareTooNew) || logged(form, msg::kPagerDisconnected);
    };
    clock.runUntil(ended, timing.pagerLimit);
    const std::string pager = "pager on " + port;
    const bool valid = identification && identification->size() >= 2 &&
                       (*identification)[0] == kValidIdentification;
    std::optional<int> revision;
    if (valid && identification->size() > 2) revision = (*identification)[2];
    const int firmware = valid ? (*identification)[1] : 0;
    if (logged(form, msg::kPagerConnected)) {
      findings.push_back({true, pager, version(firmware, revision) + ", supported"});
    } else if (logged(form, msg::kFirmwareTooNew)) {
      findings.push_back(
          {false, pager, version(firmware, revision) + ": " + std::string(msg::kFirmwareTooNew)});
    } else if (logged(form, msg::kUnsupportedPager)) {
      findings.push_back(
          {false, pager,
           valid ? version(firmware, revision) +
                       ": not supported by this program (it programs firmware versions 2 and 3)"
                 : "its identification is not in the expected form: this pager is not "
                   "supported by this program"});
    } else if (logged(form, msg::kPagerDisconnected)) {
      findings.push_back({false, pager, "taken out during the check: put the pager in"});
    } else {
      findings.push_back({false, pager,
                          "in the charger but it did not identify itself: take it out and put "
                          "it in again"});
    }
  }
  form.link().setReceivedObserver({});
  form.shutDown();
  clock.remove(form);
  return findings;
}

}  // namespace palor::doctor
