#include "profile/profile_files.h"

#include "base/files.h"
#include "base/log.h"
#include "base/registry_store.h"
#include "base/text.h"
#include "profile/numbers.h"
#include "profile/settings_files.h"
#include "profile/xml_cursor.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace orv {
namespace {

constexpr std::u16string_view kExportDeclaration = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
constexpr std::u16string_view kAutoSwitchElement = u"PROFILE_CHAGED";

// The values of a profile that are single elements, in file order.
struct ProfileField {
  std::u16string_view element;
  size_t offset;    // of the field within Profile
  size_t capacity;  // of a text field; 0 for a number
};
constexpr ProfileField kProfileFields[] = {
    {u"REGION", offsetof(Profile, region), 0},
    {u"SERVER_NAME", offsetof(Profile, serverName), kServerNameCapacity},
    {u"CHARACTER_NAME", offsetof(Profile, characterName), kCharacterNameCapacity},
    {u"CHARACTER_LEVEL", offsetof(Profile, characterLevel), kCharacterFieldCapacity},
    {u"CHARACTER_CLASS", offsetof(Profile, characterClass), kCharacterFieldCapacity},
    {u"CHARACTER_RACE", offsetof(Profile, characterRace), kCharacterFieldCapacity},
    {u"PROFILE_NAME", offsetof(Profile, profileName), kProfileNameCapacity},
    {u"DPI_VALUE", offsetof(Profile, dpiStep), 0},
    {u"DOUBLE_CLICK_SPEED", offsetof(Profile, doubleClickSpeed), 0},
    {u"SCROLL_SPEED", offsetof(Profile, scrollSpeed), 0},
    {u"SENSITIVITY", offsetof(Profile, sensitivity), 0},
    {u"ADVANCE_SENSITIVITY_X", offsetof(Profile, advanceSensitivityX), 0},
    {u"ADVANCE_SENSITIVITY_Y", offsetof(Profile, advanceSensitivityY), 0},
    {u"LED_COLOR", offsetof(Profile, ledColor), 0},
    {u"LED_INTENSITY", offsetof(Profile, ledIntensity), 0},
    {u"LED_PULSATION", offsetof(Profile, ledPulsation), 0},
};

enum class MacroValue { Name, Loop, DelayMode, Paste, StartKey, SendKey, Events, StartKeyEvents, SendKeyEvents };
// The children of a MACRO_%d element, in file order, and which ones the update writers add
// to files written before they existed.
struct MacroField {
  std::u16string_view element;
  MacroValue value;
  bool addToConfig;
  bool addToExport;
};
constexpr MacroField kMacroFields[] = {
    {u"MACRO_NAME", MacroValue::Name, false, false},
    {u"MACRO_LOOP_COUNT", MacroValue::Loop, false, false},
    {u"MACRO_DELAY_MODE", MacroValue::DelayMode, true, false},
    {u"MACRO_PASTE", MacroValue::Paste, true, true},
    {u"MACRO_START_KEY", MacroValue::StartKey, true, true},
    {u"MACRO_SEND_KEY", MacroValue::SendKey, true, true},
    {u"MACRO_INFO", MacroValue::Events, false, false},
    {u"MACRO_START_KEY_INFO", MacroValue::StartKeyEvents, true, true},
    {u"MACRO_SEND_KEY_INFO", MacroValue::SendKeyEvents, true, true},
};

std::u16string Numbered(std::u16string_view prefix, int number) { return std::u16string(prefix) + FormatInt(number); }

int32_t& IntField(Profile& p, const ProfileField& f) {
  return *reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&p) + f.offset);
}
int32_t IntField(const Profile& p, const ProfileField& f) {
  return *reinterpret_cast<const int32_t*>(reinterpret_cast<const char*>(&p) + f.offset);
}
char16_t* TextField(Profile& p, const ProfileField& f) {
  return reinterpret_cast<char16_t*>(reinterpret_cast<char*>(&p) + f.offset);
}
std::u16string_view TextField(const Profile& p, const ProfileField& f) {
  const char16_t* s = reinterpret_cast<const char16_t*>(reinterpret_cast<const char*>(&p) + f.offset);
  size_t n = 0;
  while (n < f.capacity && s[n]) ++n;
  return {s, n};
}

