// SPDX-License-Identifier: GPL-3.0-or-later
// Opens arbitrary bytes as an image file, the way File / Open does once a file is read, and
// as a pager read delivers them:
//
//   1. the bytes as they are (nearly always refused by the length or checksum test);
//   2. from 1024 bytes on, the first 1024 with both checksums made to match, so that the
//      decoder and the loaders' rules see hostile settings; the configuration is then saved
//      as File / Save would, and saving the reopened save must give the same bytes again;
//   3. the same fixed image as a pager read, with byte 32 (never decoded) as the firmware
//      version the pager reported; a save afterwards must not throw;
//   4. from 2048 bytes on, the next 1024 (checksums fixed too) opened into the same window,
//      so that a loaded configuration meets the state another one left behind.
//
// Byte 255, which neither checksum covers and the decoder never reads, chooses the PC's
// decimal separator. After every open the record must stay within its schema. Opening may
// never throw. Saving may throw the conversion error for one reason only: an image whose
// synthesizer words hold no frequency (spacing code 6 or 7, band code 3, bit 7 of byte 256
// set, or no chip) opens with `channelfreq` empty, and an empty frequency is no number.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "config/image_checksums.h"
#include "record_invariants.h"
#include "ui/vendrel.h"

namespace {

using palor::ConfigImage;
using palor::FormState;
using palor::kImageSize;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

ConfigImage withChecksums(std::span<const std::uint8_t> bytes) {
  ConfigImage image{};
  std::copy_n(bytes.begin(), kImageSize, image.begin());
  palor::fillChecksums(image);
  return image;
}

void openValid(FormState& form, const ConfigImage& image) {
  if (!form.loadImageFile(image, "fuzz.bin")) fail("an image with matching checksums was refused");
  palor::fuzz::checkRecordInvariants(form.record());
}

// Saves the loaded configuration as File / Save would; when the save goes through, the saved
// image opened in a fresh window and saved again must give the same bytes.
void saveAndReopen(FormState& form, char separator) {
  try {
    if (!form.buildImageFile()) return;
  } catch (const palor::ConversionError& e) {
    if (!e.text().empty() || !form.record().text("channelfreq").empty()) throw;
    return;
  }
  const ConfigImage saved = form.images().writeImage;
  if (!palor::checksumsMatch(saved)) fail("a saved image carries wrong checksums");

  FormState again;
  again.startUp({{}, separator});
  again.setFirmwareVersion(form.firmwareVersion());
  openValid(again, saved);
  if (!again.buildImageFile()) fail("a reopened save was refused");
  const ConfigImage& resaved = again.images().writeImage;
  if (resaved != saved) {
    for (std::size_t i = 0; i < kImageSize; ++i)
      if (resaved[i] != saved[i])
        std::fprintf(stderr, "byte %zu: saved 0x%02X, saved again 0x%02X\n", i, saved[i],
                     resaved[i]);
    fail("saving a reopened save changed the image");
  }
}

// The image as a pager read delivers it: checksum test, decoding with the firmware version
// the pager reported, the frequency rule and the loaders' rules. The frequency rule
// completes whatever the decoder showed, so a save or write afterwards never meets a
// frequency it cannot read.
void readFromPager(const ConfigImage& image, std::uint8_t version, char separator) {
  FormState form;
  form.startUp({{}, separator});
  form.setFirmwareVersion(version);
  form.images().readImage = image;
  if (!palor::checksumTestAndAdopt(form.images()))
    fail("a pager image with matching checksums was refused");
  form.decodeImageFromPager();
  palor::fuzz::checkRecordInvariants(form.record());
  (void)form.buildImageFile();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const char separator = size > 255 && (data[255] & 1) ? ',' : '.';

  {
    FormState form;
    form.startUp({{}, separator});
    const bool loaded = form.loadImageFile(input, "fuzz.bin");
    palor::fuzz::checkRecordInvariants(form.record());
    if (loaded && size < kImageSize) fail("a short file was loaded");
  }
  if (size < kImageSize) return 0;

  const ConfigImage first = withChecksums(input.first(kImageSize));
  FormState form;
  form.startUp({{}, separator});
  openValid(form, first);
  saveAndReopen(form, separator);
  readFromPager(first, data[32], separator);

  if (size >= 2 * kImageSize) {
    openValid(form, withChecksums(input.subspan(kImageSize, kImageSize)));
    saveAndReopen(form, separator);
  }
  return 0;
}
