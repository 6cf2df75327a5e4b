// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Unit Vendrel, headless: everything the main window owns and does, without a single
// widget. The Qt window TForm1 shows this state and forwards the user's actions to it;
// palorctl and the tests drive it directly.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/image_layout.h"
#include "config/settings_record.h"
#include "files/file_error.h"
#include "link/pager_link.h"
#include "ui/batch_job.h"
#include "ui/main_window_state.h"
#include "ui/operation_record.h"
#include "ui/status_log.h"

namespace palor {

namespace records {
class RecordKeeper;
struct ProgrammingRecord;
}  // namespace records

// The address range test: 8..2007663, 2007672..2045055 and 2045064..2097143 are valid.
bool isValidAddress(int value);

// What a file command came to. When the file itself could not be read or written,
// `fileError` says why (the status log says only "Load failed" or "Save failed"); a refusal
// for another reason (a corrupted image, a name that is no configuration file) has none.
struct FileCommandOutcome {
  bool done = false;
  std::optional<FileError> fileError;
  explicit operator bool() const { return done; }
};

class FormState {
 public:
  FormState();
  ~FormState();
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
  std::uint8_t firmwareVersion() const { return link_.protocol().firmwareVersion(); }
  void setFirmwareVersion(std::uint8_t version) { link_.protocol().setFirmwareVersion(version); }
  // The PC's decimal separator as found by the start-up test.
  char decimalSeparator() const { return decimalSeparator_; }

  // The pager link: serial port, frames, protocol and connection watch.
  PagerLink& link() { return link_; }
  const PagerLink& link() const { return link_; }

  // The link's timers: the 40 ms protocol tick and the 500 ms connection watch.
  void Com_clockTimer();
  void watch_serialTimer();
  // The device-change handling of the window's messages: every notice the device monitor
  // holds (the view calls it when the monitor's descriptor is readable), or one notice.
  void DeviceChange();
  void DeviceChange(DeviceNotice notice);
  // The link items Read_From_Pager and Write_To_Pager, and the Stop button.
  void ReadFromPagerClick();
  // The pre-store checks, the pager number of a new pager, the preliminary read (unless
  // Help / Repair is checked), the encoder and the checksums, then the write; once it has
  // started, the addresses advance for the next pager.
  void WriteToPagerClick();
  void read_write_stopClick();
  void SetLinkItems(bool enabled);
  // File and Help, and with them the pages and the pager number (window().pagesEditable):
  // disabled for the time of a pager read or write.
  void SetFileHelp(bool enabled);
  // Asked before the window closes. During a pager read or write closing would leave the
  // pager half-written: it is refused, with "Wait until the pager is finished, or press
  // Stop." in the status log. Otherwise closing goes on (and shutDown sends the closing
  // command).
  bool FormCloseQuery();

  // Menu handlers.
  void Exit1Click();
  void Repair1Click();
  void About1Click();
  void ConnectPagerClick();

  // Address rules. Rows are 1..8: addrEnClick(3) is the click rule addr3enClick.
  void addrEnClick(int row);

  // The format rule of tone column `tone` ('A'..'D') of a row: addr3formatBChange.
  void addrFormatChange(int row, char tone);

  // Change rule of address1..address8: the frame follows the value, an invalid value is
  // reported. A field that is no address field is ignored.
  void AddressChange(FieldId address);
  // Exit rule of address1..address8: zero-fill, then the uniqueness test.
  void AddressExit(FieldId address);
  // Change rule of msgtype1..msgtype8: opens or locks the Folders tab.
  void msgtypeChange();
  void Method28aClick();
  // Once a write to a pager has started: each address advances by its auto-increment step.
  void AdvanceAddresses();
  // Whether a switched-on address row has a step other than 0: a batch that saves the
  // configuration after each write gives the next pager other addresses only then.
  bool AnyAddressAdvances() const;

  // Folder rules. Folders are 0..15 (shown as [1]..[16]): pubboxactClick(10) is the click
  // rule pubboxactAClick.
  void pubboxactClick(int folder);
  // Exit rule of pubboxlength0..pubboxlengthF.
  void pubboxlengthExit(FieldId length);

  // Key rules: each sees a typed character and returns whether it is admitted; a refused
  // character is reported in the status log (HexKeyPress refuses silently).
  bool LengthKeyPress(char key);
  bool TonePatternKeyPress(char key);
  bool HexKeyPress(char key);
  bool SerialKeyPress(char key);

