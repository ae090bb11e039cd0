#pragma once
// Replacing the mouse's firmware through its loader, and the versions of the file and the mouse.
#include <cstdint>
#include <string>

namespace orv {

class AgentConf;
class Clock;
class DriverChannel;
class PeerWindows;

class FirmwareUpdate {
 public:
  FirmwareUpdate(DriverChannel& driver, Clock& clock, const AgentConf& conf, PeerWindows& peers,
                 std::string programFolder);
  FirmwareUpdate(const FirmwareUpdate&) = delete;
  FirmwareUpdate& operator=(const FirmwareUpdate&) = delete;

  // The update from a file: `path` (null: the file named in Firmware.xml). 0 or -1.
  int UpdateFirmware(const std::u16string* path);
  // Firmware.xml's version in the upper 16 bits, the mouse's below; -1 when either is unknown.
  int64_t FirmwareVersions();
  // Reads the mouse's version into FWVersion.xml and tells the About window.
  void PublishFirmwareVersion();
  // The mouse is gone: FWVersion.xml says 0 and the About window is told.
  void PublishNoFirmware();

 private:
  bool ReadFirmwareXml(std::u16string& file, int64_t& version);
  void WaitForConnect(int32_t before);

  DriverChannel& driver_;
  Clock& clock_;
  const AgentConf& conf_;
  PeerWindows& peers_;
  std::string programFolder_;
};

}  // namespace orv