std::u16string ProfileValue(const Profile& p, const ProfileField& f) {
  return f.capacity ? std::u16string(TextField(p, f)) : FormatInt(IntField(p, f));
}

void ReadProfileValue(Profile& p, const ProfileField& f, std::u16string_view text) {
  if (f.capacity) CopyTextTo(TextField(p, f), f.capacity, text);
  else IntField(p, f) = ParseInt(text);
}

// "vk,up,delay," per event, up to the first event whose virtual key is 0.
template <size_t N>
std::u16string EventList(const MacroEvent (&events)[N]) {
  std::u16string out;
  for (const MacroEvent& e : events) {
    if (e.virtualKey == 0) break;
    AppendListNumber(out, e.virtualKey);
    AppendListNumber(out, e.keyUp);
    AppendListNumber(out, e.delay);
  }
  return out;
}

// Every event takes the next three numbers. An event whose virtual key is 0 ends the list, as
// the writer ends it: it and the events after it become zero, as do events past the numbers.
template <size_t N>
void ReadEventList(MacroEvent (&events)[N], std::u16string_view text) {
  NumberList list(text);
  for (MacroEvent& e : events) {
    if (list.Done()) {  // the rest at once: most lists are short or empty
      std::fill(&e, std::end(events), MacroEvent{});
      break;
    }
    e.virtualKey = static_cast<uint8_t>(list.Next() & 0xFF);
    e.keyUp = static_cast<uint8_t>(list.Next() & 0xFF);
    e.delay = list.Next();
    if (e.virtualKey == 0) {
      std::fill(&e, std::end(events), MacroEvent{});
      break;
    }
  }
}

std::u16string MacroFieldValue(const Macro& m, MacroValue v) {
  switch (v) {
    case MacroValue::Name: return std::u16string(FieldText(m.name));
    case MacroValue::Loop: {
      std::u16string out;
      AppendListNumber(out, m.loopCount);
      AppendListNumber(out, m.loopSwitch);
      return out;
    }
    case MacroValue::DelayMode: return FormatInt(m.delayMode);
    case MacroValue::Paste: return std::u16string(FieldText(m.pasteText));
    case MacroValue::StartKey: return FormatInt(m.startKey);
    case MacroValue::SendKey: return FormatInt(m.sendKey);
    case MacroValue::Events: return EventList(m.events);
    case MacroValue::StartKeyEvents: return EventList(m.startKeyEvents);
    case MacroValue::SendKeyEvents: return EventList(m.sendKeyEvents);
  }
  return {};
}

void ReadMacroField(Macro& m, MacroValue v, std::u16string_view text) {
  switch (v) {
    case MacroValue::Name: CopyText(m.name, text); break;
    case MacroValue::Loop: {
      NumberList list(text);
      m.loopCount = list.Next();
      m.loopSwitch = list.Next();
      break;
    }
    case MacroValue::DelayMode: m.delayMode = ParseInt(text); break;
    case MacroValue::Paste: CopyText(m.pasteText, text); break;
    case MacroValue::StartKey: m.startKey = ParseInt(text); break;
    case MacroValue::SendKey: m.sendKey = ParseInt(text); break;
    case MacroValue::Events: ReadEventList(m.events, text); break;
    case MacroValue::StartKeyEvents: ReadEventList(m.startKeyEvents, text); break;
    case MacroValue::SendKeyEvents: ReadEventList(m.sendKeyEvents, text); break;
  }
}

std::u16string ButtonValue(const ButtonAssignment& b) {
  std::u16string out;
  AppendListNumber(out, b.buttonNumber);
  AppendListNumber(out, b.code);
  return out;
}

// The code of a BUTTON_%d text: the number after the first comma, or the whole text.
int32_t ButtonCode(std::u16string_view text) {
  size_t comma = text.find(u',');
  return ParseInt(comma == std::u16string_view::npos ? text : text.substr(comma + 1));
}

