// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/firmware_options.h"

namespace palor {

void ApplyFirmwareOptions(SettingsRecord& r, std::uint8_t version, std::uint8_t revision) {
  // "At least version.revision", for the firmware of the pager in hand.
  auto atLeast = [&](int v, int rev) { return version > v || (version == v && revision >= rev); };
  const FieldId buzzer = r.id("useInternalBuzzer");
  const FieldId infoMode = r.id("msgInfoMode");
  const FieldId lowcell = r.id("lowcell");
  const FieldId pll = r.id("pll");

  if (version < 3) r.setChecked(buzzer, false);
  if (!atLeast(3, 1)) r.setChecked(infoMode, false);
  r.setItemText(lowcell, 1, atLeast(3, 2) ? "120 sec" : "16 sec");
  if (r.index(lowcell) < 0) r.setIndex(lowcell, 1);
  r.setEnabled(infoMode, atLeast(3, 1));
  r.setEnabled(pll, atLeast(3, 3));
  if (!r.enabled(pll)) r.setIndex(pll, 0);  // "SM5170"
  r.setEnabled(buzzer, version > 2);
}

}  // namespace palor
