#include "device/onboard_format.h"

#include "base/byte_order.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>

#include "base/text.h"
#include "platform/input/key_usage.h"
#include "profile/function_catalog.h"

namespace orv {
namespace {

constexpr uint8_t kEntryCountByte = kOnboardEntryCount;
constexpr size_t kBufferReserve = 5;     // bytes of the transfer buffer the data area never takes
constexpr size_t kMaxDataSize = 0xFFFF;  // offsets and lengths are 16-bit
constexpr int kDelayUnitMs = 50;
constexpr uint8_t kMaxByte = 255;
constexpr int kFirstEntryOffset = 5;  // in the header as read back
constexpr int kEntrySize = 5;
constexpr std::u16string_view kLoadedMacroName = u"LoadFromMouse";

// The data of one entry before it is placed: its bytes and the points after each whole event,
// the only places where it may be cut.
struct EntryData {
  uint8_t type = kOnboardNothing;
  bool hasData = false;  // offset and length are given (kinds with data, even when empty)
  std::vector<uint8_t> bytes;
  std::vector<size_t> eventEnds;

  void AddEvent(uint8_t op, uint8_t value) {
    bytes.push_back(op);
    bytes.push_back(value);
    eventEnds.push_back(bytes.size());
  }
  // A delay belongs to the event before it: the two are written together or not at all.
  void AddDelay(int delayMs) {
    const int quotient = std::min(std::max(delayMs, 0) / kDelayUnitMs, int{kMaxByte});
    if (quotient == 0) return;
    bytes.push_back(ScriptEvent::kDelay);
    bytes.push_back(static_cast<uint8_t>(quotient));
    if (!eventEnds.empty())
      eventEnds.back() = bytes.size();
    else
      eventEnds.push_back(bytes.size());
  }
  void AddKey(const MacroEvent& e) {
    AddEvent(e.keyUp ? ScriptEvent::kKeyUp : ScriptEvent::kKeyDown, KeyUsage(e.virtualKey));
  }
};

// The two events of a start or send key (keys 0 are not set and are left out).
void AddKeyPair(EntryData& d, const MacroEvent (&pair)[kMacroKeyEventCount]) {
  for (const MacroEvent& e : pair)
    if (e.virtualKey != 0) d.AddKey(e);
}

// A macro's script; false when nothing is stored for it (it loops zero times).
bool EncodeMacro(const Macro& m, EntryData& d) {
  if (m.loopSwitch != 0 && m.loopCount == 0) return false;
  if (m.delayMode == kDelayCopyPaste) {
    if (m.startKey) AddKeyPair(d, m.startKeyEvents);
    // Each character as the virtual key of its own code; a surrogate pair is one character.
    const std::u16string_view text = FieldText(m.pasteText);
    for (size_t i = 0; i < text.size(); ++i) {
      uint32_t c = text[i];
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        ++i;
      }
      const uint8_t usage = KeyUsage(c);
      d.AddEvent(ScriptEvent::kKeyDown, usage);
      d.AddEvent(ScriptEvent::kKeyUp, usage);
    }
    if (m.sendKey) AddKeyPair(d, m.sendKeyEvents);
    return true;
  }
  for (int i = 0; i < kMacroEventCount && m.events[i].virtualKey != 0; ++i) {
    d.AddKey(m.events[i]);
    d.AddDelay(m.events[i].delay);
  }
  if (m.loopSwitch != 0 && m.loopCount > 0)
    d.AddEvent(ScriptEvent::kLoop, static_cast<uint8_t>(std::min(m.loopCount, int32_t{kMaxByte})));
  return true;
}

// The encoding of `code` on entry `entry`, as the catalogue describes it.
EntryData EncodeCode(int code, int entry, const Profile& profile) {
  EntryData d;
  const CatalogEntry* e = FindFunction(code);
  const OnboardKind kind = e ? e->onboard.kind : OnboardKind::kNotStored;
  switch (kind) {
    case OnboardKind::kType:
      d.type = e->onboard.type;
      break;
    case OnboardKind::kKey:
      d.type = e->onboard.type;
      d.hasData = true;
      d.bytes.push_back(KeyUsage(e->onboard.value));
      d.eventEnds.push_back(1);
      break;
    case OnboardKind::kDpiStep:
      d.type = e->onboard.type;
      d.hasData = true;
      d.bytes.push_back(e->onboard.value);
      d.eventEnds.push_back(1);
      break;
    case OnboardKind::kScript:
      d.type = e->onboard.type;
      d.hasData = true;
      for (const ScriptEvent& s : e->onboard.script) {
        const bool key = s.op == ScriptEvent::kKeyDown || s.op == ScriptEvent::kKeyUp;
        d.AddEvent(s.op, key ? KeyUsage(s.value) : s.value);
      }
      break;
    case OnboardKind::kMacroScript:
      if (EncodeMacro(profile.macros[MacroIndexOfCode(code)], d)) {
        d.type = e->onboard.type;
        d.hasData = true;
      } else {
        d.type = kOnboardNothing;
        d.bytes.clear();
        d.eventEnds.clear();
      }
      break;
    case OnboardKind::kNotStored:
      d.type = static_cast<uint8_t>(entry + 1);
      break;
  }
  return d;
}

// The mouse's numbers are big-endian 16-bit words.
void PutWord(uint8_t* at, size_t value) { PutBe16(at, static_cast<uint16_t>(value)); }

size_t Word(const uint8_t* at) { return GetBe16(at); }

void PutHeaderStart(OnboardImage& image, uint8_t first, size_t dataLength) {
  image.header[0] = first;
  image.header[1] = 0;
  image.header[2] = kEntryCountByte;
  image.header[3] = 0;
  image.header[4] = static_cast<uint8_t>(kOnboardStoredHeaderSize);
  PutWord(&image.header[5], dataLength);
}

void PutEntry(OnboardImage& image, size_t k, uint8_t type, size_t offset, size_t length) {
  uint8_t* at = &image.header[7 + kEntrySize * k];
  at[0] = type;
  PutWord(at + 1, offset);
  PutWord(at + 3, length);
}

// --- Decoding -------------------------------------------------------------------------------

// The catalogue's own scripts as stored, in ascending codes, and the single-key commands by
// the usage of their key; built once.
struct DecodeTables {
  struct Script {
    int code;
    std::vector<uint8_t> bytes;
  };
  std::vector<Script> scripts;
  std::array<int, 256> codeOfUsage;
};

const DecodeTables& Tables() {
  static const DecodeTables tables = [] {
    DecodeTables t;
    t.codeOfUsage.fill(kOnboardOffCode);
    static const Profile kNoMacros{};
    for (const CatalogEntry& e : FunctionCatalog()) {
      if (e.onboard.kind == OnboardKind::kScript) t.scripts.push_back({e.code, EncodeCode(e.code, 0, kNoMacros).bytes});
      if (e.onboard.kind == OnboardKind::kKey) {
        int& slot = t.codeOfUsage[KeyUsage(e.onboard.value)];
        if (slot == kOnboardOffCode) slot = e.code;  // the lowest code of a key wins
      }
    }
    return t;
  }();
  return tables;
}

int DpiCodeOfStep(uint8_t step) {
  switch (step) {
    case 1:
      return 21;
    case 3:
      return 19;
    case 4:
      return 18;
    case 5:
      return 17;
    case 6:
      return 16;
    default:
      return 20;
  }
}

// The events of a script that matches no code, as a macro. Key events whose usage has no
// virtual key and mouse events are left out (a macro holds key events only), and so is a delay
// after an event that was left out; a delay adds to the event before it. The last loop event
// gives the count. Returns false when the script holds no key event and no loop.
bool DecodeMacro(std::span<const uint8_t> script, Macro& m) {
  std::memset(&m, 0, sizeof m);
  int count = 0;
  bool lastKept = false;
  bool loop = false;
  for (size_t i = 0; i + 1 < script.size(); i += 2) {
    const uint8_t op = script[i], value = script[i + 1];
    switch (op) {
      case ScriptEvent::kKeyDown:
      case ScriptEvent::kKeyUp: {
        const uint16_t key = VirtualKeyOfUsage(value);
        lastKept = key != 0 && key <= 0xFF && count < kMacroEventCount;
        if (lastKept)
          m.events[count++] = {
              static_cast<uint8_t>(key), op == ScriptEvent::kKeyUp ? uint8_t{1} : uint8_t{0}, {0, 0}, 0};
        break;
      }
      case ScriptEvent::kDelay:
        if (lastKept) m.events[count - 1].delay += value * kDelayUnitMs;
        break;
      case ScriptEvent::kLoop:
        loop = true;
        m.loopCount = value;
        m.loopSwitch = 1;
        lastKept = false;
        break;
      default:  // mouse buttons and anything unknown
        lastKept = false;
        break;
    }
  }
  if (count == 0 && !loop) return false;
  CopyText(m.name, kLoadedMacroName);
  m.delayMode = kDelayRecorded;
  return true;
}

// What one decoding has done so far: the profile it fills in and the scripts it has loaded
// as new macros, so that a script on several buttons takes one macro slot.
struct DecodeState {
  Profile& profile;
  std::vector<std::pair<std::vector<uint8_t>, int>> loaded;
};

// The code of a stored script: the first code whose encoding is the same script (the
// profile's named macros after the catalogue's codes), else the macro this decoding loaded it
// into, else a new macro in the first free slot, else BUTTON_OFF.
int DecodeScript(std::span<const uint8_t> script, DecodeState& state) {
  for (const DecodeTables::Script& s : Tables().scripts)
    if (std::ranges::equal(s.bytes, script)) return s.code;
  Profile& profile = state.profile;
  for (int m = 0; m < kMacroCount; ++m) {
    if (profile.macros[m].name[0] == 0) continue;  // a free slot holds no macro
    EntryData d;
    if (EncodeMacro(profile.macros[m], d) && std::ranges::equal(d.bytes, script)) return kFirstMacroCode + m;
  }
  for (const auto& [bytes, code] : state.loaded)
    if (std::ranges::equal(bytes, script)) return code;
  for (int m = 0; m < kMacroCount; ++m) {
    if (profile.macros[m].name[0] != 0) continue;
    Macro loaded;
    if (!DecodeMacro(script, loaded)) return kOnboardOffCode;
    profile.macros[m] = loaded;
    state.loaded.emplace_back(std::vector<uint8_t>(script.begin(), script.end()), kFirstMacroCode + m);
    return kFirstMacroCode + m;
  }
  return kOnboardOffCode;
}

int DecodeEntry(const uint8_t* entry, std::span<const uint8_t> data, DecodeState& state) {
  const uint8_t type = entry[0];
  const size_t offset = Word(entry + 1), length = Word(entry + 3);
  if (offset > data.size() || length > data.size() - offset) return kOnboardOffCode;
  const std::span<const uint8_t> bytes = data.subspan(offset, length);
  switch (type) {
    case kOnboardLeft:
    case kOnboardRight:
    case kOnboardFourth:
    case kOnboardFifth:
      return type;
    case kOnboardMiddle:
      return 6;
    case kOnboardWheelUp:
      return 603;
    case kOnboardWheelDown:
      return 604;
    case kOnboardDpiDown:
      return 23;
    case kOnboardDpiUp:
      return 22;
    case kOnboardDpiStep:
      return bytes.empty() ? kOnboardOffCode : DpiCodeOfStep(bytes[0]);
    case kOnboardKey:
      return bytes.size() == 1 ? Tables().codeOfUsage[bytes[0]] : kOnboardOffCode;
    case kOnboardScript:
      return DecodeScript(bytes, state);
    default:
      return kOnboardOffCode;
  }
}

}  // namespace

