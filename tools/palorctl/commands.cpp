#include "commands.h"

#include <cstdio>
#include <iostream>

#include "config/image_checksums.h"
#include "files/atomic_file.h"
#include "files/file_read.h"
#include "record_dump.h"
#include "session.h"
#include "ui/vendrel.h"

namespace palor::ctl {

int prepare(Session& s, const std::optional<std::string>& file, const CommonOptions& options) {
  if (options.firmware) s.form.setFirmwareVersion(*options.firmware);
  if (file && !s.form.OpenConfigurationFile(*file))
    return refused(*file + ": not loaded (a .bin, .eep or .csv file is needed)");
  for (const ScriptedEdit& edit : options.edits) {
    applyEdit(s.form, edit);
    (void)s.form.record().takeFocusRequest();
  }
  return kDone;
}

namespace {

void print(const SettingsRecord& record, bool json) {
  if (json)
    std::cout << recordToJson(record).dump(2) << '\n';
  else
    printRecordTable(std::cout, record);
}

}  // namespace

int dump(const std::optional<std::string>& file, const CommonOptions& options) {
  return guarded([&] {
    Session s;
    if (const int status = prepare(s, file, options)) return status;
    print(s.form.record(), options.json);
    return kDone;
  });
}

int encode(const std::string& out, const CommonOptions& options) {
  return guarded([&] {
    Session s;
    if (const int status = prepare(s, std::nullopt, options)) return status;
    if (!s.form.buildImageFile()) return refused("the configuration was refused");
    const ConfigImage& image = s.form.images().writeImage;
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    return saveFileAtomically(out, bytes) ? kDone : refused(out + ": cannot be written");
  });
}

int decode(const std::string& in, const CommonOptions& options) {
  return guarded([&] {
    Session s;
    const auto bytes = readFileStart(in, kImageSize);
    if (!bytes) return refused(in + ": cannot be read");
    if (!s.form.loadImageFile(*bytes, in)) return kRefused;
    print(s.form.record(), options.json);
    return kDone;
  });
}

int convert(const std::optional<std::string>& in, const std::string& out,
            const CommonOptions& options) {
  return guarded([&] {
    Session s;
    if (const int status = prepare(s, in, options)) return status;
    if (!s.form.PreStoreChecks()) return refused("the configuration was refused");
    return s.form.SaveConfigurationFile(out) ? kDone : kRefused;
  });
}

int check(const std::string& file) {
  const auto bytes = readFileStart(file, kImageSize);
  if (!bytes) return refused(file + ": cannot be read");
  if (bytes->size() < kImageSize)
    return refused(file + ": " + std::to_string(bytes->size()) + " bytes, an image has " +
                   std::to_string(kImageSize));
  ConfigImage image;
  std::copy(bytes->begin(), bytes->end(), image.begin());
  bool ok = true;
  auto report = [&](const char* name, std::uint16_t stored, std::uint16_t computed) {
    char line[96];
    std::snprintf(line, sizeof line, "%s checksum: stored 0x%04X, computed 0x%04X: %s", name,
                  stored, computed, stored == computed ? "ok" : "FAILS");
    std::cout << line << '\n';
    ok = ok && stored == computed;
  };
  report("settings", storedSettingsChecksum(image), settingsChecksum(image));
  report("hardware", storedHardwareChecksum(image), hardwareChecksum(image));
  return ok ? kDone : kRefused;
}

int diff(const std::string& a, const std::string& b) {
  return guarded([&] {
    Session first;
    Session second;
    if (!first.form.OpenConfigurationFile(a)) return refused(a + ": not loaded");
    if (!second.form.OpenConfigurationFile(b)) return refused(b + ": not loaded");
    const SettingsRecord& ra = first.form.record();
    const SettingsRecord& rb = second.form.record();
    bool differ = false;
    for (std::size_t i = 0; i < SettingsRecord::size(); ++i) {
      const auto f = static_cast<FieldId>(i);
      const std::string va = describeValue(ra, f);
      const std::string vb = describeValue(rb, f);
      if (va == vb) continue;
      std::cout << SettingsRecord::schema(f).name << ": " << va << " | " << vb << '\n';
      differ = true;
    }
    return differ ? kRefused : kDone;
  });
}

}  // namespace palor::ctl
