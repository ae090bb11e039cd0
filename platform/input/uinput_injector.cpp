#include "platform/input/uinput_injector.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform/input/input_codes.h"
#include "platform/input/key_usage.h"
#include "platform/input/qt_clipboard.h"

namespace orv {
namespace {

// The Linux key codes of the HID usages 4-29 (letters A-Z in order).
constexpr uint16_t kLetterKeys[26] = {
    KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
    KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
};

// The Linux key codes of the HID usages 39-101, in order.
constexpr uint16_t kMainKeys[] = {
    KEY_0,       KEY_ENTER,     KEY_ESC,        KEY_BACKSPACE, KEY_TAB,        KEY_SPACE,     KEY_MINUS,
    KEY_EQUAL,   KEY_LEFTBRACE, KEY_RIGHTBRACE, KEY_BACKSLASH, KEY_BACKSLASH,  KEY_SEMICOLON, KEY_APOSTROPHE,
    KEY_GRAVE,   KEY_COMMA,     KEY_DOT,        KEY_SLASH,     KEY_CAPSLOCK,   KEY_F1,        KEY_F2,
    KEY_F3,      KEY_F4,        KEY_F5,         KEY_F6,        KEY_F7,         KEY_F8,        KEY_F9,
    KEY_F10,     KEY_F11,       KEY_F12,        KEY_SYSRQ,     KEY_SCROLLLOCK, KEY_PAUSE,     KEY_INSERT,
    KEY_HOME,    KEY_PAGEUP,    KEY_DELETE,     KEY_END,       KEY_PAGEDOWN,   KEY_RIGHT,     KEY_LEFT,
    KEY_DOWN,    KEY_UP,        KEY_NUMLOCK,    KEY_KPSLASH,   KEY_KPASTERISK, KEY_KPMINUS,   KEY_KPPLUS,
    KEY_KPENTER, KEY_KP1,       KEY_KP2,        KEY_KP3,       KEY_KP4,        KEY_KP5,       KEY_KP6,
    KEY_KP7,     KEY_KP8,       KEY_KP9,        KEY_KP0,       KEY_KPDOT,      KEY_102ND,     KEY_COMPOSE,
};

static_assert(std::size(kMainKeys) == 101 - 39 + 1);

// The Linux key codes of the HID usages 224-231 (the modifiers).
constexpr uint16_t kModifierKeys[8] = {
    KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_LEFTALT, KEY_LEFTMETA, KEY_RIGHTCTRL, KEY_RIGHTSHIFT, KEY_RIGHTALT, KEY_RIGHTMETA,
};

constexpr uint16_t kButtons[] = {BTN_LEFT, BTN_RIGHT, BTN_MIDDLE, BTN_SIDE, BTN_EXTRA};  // as MouseButton

constexpr uint16_t kAxes[] = {REL_X, REL_Y, REL_WHEEL, REL_HWHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES};

void AddReport(std::vector<UinputEvent>& events) { events.push_back({EV_SYN, SYN_REPORT, 0}); }

}  // namespace

uint8_t UinputTranslator::UsageOfVirtualKey(uint16_t vk) {
  const uint8_t usage = KeyUsage(vk);
  if (usage != kNoKeyUsage) return usage;
  if (vk >= VK_F13 && vk <= VK_F24) return static_cast<uint8_t>(104 + (vk - VK_F13));
  if (vk == VK_OEM_102) return 100;
  return kNoKeyUsage;
}

uint16_t UinputTranslator::LinuxKeyOfUsage(uint8_t usage) {
  if (usage >= 4 && usage <= 29) return kLetterKeys[usage - 4];
  if (usage >= 30 && usage <= 38) return static_cast<uint16_t>(KEY_1 + (usage - 30));
  if (usage >= 39 && usage <= 101) return kMainKeys[usage - 39];
  if (usage >= 104 && usage <= 115) return static_cast<uint16_t>(KEY_F13 + (usage - 104));
  if (usage >= 224 && usage <= 231) return kModifierKeys[usage - 224];
  return 0;
}

std::vector<uint16_t> UinputTranslator::DeviceKeys() {
  std::vector<uint16_t> keys;
  for (int usage = 0; usage < 256; ++usage)
    if (uint16_t key = LinuxKeyOfUsage(static_cast<uint8_t>(usage))) keys.push_back(key);
  keys.insert(keys.end(), std::begin(kButtons), std::end(kButtons));
  return keys;
}

std::vector<UinputEvent> UinputTranslator::Key(uint16_t virtualKey, uint16_t scanCode, uint32_t flags) const {
  const uint16_t key = LinuxKeyOfUsage(UsageOfVirtualKey(SidedVirtualKey(virtualKey, scanCode, flags)));
  if (key == 0) return {};
  std::vector<UinputEvent> events{{EV_KEY, key, (flags & KEYEVENTF_KEYUP) ? 0 : 1}};
  AddReport(events);
  return events;
}

std::vector<UinputEvent> UinputTranslator::Mouse(uint32_t flags, uint32_t mouseData) {
  std::vector<UinputEvent> events;
  for (const MouseAction& action : MouseActions(flags, mouseData)) {
    switch (action.kind) {
      case MouseAction::Kind::kButton:
        events.push_back({EV_KEY, kButtons[static_cast<int>(action.button)], action.down ? 1 : 0});
        break;
      case MouseAction::Kind::kWheel:
        if (const int32_t notches = wheel_.Take(action.delta)) events.push_back({EV_REL, REL_WHEEL, notches});
        events.push_back({EV_REL, REL_WHEEL_HI_RES, action.delta});
        break;
      case MouseAction::Kind::kHorizontalWheel:
        if (const int32_t notches = horizontalWheel_.Take(action.delta))
          events.push_back({EV_REL, REL_HWHEEL, notches});
        events.push_back({EV_REL, REL_HWHEEL_HI_RES, action.delta});
        break;
    }
  }
  if (!events.empty()) AddReport(events);
  return events;
}

std::unique_ptr<UinputInjector> UinputInjector::Open(const std::string& path, std::string* why) {
  auto fail = [&](const char* what, int fd) -> std::unique_ptr<UinputInjector> {
    if (why) *why = std::string(what) + " (" + path + ": " + std::strerror(errno) + ")";
    if (fd >= 0) {
      const int saved = errno;
      ::close(fd);
      errno = saved;
    }
    return nullptr;
  };
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail("cannot open the uinput device", -1);
  struct stat info;
  if (::fstat(fd, &info) != 0) return fail("cannot examine the uinput device", fd);
  if (!S_ISCHR(info.st_mode)) {
    errno = ENODEV;
    return fail("not a uinput device", fd);
  }
  if (::ioctl(fd, UI_SET_EVBIT, EV_KEY) < 0 || ::ioctl(fd, UI_SET_EVBIT, EV_REL) < 0 ||
      ::ioctl(fd, UI_SET_EVBIT, EV_SYN) < 0)
    return fail("not a uinput device", fd);
  for (uint16_t key : UinputTranslator::DeviceKeys())
    if (::ioctl(fd, UI_SET_KEYBIT, static_cast<int>(key)) < 0) return fail("cannot declare the keys", fd);
  // Movement axes are declared (without them the device would not count as a mouse) but never used.
  for (uint16_t axis : kAxes)
    if (::ioctl(fd, UI_SET_RELBIT, static_cast<int>(axis)) < 0) return fail("cannot declare the axes", fd);
  struct uinput_setup setup;
  std::memset(&setup, 0, sizeof setup);
  setup.id.bustype = BUS_VIRTUAL;
  setup.id.vendor = 0x0001;
  setup.id.product = 0x0001;
  setup.id.version = 1;
  std::strncpy(setup.name, "Orvandel virtual keyboard and mouse", UINPUT_MAX_NAME_SIZE - 1);
  if (::ioctl(fd, UI_DEV_SETUP, &setup) < 0) return fail("cannot set the uinput device up", fd);
  if (::ioctl(fd, UI_DEV_CREATE) < 0) return fail("cannot create the uinput device", fd);
  return std::unique_ptr<UinputInjector>(new UinputInjector(fd));
}

UinputInjector::UinputInjector(int fd) : fd_(fd), layouts_(XkbLayouts::Connect()) {}

UinputInjector::~UinputInjector() {
  ::ioctl(fd_, UI_DEV_DESTROY);  // the kernel releases every key still held down
  ::close(fd_);
}

bool UinputInjector::Write(const std::vector<UinputEvent>& events) {
  if (events.empty()) return false;
  std::vector<input_event> raw(events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    std::memset(&raw[i], 0, sizeof raw[i]);
    raw[i].type = events[i].type;
    raw[i].code = events[i].code;
    raw[i].value = events[i].value;
  }
  const size_t size = raw.size() * sizeof(input_event);
  ssize_t n;
  do {
    n = ::write(fd_, raw.data(), size);
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(size);
}

bool UinputInjector::SendKey(uint16_t virtualKey, uint16_t scanCode, uint32_t flags, uint64_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  return Write(translator_.Key(virtualKey, scanCode, flags));
}

bool UinputInjector::SendMouse(int32_t, int32_t, uint32_t flags, uint32_t mouseData, uint64_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::vector<UinputEvent> events = translator_.Mouse(flags, mouseData);
  return events.empty() || Write(events);  // an input without action has nothing to deliver
}

uint32_t UinputInjector::ForegroundLayout() {
  std::lock_guard<std::mutex> lock(mutex_);
  return layouts_->Current();
}

bool UinputInjector::RequestLayout(uint32_t layout) {
  std::lock_guard<std::mutex> lock(mutex_);
  return layouts_->Request(layout);
}

bool UinputInjector::SetClipboardText(std::u16string_view text, bool ansi) { return PlaceOnQtClipboard(text, ansi); }

}  // namespace orv
