// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/vendrel.h"

#include "config/channel_frequency.h"
#include "records/record_keeper.h"
#include "ui/messages.h"

namespace palor {

FormState::FormState() { attachRules(); }

void FormState::attachRules() {
  attachAddressRules();
  attachFolderRules();
  attachFieldRules();
  attachChannelRules();
}

void FormState::startUp(const StartUpEnvironment& environment) {
  About1Click();
  SetLinkItems(false);

  // The port watch and the protocol timer run only while there is a port to watch.
  link_.InitPorts(environment.portSource ? environment.portSource : fixedPorts(environment.ports),
                  environment.watchDevices);
  link_.watch().forgetRememberedPort();
  link_.watch().StartScan();
  showLinkTimers();

  // A PC whose number format does not read "475.1" writes numbers with a comma.
  decimalSeparator_ = decimalSeparatorFor(environment.decimalSeparator);
  if (decimalSeparator_ == ',') record_.setText("channelfreq", "471,00000");

  changeWindow([](MainWindowState& w) {
    w.hardwarePageVisible = false;
    w.title = kApplicationTitle;
  });
  record_.setEnabled("contrast", false);
  changeWindow([](MainWindowState& w) { w.connectPagerVisible = false; });
  Method28aClick();
  changeWindow([](MainWindowState& w) { w.acceptsDroppedFiles = true; });
  if (!environment.openFile.empty()) (void)OpenConfigurationFile(environment.openFile);
}

void FormState::shutDown() {
  link_.shutDown();
  changeWindow([](MainWindowState& w) { w.acceptsDroppedFiles = false; });
}

void FormState::Exit1Click() {
  changeWindow([](MainWindowState& w) { w.closeRequested = true; });
}

void FormState::Repair1Click() {
  changeWindow([](MainWindowState& w) {
    w.repairChecked = !w.repairChecked;
    w.repairNoticeText = w.repairChecked ? std::string(kRepairNotice) : std::string();
  });
}

void FormState::About1Click() { log_.append(msg::kAbout); }

void FormState::ConnectPagerClick() {}

}  // namespace palor
