// Address rules: the address rows of the Addresses tab and the urgent-call display.
#include "ui/vendrel.h"

namespace palor {

void FormState::Method28aClick() {
  const bool perTone = record_.checked("method28a");
  for (int row = 1; row <= kAddressRows; ++row)
    for (char tone : kToneLetters)
      record_.setVisible(record_.id(rowField("UrgentCall", row, std::string(1, tone))), perTone);
  record_.setVisible(record_.id("urgcalltype"), !perTone);
}

}  // namespace palor
