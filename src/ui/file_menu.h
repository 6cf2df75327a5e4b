// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The File menu's dialogs: their filters, pairs of display text and patterns, all
// separated by bars, and the extension a name without one gets.
#include <string_view>

namespace palor {

inline constexpr std::string_view kOpenDialogFilter =
    "Pager Settings (*.bin, *.eep)|*.bin; *.eep|CSV (comma delimited) (*.csv)|*.csv";
inline constexpr std::string_view kSaveDialogFilter =
    "Pager Settings (*.bin)|*.bin|CSV (comma delimited) (*.csv)|*.csv";
inline constexpr std::string_view kDialogDefaultExtension = "bin";

}  // namespace palor
