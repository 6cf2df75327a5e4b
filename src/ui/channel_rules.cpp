// SPDX-License-Identifier: GPL-3.0-or-later
// The channel frequency's rules: only its characters are typed, and leaving it completes
// the text and shows the frequency at the nearest synthesizer step.
#include "config/channel_frequency.h"
#include "ui/vendrel.h"

namespace palor {

void FormState::attachChannelRules() {
  const FieldId channel = record_.id("channelfreq");
  record_.setKeyRule(
      channel, [this](FieldId, char key) { return channelfreqKeyPress(key); },
      "channelfreqKeyPress");
  record_.setExitRule(
      channel, [this](FieldId) { channelfreqExit(); }, "channelfreqExit");
}

bool FormState::channelfreqKeyPress(char key) {
  return palor::channelfreqKeyPress(record_, key, decimalSeparator_);
}

void FormState::channelfreqExit() {
  palor::channelfreqExit(record_, images_.writeImage, decimalSeparator_);
}

}  // namespace palor
