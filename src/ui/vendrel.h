#pragma once
// Unit Vendrel, headless: everything the main window owns and does, without a single
// widget. The Qt window TForm1 shows this state and forwards the user's actions to it;
// palorctl and the tests drive it directly.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/image_layout.h"
#include "config/settings_record.h"
#include "ui/status_log.h"

namespace palor {

inline constexpr std::string_view kLayoutCaption = "PALOR Programmer";
inline constexpr std::string_view kApplicationTitle = "PALOR Customer Programmer (Dururovera)";

// The parts of the main window that are not settings: title, menu states, hidden page,
// timers and dropped-file registration.
struct MainWindowState {
  std::string title{kLayoutCaption};
  bool hardwarePageVisible = true;
  bool writeToPagerEnabled = true;   // link items: enabled once a pager is identified
  bool readFromPagerEnabled = true;
  bool connectPagerVisible = true;
  bool repairChecked = false;
  bool fileMenuEnabled = true;       // both submenus are disabled during a pager read or write
  bool helpMenuEnabled = true;
  bool comClockRunning = false;      // the 40 ms protocol timer
  bool watchSerialRunning = false;   // the 500 ms port watch
  bool acceptsDroppedFiles = false;
  bool closeRequested = false;
};

// What start-up learns from the machine it runs on.
struct StartUpEnvironment {
  std::vector<std::string> ports;  // the charger adapter's serial ports
  char decimalSeparator = '.';     // the PC's number format
};

class FormState {
 public:
  FormState();
  FormState(const FormState&) = delete;
  FormState& operator=(const FormState&) = delete;

  // Main window creation, after every field took its default.
  void startUp(const StartUpEnvironment& environment = {});
  // Main window destruction.
  void shutDown();

  SettingsRecord& record() { return record_; }
  const SettingsRecord& record() const { return record_; }
  StatusLog& log() { return log_; }
  const StatusLog& log() const { return log_; }
  const MainWindowState& window() const { return window_; }
  // Told after any change of window().
  void setWindowObserver(std::function<void()> observer) { windowObserver_ = std::move(observer); }

  // The version byte of the last identified pager; 3 until one reports.
  std::uint8_t firmwareVersion() const { return firmwareVersion_; }
  void setFirmwareVersion(std::uint8_t version) { firmwareVersion_ = version; }
  // The PC's decimal separator as found by the start-up test.
  char decimalSeparator() const { return decimalSeparator_; }

  // Menu handlers.
  void Exit1Click();
  void Repair1Click();
  void About1Click();
  void ConnectPagerClick();

  // Address rules.
  void Method28aClick();

  // The image buffer: the write image (encoded, saved, sent) and the read image (what a file
  // or the pager delivered).
  ImageBuffer& images() { return images_; }
  const ImageBuffer& images() const { return images_; }

  // Channel frequency rules: the key rule and the exit rule of `channelfreq`.
  bool channelfreqKeyPress(char key);
  void channelfreqExit();

  // Encodes the settings into the zeroed write image with the pager firmware version. False
  // (after logging why) when the encoder refuses. A number field that is no number throws
  // ConversionError and leaves the write image half-built.
  bool encodeWriteImage();
  // The image an image file gets: encodeWriteImage, the pager firmware version in byte 0,
  // the checksums filled. The pre-store checks are the caller's, before.
  bool encodeImageForFile();
  // The decoder on the write image, with `version` choosing the rangetime placement.
  void decodeWriteImage(std::uint8_t version);

 private:
  void attachRules();
  void setLinkItemsEnabled(bool enabled);
  template <typename Change>
  void changeWindow(Change change);

  void attachChannelRules();

  SettingsRecord record_;
  ImageBuffer images_;
  StatusLog log_;
  MainWindowState window_;
  std::function<void()> windowObserver_;
  std::uint8_t firmwareVersion_ = 3;
  char decimalSeparator_ = '.';
};

}  // namespace palor