  // Fill rules: the text filled to the field's maximum length.
  void FixedStringExit(FieldId field);  // blanks on the right
  void FixedCodeExit(FieldId field);    // "0" on the right
  void FixedNumberExit(FieldId field);  // "0" in front
  // FixedNumberExit on address1..address8, in that order.
  void ZeroFillAddresses();

  // Range rules.
  void ContrastExit();
  void LcdHoldTimeChange();
  void LcdHoldTimeExit();
  void RangeTimeExit();
  void Bs1Exit();
  void Bs3Exit();

  // Switching rules.
  void ContrastUnlockClick();
  void PrivateFunControlClick();
  void RepeatCallCheckChange();
  void OtaKillCmdClick();

  // True exactly when the eight address texts all differ (compared as strings, letter case
  // ignored, switched-off rows included).
  bool AddressesAreUnique() const;
  // Run first by File / Save and Write_To_Pager: brings bs1, bs3 and contrast into range,
  // refuses empty or invalid addresses (silently) and equal ones (with a message), and
  // zero-fills the addresses. Returns whether the command may go on.
  bool PreStoreChecks();

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
  // What the loaders run once an image is decoded: msgtypeChange, then the zero-fill of the
  // eight addresses.
  void reapplyLoadedRules();

  // Save to an image file, up to the bytes to write: the pre-store checks, then
  // encodeImageForFile. False when either refuses (they log their own reasons; an invalid
  // address refuses silently).
  bool buildImageFile();
  // Open an image file, once its content has been read: the first 1024 bytes go into the
  // read image, the method28a rule is applied, and then fewer than 1024 bytes log
  // "Load failed" and a failed checksum test "File corrupted." (both return false, settings
  // and write image untouched); otherwise "Loaded data from " + `fileName` is logged, the
  // image is decoded with its byte 0 as the version and the loaders' rules run. A byte 0 of
  // 0 is no version: such an image is a dump of the pager's own EEPROM, and is decoded with
  // the pager firmware version in hand, as a read from the pager is.
  bool loadImageFile(std::span<const std::uint8_t> content, std::string_view fileName);
  // Whether the last image loadImageFile decoded was such a dump (byte 0 = 0).
  bool loadedPagerDump() const { return loadedPagerDump_; }
  // File menu. A dialog is asked for the file name; it gives nothing when the user cancels.
  using FileNameDialog = std::function<std::optional<std::string>()>;
  void Open1Click(const FileNameDialog& askOpenFileName);
  // The pre-save checks, then the dialog, then SaveConfigurationFile.
  void Save1Click(const FileNameDialog& askSaveFileName);
  // Opens a file by its extension: ".csv" a table, ".bin" and ".eep" an image; any other
  // name is ignored without a message. True when the file was loaded.
  FileCommandOutcome OpenConfigurationFile(const std::string& path);
  // Saves by the name's extension: ".csv" a table, anything else an image. The file is
  // replaced only when the whole new content is on disk. True when it was saved.
  FileCommandOutcome SaveConfigurationFile(const std::string& path);
  // Files dropped on the window: the first opens as File / Open opens it, except during a
  // pager read or write, when File is disabled and the drop is ignored.
  void FilesDropped(const std::vector<std::string>& paths);
  FileCommandOutcome ExportCsv(const std::string& path);
  FileCommandOutcome ImportCsv(const std::string& path);
  // One line of a table, with its line end, applied to the settings.
  void ApplyCsvLine(std::string_view line, int number);

  // After a pager read whose checksum test adopted the read image: decode with the pager
  // firmware version, then channelfreqExit and the loaders' rules.
  void decodeImageFromPager();

  // Programming records. Every read and write (and restore) is recorded in `keeper`, one
  // record when it ends; none: nothing is recorded.
  void setRecords(std::unique_ptr<records::RecordKeeper> keeper);
  records::RecordKeeper* records();
  // With `refuse`, a write whose switched-on address the records hold on another pager is
  // refused (nothing written, recorded as "refused") instead of only reported.
  void setUniqueCapcodes(bool refuse) { uniqueCapcodes_ = refuse; }
  // The id of the record of the last read, write or restore; none before the first, or when
  // nothing was recorded.
  std::optional<std::int64_t> lastRecordId() const { return recording_.lastId(); }
  // A record's image opened into the window as File / Open opens an image file, decoded with
  // the record's firmware version; false (with the status line saying why) when the record
  // holds no such image or it fails its checksum test.
  bool OpenRecordImage(const records::ProgrammingRecord& record, RecordImage which);
  // Restore: reads the pager in the charger first; when it holds the record's written image
  // (or `force`), writes the record's before-image back whole, hardware included, as it is:
  // no encoder, no auto-increment, no new pager number. Recorded as operation "restore".
  // Refused (the status line says why) when the record has no before-image.
  void RestoreToPagerClick(const records::ProgrammingRecord& record, bool force);

