// Fuzz target for the small settings files: FWVersion.xml (part 1) and the single values of
// Config.xml (part 2) as the programs read them and write one value back into them. A value
// written into a file that has its element reads back as written.
#include <string>

#include "base/files.h"
#include "fuzz_input.h"
#include "profile/profile_files.h"
#include "profile/settings_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orv;
  static const std::string conf = fuzz::ScratchSubfolder("settings");
  const auto parts = fuzz::SplitParts(data, size, 2);
  const int number = static_cast<int>(size * 7919 % 100000);

  const std::string fwPath = JoinPath(conf, kFirmwareVersionFileName);
  ORV_FUZZ_CHECK(ReplaceFileContents(fwPath, {parts[0]}));
  const int before = ReadFirmwareVersion(conf);
  (void)ReadSoftwareVersion(conf);
  ORV_FUZZ_CHECK(WriteFirmwareVersionFile(conf, number));
  const int after = ReadFirmwareVersion(conf);
  // Where the file had the element it now holds the new version.
  if (before != 0) ORV_FUZZ_CHECK(after == number);
  ORV_FUZZ_CHECK(after == number || after == 0);

  if (parts.size() < 2) return 0;
  const std::string configPath = JoinPath(conf, kConfigFileName);
  ORV_FUZZ_CHECK(ReplaceFileContents(configPath, {parts[1]}));
  const ConfigValue values[] = {ConfigValue::TrayIconFlag,          ConfigValue::WarningOptionFlag,
                                ConfigValue::WarningThree2OptionFlag, ConfigValue::WarningFourOptionFlag,
                                ConfigValue::PollingRate,           ConfigValue::LiftDistance};
  for (size_t i = 0; i < std::size(values); ++i) {
    (void)ReadConfigValue(conf, values[i]);
    const int value = number + static_cast<int>(i);
    if (WriteConfigValue(conf, values[i], value)) ORV_FUZZ_CHECK(ReadConfigValue(conf, values[i]) == value);
  }
  const int flag = ToggleMacroWarningFlag(conf);
  ORV_FUZZ_CHECK(flag == 0 || flag == 1);
  return 0;
}