// --- reading ---------------------------------------------------------------------------------

// Reads the fields of one profile from the children of the cursor's main element. Each
// field is looked up from the first child, so their order does not matter; macros are
// taken in order, each search going on after the last macro found.
void ReadProfileContent(XmlCursor& x, Profile& p) {
  const auto lookUp = [&x](std::u16string_view element, auto&& read) {
    if (!x.FindChildElement(element)) return;
    read(x.GetChildText());
    x.ResetChildPosition();
  };
  for (const ProfileField& f : kProfileFields) {
    lookUp(f.element, [&](const std::u16string& t) { ReadProfileValue(p, f, t); });
  }
  for (int g = 0; g < kGameNameCount; ++g) {
    lookUp(Numbered(u"GAME_NAME_", g + 1), [&](const std::u16string& t) { CopyText(p.gameNames[g], t); });
  }
  for (int b = 0; b < kButtonCount; ++b) {
    lookUp(Numbered(u"BUTTON_", b + 1), [&](const std::u16string& t) { p.buttons[b].code = ButtonCode(t); });
  }
  for (int m = 0; m < kMacroCount; ++m) {
    const std::u16string element = Numbered(u"MACRO_", m + 1);
    while (x.FindChildElement(element)) {
      x.EnterElement();
      for (const MacroField& f : kMacroFields) {
        lookUp(f.element, [&](const std::u16string& t) { ReadMacroField(p.macros[m], f.value, t); });
      }
      x.LeaveElement();
    }
  }
}

// --- writing a new document ------------------------------------------------------------------

// Adds the elements of one profile after the cursor's position, in file order.
void AddProfileContent(XmlCursor& x, const Profile& p) {
  for (const ProfileField& f : kProfileFields) x.AddElement(f.element, ProfileValue(p, f));
  for (int g = 0; g < kGameNameCount; ++g) x.AddElement(Numbered(u"GAME_NAME_", g + 1), FieldText(p.gameNames[g]));
  for (int m = 0; m < kMacroCount; ++m) {
    x.AddElement(Numbered(u"MACRO_", m + 1));
    x.EnterElement();
    for (const MacroField& f : kMacroFields) x.AddElement(f.element, MacroFieldValue(p.macros[m], f.value));
    x.LeaveElement();
  }
  for (int b = 0; b < kButtonCount; ++b) x.AddElement(Numbered(u"BUTTON_", b + 1), ButtonValue(p.buttons[b]));
}

// --- updating an existing document -----------------------------------------------------------

enum class UpdateRules { Config, Export };

// Replaces the values of one profile among the siblings that follow the cursor's position,
// each search going on after the element found last; missing elements are skipped, except
// the macro children that files from before their time lack.
void UpdateProfileContent(XmlCursor& x, const Profile& p, UpdateRules rules) {
  const auto update = [&x](std::u16string_view element, std::u16string_view value) {
    if (x.FindElement(element)) x.SetText(value);
  };
  for (const ProfileField& f : kProfileFields) update(f.element, ProfileValue(p, f));
  for (int g = 0; g < kGameNameCount; ++g) update(Numbered(u"GAME_NAME_", g + 1), FieldText(p.gameNames[g]));
  for (int m = 0; m < kMacroCount; ++m) {
    if (!x.FindElement(Numbered(u"MACRO_", m + 1))) continue;
    x.EnterElement();
    for (const MacroField& f : kMacroFields) {
      const std::u16string value = MacroFieldValue(p.macros[m], f.value);
      if (x.FindElement(f.element)) {
        x.SetText(value);
      } else if (rules == UpdateRules::Config ? f.addToConfig : f.addToExport) {
        x.AddElement(f.element, value);
      }
    }
    x.LeaveElement();
  }
  for (int b = 0; b < kButtonCount; ++b) update(Numbered(u"BUTTON_", b + 1), ButtonValue(p.buttons[b]));
}

const Profile& ActiveProfile(const ProfileSet& set) {
  return set.profiles[ProfileIndexOrFirst(set.profileId)];
}