OnboardImage EncodeOnboardProfile(const Profile& profile, size_t bufferSize) {
  OnboardImage image;
  const size_t limit = std::min(bufferSize > kBufferReserve ? bufferSize - kBufferReserve : 0, kMaxDataSize);
  bool full = false;
  for (size_t k = 0; k < kOnboardEntryCount; ++k) {
    const EntryData d = EncodeCode(profile.buttons[kOnboardEntryButtons[k]].code, static_cast<int>(k), profile);
    if (!d.hasData) {
      PutEntry(image, k, d.type, 0, 0);
      continue;
    }
    const size_t offset = image.data.size();
    // The longest run of whole events that still fits; after a cut nothing more is written.
    size_t length = 0;
    if (!full) {
      for (size_t end : d.eventEnds) {
        if (offset + end > limit) break;
        length = end;
      }
      if (length < d.bytes.size()) full = true;
    }
    image.data.insert(image.data.end(), d.bytes.begin(), d.bytes.begin() + static_cast<std::ptrdiff_t>(length));
    PutEntry(image, k, d.type, offset, length);
  }
  image.complete = !full;
  PutHeaderStart(image, 0, image.data.size());
  return image;
}

OnboardImage NeutralOnboardImage(int profileIndex) {
  OnboardImage image;
  PutHeaderStart(image, static_cast<uint8_t>(profileIndex), 0);
  for (size_t k = 0; k < kOnboardEntryCount; ++k) PutEntry(image, k, static_cast<uint8_t>(k + 1), 0, 0);
  return image;
}

