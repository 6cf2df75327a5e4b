// SPDX-License-Identifier: GPL-3.0-or-later
// One encode, checksum fill and decode of a full configuration through the form state, as a
// save followed by an open does it. The decode alternates between two different images so
// that every field really changes and its rules run.
#include <benchmark/benchmark.h>

#include <string>

#include "config/image_checksums.h"
#include "ui/vendrel.h"

namespace {

using palor::FormState;

// Every address on and named, every folder active, every text at full width.
void fullConfiguration(FormState& form, char variant) {
  palor::SettingsRecord& r = form.record();
  const std::string letters(16, variant);
  for (int n = 1; n <= palor::kAddressRows; ++n) {
    r.setChecked(palor::rowField("addr", n, "en"), true);
    r.setIndex(palor::rowField("msgtype", n), 1);
    r.setText(palor::rowField("address", n), std::to_string(1000000 + 8 * n + (variant - 'A')));
    r.setText(palor::rowField("Capcode", n, "Name"), letters);
    for (char t : palor::kToneLetters)
      r.setText(palor::rowField("Capcode", n, std::string("Tone") + t), letters);
  }
  for (int k = 0; k < palor::kFolders; ++k) {
    r.setText(palor::folderField("pubboxlength", k), variant == 'A' ? "6" : "5");
    r.setChecked(palor::folderField("pubboxact", k), true);
    r.setText(palor::folderField("pubbox", k), letters.substr(0, 9));
  }
  r.setText("hellomsg1", letters.substr(0, 14));
  r.setText("otaKillMsg", letters + letters + letters.substr(0, 8));
  r.setText("serial", letters.substr(0, 8));
  r.setText("channelfreq", variant == 'A' ? "457.01250" : "152.83750");
  r.setIndex("channelspace", variant == 'A' ? 2 : 4);
}

void BM_EncodeFillDecode(benchmark::State& state) {
  FormState form;
  form.startUp();
  palor::ConfigImage images[2];
  for (int i = 0; i < 2; ++i) {
    fullConfiguration(form, static_cast<char>('A' + i));
    if (!form.encodeWriteImage()) state.SkipWithError("the full configuration does not encode");
    images[i] = form.images().writeImage;
  }
  int next = 0;
  for (auto _ : state) {
    form.encodeWriteImage();
    palor::fillChecksums(form.images().writeImage);
    benchmark::DoNotOptimize(form.images().writeImage.data());
    form.images().writeImage = images[next];
    next ^= 1;
    form.decodeWriteImage(3);
  }
}
BENCHMARK(BM_EncodeFillDecode)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