void WriteRegistryValues(RegistryStore& registry, const Profile& active) {
  const auto text = [](int32_t v) { return std::to_string(v); };
  registry.SetValue("Control Panel\\Mouse", "DoubleClickSpeed", text(active.doubleClickSpeed));
  registry.SetValue("Control Panel\\Mouse", "MouseSensitivity", text(active.sensitivity));
  registry.SetValue("Control Panel\\Desktop", "WheelScrollLines", text(active.scrollSpeed));
  registry.Commit();
}

XmlCursor NewConfigCursor(const ProfileSet& set) {
  XmlCursor x;
  StartRootDocument(x);
  x.AddElement(u"PROFILE_ID", set.profileId);
  x.AddElement(u"POLLING_RATE", set.pollingRate);
  x.AddElement(u"LIFT_DISTANCE", set.liftDistance);
  x.AddElement(u"GAME_MODE", set.gameMode);
  for (int i = 0; i < kProfileCount; ++i) {
    x.AddElement(Numbered(u"PROFILE_", i + 1));
    x.EnterElement();
    AddProfileContent(x, set.profiles[i]);
    x.LeaveElement();
  }
  return x;
}

void UpdateConfig(XmlCursor& x, const ProfileSet& set) {
  x.ResetPosition();
  if (!x.FindElement()) return;
  x.EnterElement();
  const std::pair<std::u16string_view, int32_t> header[] = {
      {u"PROFILE_ID", set.profileId}, {u"POLLING_RATE", set.pollingRate},
      {u"LIFT_DISTANCE", set.liftDistance}, {u"GAME_MODE", set.gameMode}};
  for (const auto& [element, value] : header) {
    if (x.FindElement(element)) x.SetText(FormatInt(value));
  }
  for (int i = 0; i < kProfileCount; ++i) {
    if (!x.FindElement(Numbered(u"PROFILE_", i + 1))) continue;
    x.EnterElement();
    UpdateProfileContent(x, set.profiles[i], UpdateRules::Config);
    x.LeaveElement();
  }
}