Profile DecodeOnboardProfile(const uint8_t* headerAsRead, size_t headerSize, const uint8_t* data, size_t dataSize,
                             const Profile& active) {
  Profile result = active;
  if (!headerAsRead || headerSize < kOnboardStoredHeaderSize || headerAsRead[0] != kEntryCountByte) return result;
  if (!data) dataSize = 0;
  // Only the data area the header declares, and only as much of it as was read.
  const size_t declared = Word(headerAsRead + 3);
  const std::span<const uint8_t> area(data, std::min(declared, dataSize));
  DecodeState state{result, {}};
  for (size_t k = 0; k < kOnboardEntryCount; ++k) {
    const uint8_t* entry = headerAsRead + kFirstEntryOffset + kEntrySize * k;
    result.buttons[kOnboardEntryButtons[k]].code = DecodeEntry(entry, area, state);
  }
  return result;
}

bool IsNeutralHeader(const uint8_t* headerAsRead, size_t size) {
  if (!headerAsRead || size < kOnboardStoredHeaderSize || Word(headerAsRead + 3) != 0) return false;
  for (size_t k = 0; k + 1 < kOnboardEntryCount; ++k)
    if (headerAsRead[kFirstEntryOffset + kEntrySize * k] != k + 1) return false;
  return true;
}

bool UsableOnboardHeader(const uint8_t* headerAsRead, size_t size) {
  return headerAsRead && size >= kOnboardStoredHeaderSize && headerAsRead[0] == kEntryCountByte &&
         !IsNeutralHeader(headerAsRead, size);
}

}  // namespace orv
