#pragma once
// Config.xml (the whole ProfileSet), TrayIcon.xml (profile names for the tray program),
// exported profile files and the agent's single-value writes.
#include <string>
#include <string_view>

#include "profile/records.h"

namespace orv {

class RegistryStore;
class XmlCursor;

inline constexpr char kConfigFileName[] = "Config.xml";
inline constexpr char kTrayIconFileName[] = "TrayIcon.xml";

// The largest files read as these. A Config.xml with every macro of every profile full is
// about 10 MB; an exported profile, a tenth of that; TrayIcon.xml holds ten names.
inline constexpr size_t kMaxConfigFileSize = 64u << 20;
inline constexpr size_t kMaxProfileFileSize = 16u << 20;
inline constexpr size_t kMaxTrayIconFileSize = 1u << 20;
// The largest data file of the program folder that is read (Skins.xml, Strings.xml, Menu.xml,
// Functions.xml, Firmware.xml): texts a translator or designer edits, far smaller than this.
inline constexpr size_t kMaxProgramDataFileSize = 16u << 20;

// What LoadProfileSet found.
enum class ProfileSetLoad {
  Loaded,      // the file was read (validation may still have replaced values)
  Missing,     // no file (or no path): the defaults
  Unreadable,  // a file that does not load as XML: the defaults
};

// Reset, read the file if it loads and is well-formed, validate. Never fails: a missing or
// broken file gives the defaults. A file that does not load and values that validation
// replaced are logged (info).
ProfileSetLoad LoadProfileSet(const std::string& path, ProfileSet& set);

// SaveProfileSet's results.
enum SaveProfileSetResult : int {
  kSaveDone = 0,
  kSaveRegistryUnavailable = -1,  // the registry cannot be opened: no file was touched
  kSaveConfigNotWritten = -2,     // Config.xml could not be written (a folder in its place, a full
                                  // disk, no permission): it is as before, TrayIcon.xml untouched
  kSaveTrayIconNotWritten = -3,   // Config.xml was written, TrayIcon.xml could not be
};

// The name an unreadable Config.xml is kept under when a new document replaces it.
inline constexpr char kBrokenConfigSuffix[] = ".broken";

// Writes the active profile's pointer values to the registry, then Config.xml in the Conf
// folder (updated in place when it loads, else a new document), then the profile names into
// TrayIcon.xml when that file exists (only after Config.xml was written). A Config.xml that
// exists but does not load is first kept as "Config.xml.broken" (replacing an older one) and
// the move logged; when it cannot be moved aside nothing is written over it
// (kSaveConfigNotWritten). Returns one of SaveProfileSetResult.
int SaveProfileSet(const std::string& confFolder, const ProfileSet& set, RegistryStore& registry);

// Removes what saves that were killed left in the Conf folder: the temporary files
// "Config.xml.XXXXXX", "TrayIcon.xml.XXXXXX" and "FWVersion.xml.XXXXXX" (six letters or digits)
// that the atomic replacement writes before renaming. Returns how many were removed; each is logged.
int RemoveStaleTemporaryFiles(const std::string& confFolder);

// Whether the loaded document is one exported profile: its root carries a profile's values
// (any one of them; the reader takes defaults for the rest) and no whole set's PROFILE_1 ..
// PROFILE_10, which would make it a Config.xml. Moves the cursor.
bool IsProfileDocument(XmlCursor& x);
// Whether `path` holds an exported profile: a regular file of at most kMaxProfileFileSize
// bytes, well-formed, IsProfileDocument. Pictures, other documents, a Config.xml and huge
// files are not.
bool IsProfileFile(const std::string& path);

// Writes the set's active profile to `path`: an exported profile already there is updated in
// place (what it has that an export does not write is kept); anything else there is replaced
// by a new export document. False if the file cannot be written.
bool ExportProfile(const std::string& path, const ProfileSet& set);
// Reads one profile from `path` over the set's active profile and validates the set. A file
// that is not XML gives a profile of defaults.
void ImportProfile(const std::string& path, ProfileSet& set);

// The agent's single-value writes into the Conf folder's Config.xml; each returns whether the
// file was written (false when it does not load or the element is missing).
bool WriteActiveProfileIndex(const std::string& confFolder, int index);
bool WriteDpiStep(const std::string& confFolder, int profileIndex, int step);
// PROFILE_CHAGED: the profile to return to after a game-triggered switch, and 1 while such a
// switch is in force. The element is added as the root's last child when the file lacks it.
bool WriteAutoSwitchState(const std::string& confFolder, int savedIndex, int switched);
// Reads PROFILE_CHAGED if it is there; otherwise leaves both outputs unchanged.
void ReadAutoSwitchState(const std::string& confFolder, int& savedIndex, int& switched);

// The declaration line of the files the programs write (Config.xml, TrayIcon.xml, FWVersion.xml).
inline constexpr std::u16string_view kUtf16Declaration = u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n";
// Starts a new document as the writers do: the declaration line, UTF-16LE with byte order
// mark, and a root element that the cursor has entered (the next AddElement is its first child).
void StartRootDocument(XmlCursor& x, std::u16string_view declaration = kUtf16Declaration);

// A new Config.xml document for `set` (what SaveProfileSet writes when there is no usable file).
std::string NewConfigDocument(const ProfileSet& set);
// A new TrayIcon.xml document carrying the set's profile names.
std::string NewTrayIconDocument(const ProfileSet& set);

}  // namespace orv