  // File / "Pager list...": a list of pagers (the batch's list file) loaded into the window.
  // While it is loaded, each Write_To_Pager first types the next row into the window, as a
  // user would (every rule runs), then writes; a completed write moves on to the next row,
  // a failed one keeps it. The strip at the top says where the list stands
  // (window().pagerListText). False, with the reason in the status log, when the file is no
  // list of pagers.
  bool LoadPagerList(const std::string& path);
  // Back to the ordinary window.
  void UnloadPagerList();
  bool pagerListLoaded() const { return pagerList_.has_value(); }

 private:
  struct LoadedPagerList {
    std::vector<BatchRow> rows;
    std::size_t next = 0;  // the row the next write gets
  };
  // The next row typed into the window; false (with the reason logged) when there is none
  // or a field refuses it.
  bool applyNextListRow();
  void showPagerList();
  void attachRules();
  void attachAddressRules();
  void attachFolderRules();
  void attachFieldRules();
  // What the pager link reports, turned into the window state and the status log.
  class LinkReports : public PagerLink::Owner {
   public:
    explicit LinkReports(FormState& form) : form_(form) {}
    void logMessage(LinkMessage message) override;
    void portRefused(const std::string& port, const PortOpenError& error) override;
    void SetLinkItems(bool enabled) override { form_.SetLinkItems(enabled); }
    void SetFileHelp(bool enabled) override { form_.SetFileHelp(enabled); }
    void setInfoText(BusyInfo info) override;
    void showProgress(bool shown) override;
    void setProgressPosition(int position) override;
    void pagerIdentified(std::uint8_t version, std::uint8_t revision) override;
    void operationEnded(LinkEnd end) override;

   private:
    FormState& form_;
  };
  // The record of the operation in hand: begun with the port and the pager, ended with
  // how the link ended it (or a refusal) and the status log's last line, then kept.
  void beginRecord(records::Operation operation);
  void endRecord(records::Outcome outcome);
  // The write proper, once the preliminary read (if any) is done.
  void writeNow();
  // The switched-on addresses that the records hold on another pager, each said in the
  // status log; false when the write must be refused for them.
  bool capcodesAllowWrite();
  // How the link ended a read or a write: the record, then what the window does next.
  void linkEnded(const LinkEnd& end);
  // The end of a restore's read (the before-image goes out, or the restore ends) or of
  // its write.
  void restoreLinkEnd(const LinkEnd& end);
  // The link's timers as its watch has left them.
  void showLinkTimers();
  // TxtPagerNumber advanced by one for a new pager.
  void advancePagerNumber();
  template <typename Change>
  void changeWindow(Change change) {
    change(window_);
    if (windowObserver_) windowObserver_();
  }

  void attachChannelRules();
  // Unchecks a folder (its rule runs) and disables its activation, title and length.
  void lockFolder(int folder);
  // "Saved data to " + path, or "Save failed".
  FileCommandOutcome logSaveOutcome(const FileOutcome& saved, const std::string& path);

  SettingsRecord record_;
  ImageBuffer images_;
  StatusLog log_;
  MainWindowState window_;
  std::function<void()> windowObserver_;
  char decimalSeparator_ = '.';
  bool loadedPagerDump_ = false;
  // Programming records: the keeper, the record of the operation in hand, what the last
  // preliminary read found on the pager (for the write that follows it), and the restore
  // in hand.
  std::unique_ptr<records::RecordKeeper> keeper_;
  OperationRecord recording_;
  std::optional<LoadedPagerList> pagerList_;
  bool uniqueCapcodes_ = false;
  struct PagerBefore {
    ConfigImage image;
    bool checksumOk;
  };
  std::optional<PagerBefore> pagerBefore_;
  struct Restore {
    std::int64_t recordId;
    ConfigImage before;
    std::optional<ConfigImage> written;
    std::string pagerNumber;
    bool force;
  };
  std::optional<Restore> restore_;
  LinkReports linkReports_{*this};
  PagerLink link_{images_, linkReports_};
};

}  // namespace palor
