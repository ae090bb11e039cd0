#pragma once
#include <string>
#include <string_view>

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

// Copies `from` to `to` unless `to` exists already (a user's file is never overwritten).
// True when `to` was written.
bool CopyFileIfMissing(const std::string& from, const std::string& to);

// `folder` and `name` joined by exactly one '/'.
std::string JoinPath(std::string_view folder, std::string_view name);

// Creates a folder and its missing parents (mode 0700 for new ones). True if it exists afterwards.
bool MakeFolders(const std::string& path);

}  // namespace orv
