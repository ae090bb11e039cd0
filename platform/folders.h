#pragma once
// Where the programs keep and find their files. The generic path and file helpers are in
// base/files.h.
#include <string>
#include <string_view>

#include "base/files.h"
#include "base/registry_store.h"

namespace orv {

// The per-user application-data folder: $XDG_CONFIG_HOME, else $HOME/.config.
std::string AppDataFolder();
// <app data>/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Conf: Config.xml, TrayIcon.xml, FWVersion.xml.
std::string ConfFolder();
// <app data>/Veltrix/Orvandel Tidefall MMO Gaming Mouse/Profile: where exported profiles go.
std::string ProfileFolder();
// The file that stands in for the user's registry values.
std::string RegistryFile();

// Creates Veltrix, the product folder and Conf under the application-data folder (and the
// application-data folder itself). Returns false if Conf does not exist afterwards.
bool CreateConfFolders();

// The folder of the running executable with a trailing '/': where the programs find their
// product data (default Config.xml, TrayIcon.xml, skins, Firmware.xml...). Empty if unknown.
std::string ProgramFolder();

// The registry values of the logged-in user (RegistryFile()).
RegistryStore UserRegistry();

}  // namespace orv