// False when the file is there and could not be written.
bool UpdateTrayIcon(const std::string& confFolder, const ProfileSet& set) {
  const std::string path = JoinPath(confFolder, kTrayIconFileName);
  XmlCursor x;
  if (!x.LoadFile(path, kMaxTrayIconFileSize) || !x.FindElement()) return true;
  x.EnterElement();
  for (int i = 0; i < kProfileCount; ++i) {
    if (x.FindElement(Numbered(u"PROFILE_", i + 1))) x.SetText(FieldText(set.profiles[i].profileName));
  }
  return x.SaveFile(path);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A temporary file of the atomic replacement: `name` then '.' and six letters or digits.
bool IsTemporaryOf(std::string_view file, std::string_view name) {
  if (file.size() != name.size() + 7 || file.substr(0, name.size()) != name || file[name.size()] != '.') return false;
  for (char c : file.substr(name.size() + 1))
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

// Loads Config.xml from the Conf folder; `edit` changes it and says whether to save.
template <typename Edit>
bool EditConfig(const std::string& confFolder, Edit&& edit) {
  const std::string path = JoinPath(confFolder, kConfigFileName);
  XmlCursor x;
  if (!x.LoadFile(path, kMaxConfigFileSize) || !x.FindElement()) return false;
  x.EnterElement();
  return edit(x) && x.SaveFile(path);
}

}  // namespace

void StartRootDocument(XmlCursor& x, std::u16string_view declaration) {
  x.SetDocument(declaration);
  x.SetDocFlags(x.GetDocFlags() | kDocUtf16LeFile);
  x.AddElement(u"root");
  x.EnterElement();
}

ProfileSetLoad LoadProfileSet(const std::string& path, ProfileSet& set) {
  ResetProfileSet(set);
  XmlCursor x;
  ProfileSetLoad outcome = ProfileSetLoad::Loaded;
  if (path.empty() || ::access(path.c_str(), F_OK) != 0) {
    outcome = ProfileSetLoad::Missing;
  } else if (!x.LoadFile(path, kMaxConfigFileSize)) {
    outcome = ProfileSetLoad::Unreadable;
    ORV_LOG(Profile, Info, "%s does not load as XML: the defaults are used", path.c_str());
  }
  if (outcome == ProfileSetLoad::Loaded) {
    const std::pair<std::u16string_view, int32_t*> header[] = {
        {u"PROFILE_ID", &set.profileId}, {u"POLLING_RATE", &set.pollingRate},
        {u"LIFT_DISTANCE", &set.liftDistance}, {u"GAME_MODE", &set.gameMode}};
    for (const auto& [element, value] : header) {
      if (x.FindChildElement(element)) *value = ParseInt(x.GetChildText());
    }
    for (int i = 0; i < kProfileCount; ++i) {
      const std::u16string element = Numbered(u"PROFILE_", i + 1);
      while (x.FindChildElement(element)) {
        x.EnterElement();
        ReadProfileContent(x, set.profiles[i]);
        x.LeaveElement();
      }
    }
  }
  if (ValidateProfileSet(set) && outcome == ProfileSetLoad::Loaded)
    ORV_LOG(Profile, Info, "%s: values outside their ranges were reset to their defaults", path.c_str());
  return outcome;
}

int SaveProfileSet(const std::string& confFolder, const ProfileSet& set, RegistryStore& registry) {
  if (!registry.Open()) return -1;
  WriteRegistryValues(registry, ActiveProfile(set));

  const std::string path = JoinPath(confFolder, kConfigFileName);
  XmlCursor x;
  bool written;
  if (x.LoadFile(path, kMaxConfigFileSize)) {
    UpdateConfig(x, set);
    written = x.SaveFile(path);
  } else {
    // A file the user had that cannot be read is kept beside the new one, never lost.
    if (IsRegularFile(path)) {
      const std::string kept = path + kBrokenConfigSuffix;
      if (std::rename(path.c_str(), kept.c_str()) != 0) {
        ORV_LOG(Profile, Warning, "%s does not load and cannot be kept as %s (%s): it is left as it is", path.c_str(),
                kept.c_str(), std::strerror(errno));
        return kSaveConfigNotWritten;
      }
      ORV_LOG(Profile, Warning, "%s does not load: kept as %s, a new one is written", path.c_str(), kept.c_str());
    }
    written = NewConfigCursor(set).SaveFile(path);
  }
  if (!written) {
    ORV_LOG(Profile, Warning, "%s could not be written: %s", path.c_str(), std::strerror(errno));
    return kSaveConfigNotWritten;
  }
  if (!UpdateTrayIcon(confFolder, set)) {
    ORV_LOG(Profile, Warning, "%s could not be written", JoinPath(confFolder, kTrayIconFileName).c_str());
    return kSaveTrayIconNotWritten;
  }
  return kSaveDone;
}

int RemoveStaleTemporaryFiles(const std::string& confFolder) {
  DIR* dir = ::opendir(confFolder.c_str());
  if (!dir) return 0;
  int removed = 0;
  static constexpr std::string_view kNames[] = {kConfigFileName, kTrayIconFileName, kFirmwareVersionFileName};
  while (const dirent* e = ::readdir(dir)) {
    std::string_view file = e->d_name;
    bool temporary = false;
    for (std::string_view name : kNames) temporary = temporary || IsTemporaryOf(file, name);
    // The unreadable file kept aside has a name of the same shape.
    if (!temporary || file == std::string(kConfigFileName) + kBrokenConfigSuffix) continue;
    const std::string path = JoinPath(confFolder, file);
    if (!IsRegularFile(path)) continue;
    if (::unlink(path.c_str()) == 0) {
      ++removed;
      ORV_LOG(Profile, Info, "removed %s, left by a save that did not finish", path.c_str());
    }
  }
  ::closedir(dir);
  return removed;
}

std::string NewConfigDocument(const ProfileSet& set) { return NewConfigCursor(set).EncodedDocument(); }

std::string NewTrayIconDocument(const ProfileSet& set) {
  XmlCursor x;
  StartRootDocument(x);
  for (int i = 0; i < kProfileCount; ++i) {
    x.AddElement(Numbered(u"PROFILE_", i + 1), FieldText(set.profiles[i].profileName));
  }
  return x.EncodedDocument();
}

bool IsProfileDocument(XmlCursor& x) {
  x.ResetPosition();
  if (!x.IsWellFormed() || !x.FindElement()) return false;
  for (int i = 0; i < kProfileCount; ++i) {
    x.ResetChildPosition();
    if (x.FindChildElement(Numbered(u"PROFILE_", i + 1))) return false;
  }
  for (std::u16string_view name : {u"PROFILE_ID", u"PROFILE_NAME", u"BUTTON_1", u"DPI_VALUE", u"MACRO_1"}) {
    x.ResetChildPosition();
    if (x.FindChildElement(name)) return true;
  }
  return false;
}

bool IsProfileFile(const std::string& path) {
  XmlCursor x;
  return x.LoadFile(path, kMaxProfileFileSize) && IsProfileDocument(x);
}

bool ExportProfile(const std::string& path, const ProfileSet& set) {
  const Profile& p = ActiveProfile(set);
  XmlCursor x;
  if (x.LoadFile(path, kMaxProfileFileSize) && IsProfileDocument(x)) {
    x.ResetPosition();
    x.FindElement();
    x.EnterElement();
    if (x.FindElement(u"PROFILE_ID")) x.SetText(FormatInt(set.profileId));
    UpdateProfileContent(x, p, UpdateRules::Export);
    return x.SaveFile(path);
  }
  XmlCursor fresh;
  StartRootDocument(fresh, kExportDeclaration);
  fresh.AddElement(u"PROFILE_ID", set.profileId);
  AddProfileContent(fresh, p);
  return fresh.SaveFile(path);
}

void ImportProfile(const std::string& path, ProfileSet& set) {
  Profile& target = set.profiles[ProfileIndexOrFirst(set.profileId)];
  ClearProfile(target);
  // Every entry carries its own number, whatever the file says.
  for (int b = 0; b < kButtonCount; ++b) target.buttons[b].buttonNumber = static_cast<uint8_t>(b + 1);
  XmlCursor x;
  if (x.LoadFile(path, kMaxProfileFileSize) && x.FindElement()) ReadProfileContent(x, target);
  ValidateProfileSet(set);
}

bool WriteActiveProfileIndex(const std::string& confFolder, int index) {
  return EditConfig(confFolder, [&](XmlCursor& x) { return x.FindElement(u"PROFILE_ID") && x.SetText(FormatInt(index)); });
}

bool WriteDpiStep(const std::string& confFolder, int profileIndex, int step) {
  return EditConfig(confFolder, [&](XmlCursor& x) {
    if (!x.FindElement(Numbered(u"PROFILE_", profileIndex + 1))) return false;
    x.EnterElement();
    return x.FindElement(u"DPI_VALUE") && x.SetText(FormatInt(step));
  });
}

bool WriteAutoSwitchState(const std::string& confFolder, int savedIndex, int switched) {
  std::u16string value;
  AppendListNumber(value, savedIndex);
  AppendListNumber(value, switched);
  return EditConfig(confFolder, [&](XmlCursor& x) {
    if (x.FindElement(kAutoSwitchElement)) return x.SetText(value);
    // Without the element the state could never be kept: add it as the root's last child.
    return x.AddElement(kAutoSwitchElement, value);
  });
}

void ReadAutoSwitchState(const std::string& confFolder, int& savedIndex, int& switched) {
  XmlCursor x;
  if (!x.LoadFile(JoinPath(confFolder, kConfigFileName), kMaxConfigFileSize)) return;
  if (!x.FindChildElement(kAutoSwitchElement)) return;
  const std::u16string text = x.GetChildText();
  NumberList list(text);
  savedIndex = list.Next();
  switched = list.Next();
}

}  // namespace orv
