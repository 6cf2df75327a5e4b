// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The image encoder and the image decoder: the settings record into a configuration image
// and back, both walking the byte map of image_map.h row by row.
#include "config/image_layout.h"
#include "config/image_map.h"
#include "config/settings_record.h"

namespace palor {

// Encodes the record into `image`, which is zeroed first. Works on the record as the window
// would: the space-padded texts are filled with blanks and `rangetime` goes through its
// range rule before they are stored. Returns false, with the image half-built, when the
// active public folders hold more than 99 slots; nothing else refuses. A number field whose
// text is no number throws ConversionError, leaving the image half-built too. The version
// byte 0 and the checksums are left 0 for the callers.
bool encodeImage(SettingsRecord& record, ConfigImage& image, const ImageOptions& options);

// Sets the record from `image` as a user would set the controls: check fields and texts
// through their click and change rules, item indexes without rules (the callers run
// msgtypeChange afterwards). Number texts are emptied before they are set, so their change
// rules run whatever the window held. Never fails: a stored value outside an item list selects
// nothing, and no byte outside the image is read.
void decodeImage(SettingsRecord& record, const ConfigImage& image, const ImageOptions& options);

// The hardware refresh before a write: the controls of the pager's own hardware take the
// values decoded from `image` exactly as decodeImage decodes them, in this order: contrast
// (only while contrastUnlock is unchecked), pll, overheatVoltage, lcd_opa, lcd_fosc, lcd_tc,
// lcd_bias, bs2_option, end_of_msg, clko, bs3, bs1, filter_strength, error_rate. All other
// controls keep their values.
void refreshHardware(SettingsRecord& record, const ConfigImage& image, const ImageOptions& options);

}  // namespace palor
