#pragma once
// Single values of Config.xml kept outside the profiles (the panel's settings flags and the
// two device values written at once), and FWVersion.xml.
#include <string>

namespace orv {

enum class ConfigValue {
  TrayIconFlag,           // TRAY_ICON_FLAG: 1 once the panel has told the tray program
  WarningOptionFlag,      // WARNING_OPTION_FLAG: 1 hides the macro warning
  WarningThree2OptionFlag,// WARNINGTHREE2_OPTION_FLAG: 1 hides the lift-distance warning
  WarningFourOptionFlag,  // WARNINGFOUR_OPTION_FLAG: 1 hides the assignment window's other warning
  PollingRate,            // POLLING_RATE
  LiftDistance,           // LIFT_DISTANCE
};

// Loads the Conf folder's Config.xml and sets the element (adding it as the root's last child
// when missing). Nothing is written when the file does not load; returns whether it was written.
bool WriteConfigValue(const std::string& confFolder, ConfigValue value, int number);
// The element's number; 0 when it, or the file, is missing.
int ReadConfigValue(const std::string& confFolder, ConfigValue value);

// The macro-warning switch of the Tools menu: 1 unless the flag was 1, then 0. Returns the new value.
int ToggleMacroWarningFlag(const std::string& confFolder);

inline constexpr char kFirmwareVersionFileName[] = "FWVersion.xml";
// The largest FWVersion.xml that is read (it holds two numbers).
inline constexpr size_t kMaxVersionFileSize = 1u << 20;
inline constexpr int kSoftwareVersion = 115;

// Sets FW_VERSION and SOFTWARE_VERSION where FWVersion.xml has them, or writes a new file with both.
bool WriteFirmwareVersionFile(const std::string& confFolder, int firmwareVersion);
int ReadFirmwareVersion(const std::string& confFolder);
int ReadSoftwareVersion(const std::string& confFolder);

}  // namespace orv
