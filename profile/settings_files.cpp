#include "profile/settings_files.h"

#include "base/files.h"
#include "profile/numbers.h"
#include "profile/profile_files.h"
#include "profile/xml_cursor.h"

#include <string_view>

namespace orv {
namespace {

std::u16string_view ElementOf(ConfigValue value) {
  switch (value) {
    case ConfigValue::TrayIconFlag: return u"TRAY_ICON_FLAG";
    case ConfigValue::WarningOptionFlag: return u"WARNING_OPTION_FLAG";
    case ConfigValue::WarningThree2OptionFlag: return u"WARNINGTHREE2_OPTION_FLAG";
    case ConfigValue::WarningFourOptionFlag: return u"WARNINGFOUR_OPTION_FLAG";
    case ConfigValue::PollingRate: return u"POLLING_RATE";
    case ConfigValue::LiftDistance: return u"LIFT_DISTANCE";
  }
  return {};
}

// The number in a root child of a file in the Conf folder; 0 when missing.
int ReadRootNumber(const std::string& confFolder, const char* file, size_t maxBytes, std::u16string_view element) {
  XmlCursor x;
  if (!x.LoadFile(JoinPath(confFolder, file), maxBytes) || !x.FindChildElement(element)) return 0;
  return ParseInt(x.GetChildText());
}

}  // namespace

bool WriteConfigValue(const std::string& confFolder, ConfigValue value, int number) {
  const std::string path = JoinPath(confFolder, kConfigFileName);
  XmlCursor x;
  if (!x.LoadFile(path, kMaxConfigFileSize) || !x.FindElement()) return false;
  x.EnterElement();
  const std::u16string_view element = ElementOf(value);
  if (x.FindElement(element)) x.SetText(FormatInt(number));
  else x.AddElement(element, number);
  return x.SaveFile(path);
}

int ReadConfigValue(const std::string& confFolder, ConfigValue value) {
  return ReadRootNumber(confFolder, kConfigFileName, kMaxConfigFileSize, ElementOf(value));
}

int ToggleMacroWarningFlag(const std::string& confFolder) {
  int next = ReadConfigValue(confFolder, ConfigValue::WarningOptionFlag) != 1 ? 1 : 0;
  WriteConfigValue(confFolder, ConfigValue::WarningOptionFlag, next);
  return next;
}

bool WriteFirmwareVersionFile(const std::string& confFolder, int firmwareVersion) {
  const std::string path = JoinPath(confFolder, kFirmwareVersionFileName);
  XmlCursor x;
  if (x.LoadFile(path, kMaxVersionFileSize) && x.FindElement()) {
    x.EnterElement();
    if (x.FindElement(u"FW_VERSION")) x.SetText(FormatInt(firmwareVersion));
    x.ResetPosition();
    x.FindElement();
    x.EnterElement();
    if (x.FindElement(u"SOFTWARE_VERSION")) x.SetText(FormatInt(kSoftwareVersion));
    return x.SaveFile(path);
  }
  XmlCursor fresh;
  StartRootDocument(fresh);
  fresh.AddElement(u"FW_VERSION", firmwareVersion);
  fresh.AddElement(u"SOFTWARE_VERSION", kSoftwareVersion);
  return fresh.SaveFile(path);
}

int ReadFirmwareVersion(const std::string& confFolder) {
  return ReadRootNumber(confFolder, kFirmwareVersionFileName, kMaxVersionFileSize, u"FW_VERSION");
}

int ReadSoftwareVersion(const std::string& confFolder) {
  return ReadRootNumber(confFolder, kFirmwareVersionFileName, kMaxVersionFileSize, u"SOFTWARE_VERSION");
}

}  // namespace orv
