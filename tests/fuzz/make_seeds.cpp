// Writes the seed corpora of the fuzz targets (corpus/<target>/seed_*) from the project's own
// writers and encoders, with a few edge cases beside them. Run after a change of a format:
//   orv_fuzz_make_seeds tests/fuzz/corpus
// Regression cases (regression_*) are kept by hand and never written here.
#include <QBuffer>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/files.h"
#include "base/registry_store.h"
#include "base/text.h"
#include "device/device_codes.h"
#include "device/device_protocol.h"
#include "device/onboard_format.h"
#include "fuzz_input.h"
#include "link/bus_frame.h"
#include "link/messages.h"
#include "link/pipe_channel.h"
#include "platform/clock.h"
#include "profile/function_catalog.h"
#include "profile/profile_files.h"
#include "profile/records.h"
#include "profile/settings_files.h"
#include "sim/mouse_model.h"
#include "sim/mouse_state.h"

namespace {

using namespace orv;
namespace dp = device_protocol;
namespace fs = std::filesystem;

fs::path g_root;

std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += orv::fuzz::kPartSeparator;
    out += parts[i];
  }
  return out;
}

void Seed(const std::string& target, const std::string& name, const std::string& bytes) {
  const fs::path folder = g_root / target;
  fs::create_directories(folder);
  std::ofstream(folder / ("seed_" + name), std::ios::binary) << bytes;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, kMaxConfigFileSize)) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(1);
  }
  return bytes;
}

ProfileSet* Defaults() {
  auto* set = new ProfileSet;
  ResetProfileSet(*set);
  ValidateProfileSet(*set);
  return set;
}

// A profile with a recorded macro on button 4 and a copy-and-paste macro on button 5.
Profile WithMacros() {
  Profile p = Defaults()->profiles[0];
  Macro& m = p.macros[0];
  CopyText(m.name, u"Attack");
  m.delayMode = kDelayRecorded;
  const uint8_t keys[] = {0x41, 0x42, 0x31};
  int e = 0;
  for (uint8_t k : keys) {
    m.events[e++] = {k, 0, {0, 0}, 100};
    m.events[e++] = {k, 1, {0, 0}, 50};
  }
  m.loopSwitch = 1;
  m.loopCount = 3;
  Macro& paste = p.macros[1];
  CopyText(paste.name, u"Hello");
  paste.delayMode = kDelayCopyPaste;
  CopyText(paste.pasteText, u"/wave hi");
  p.buttons[3].code = kFirstMacroCode;
  p.buttons[4].code = kFirstMacroCode + 1;
  return p;
}

void OnboardSeeds() {
  const auto image = [](const OnboardImage& i) {
    return Join({std::string(i.header.begin() + 2, i.header.end()), Str(i.data)});
  };
  Seed("onboard_format", "defaults", image(EncodeOnboardProfile(Defaults()->profiles[0], 4096 + 2)));
  Seed("onboard_format", "macros", image(EncodeOnboardProfile(WithMacros(), 4096 + 2)));
  Seed("onboard_format", "neutral", image(NeutralOnboardImage(3)));
  OnboardImage cut = EncodeOnboardProfile(WithMacros(), 24);
  Seed("onboard_format", "cut", image(cut));
  // A header whose length and offsets lie beyond the data that was read.
  OnboardImage lying = EncodeOnboardProfile(WithMacros(), 4096 + 2);
  PutBe16(lying.header.data() + 5, 0xFFFF);
  PutBe16(lying.header.data() + 7 + 5 * 3 + 1, 0xFFF0);
  Seed("onboard_format", "lying_lengths", image(lying));
  Seed("onboard_format", "short_header", Join({std::string(10, '\x0E'), "abc"}));
}

// An answer part of the device client target: the control byte (output size << 1 | 1) and
// the answer's payload.
std::string AnswerPart(size_t outSize, bool ok, uint32_t error, const std::vector<uint8_t>& out) {
  std::vector<uint8_t> payload;
  AppendLe32(payload, IOCTL_GET_DEVICE_INFO);
  AppendLe32(payload, ok ? 1 : 0);
  AppendLe32(payload, error);
  payload.insert(payload.end(), out.begin(), out.end());
  return std::string(1, static_cast<char>(outSize << 1 | 1)) + Str(payload);
}
std::string RawPart(const std::vector<uint8_t>& frame) { return std::string(1, '\0') + Str(frame); }

void DeviceClientSeeds() {
  const std::string hello = Str(dp::EncodeHello({true, 0}));
  const std::vector<uint8_t> info = {0, 0, 0, 16, 2, 3, 0, 0, 0x10, 0, 0, 5, 0, 10, 0, 0};
  Seed("device_client", "session",
       Join({hello, AnswerPart(16, true, 0, info), RawPart(dp::EncodeEventPending()),
             AnswerPart(16, false, 31, {}), RawPart(dp::EncodeEventPending()), RawPart(dp::EncodeEventPending()),
             RawPart(dp::EncodeEventPending()), RawPart(dp::EncodeEventPending()), AnswerPart(2, true, 0, {3, 2})}));
  Seed("device_client", "refused", Str(dp::EncodeHello({false, 32})));
  dp::Answer stray;
  stray.code = IOCTL_GET_EVENT;
  stray.ok = true;
  stray.out = {1, 0, 0, 0};
  Seed("device_client", "stray_and_junk",
       Join({hello, RawPart(dp::EncodeAnswer(7, stray)), RawPart({'O', 'R', 'V', 'D', 1, 0}),
             AnswerPart(4, true, 0, {1, 2, 3, 4, 5}), AnswerPart(4, true, 5, {}), AnswerPart(8, true, 0, {9})}));
}

std::string Request(uint32_t id, uint32_t code, std::vector<uint8_t> in, size_t outSize) {
  return Str(dp::EncodeRequest(id, code, in.data(), in.size(), outSize));
}

void SimServerSeeds() {
  std::vector<uint8_t> header(kOnboardHeaderSize, 0);
  const OnboardImage image = EncodeOnboardProfile(WithMacros(), 4096 + 2);
  std::copy(image.header.begin(), image.header.end(), header.begin());
  std::vector<uint8_t> write = {0, 0};
  write.insert(write.end(), image.data.begin(), image.data.end());
  std::vector<uint8_t> block(514, 0x5A);
  block[0] = 0x00;
  block[1] = 0x10;
  uint32_t id = 1;
  Seed("sim_server", "session",
       Join({Request(id++, IOCTL_REGISTER_EVENT, {1, 2, 3, 4}, 0), Request(id++, IOCTL_GET_DEVICE_INFO, {}, 16),
             Request(id++, IOCTL_SET_DPI_STEP, {3}, 0), Request(id++, IOCTL_GET_DPI_STEP, {0}, 1),
             Request(id++, IOCTL_SET_LED_COLOR, {0x10, 0x20, 0x30}, 0), Request(id++, IOCTL_SET_INTERCEPT_MASK, {0xFF, 0xFF, 0, 0}, 0),
             Request(id++, IOCTL_SET_LIFT_DISTANCE, {1, 0}, 0), Request(id++, IOCTL_SAVE_SETTINGS, {}, 0),
             Request(id++, IOCTL_GET_EVENT, {0, 0, 0, 0}, 4), Request(id++, IOCTL_UNREGISTER, {}, 0)}));
  Seed("sim_server", "onboard",
       Join({Request(1, IOCTL_ONBOARD_WRITE_HEADER, header, 0), Request(2, IOCTL_ONBOARD_WRITE_DATA, write, 0),
             Request(3, IOCTL_ONBOARD_READ_HEADER, {0, 0}, kOnboardHeaderSize),
             Request(4, IOCTL_ONBOARD_READ_DATA, {0, 0}, image.data.size())}));
  Seed("sim_server", "firmware",
       Join({Request(1, IOCTL_SET_DEVICE_MODE, {16, 0}, 0), Request(2, IOCTL_FW_START, {}, 0),
             Request(3, IOCTL_FW_WRITE_BLOCK, block, 0), Request(4, IOCTL_FW_FINISH, {}, 0),
             Request(5, IOCTL_GET_FIRMWARE_VERSION, {}, 2)}));
  std::vector<uint8_t> tooLong = dp::EncodeFrame(dp::FrameKind::Request, 9, block.data(), 8);
  PutLe32(tooLong.data() + 16 + 4, 0x7FFFFFFF);  // an output size past every limit
  Seed("sim_server", "bad_frames",
       Join({Str(tooLong), Str(dp::EncodeHello({true, 0})), Str(dp::EncodeEventPending()), "ORVD",
             Request(10, 0x12345678, {1}, 3)}));
}

void SimCommandSeeds() {
  Seed("sim_commands", "session",
       Join({"press 1024", "release 1024", "press 0", "unplug", "press 1", "plug", "fail 0x222540 31", "fail 0x222540",
             "state", "transcript", "remove", "plug", "quit"}));
  Seed("sim_commands", "mistakes",
       Join({"", "press", "press 99999999999", "press 0x", "fail 1 0", "fail 0x222540 0", "serve --memory 16 --firmware 0x0204",
             "serve --memory", "serve --absent --absent", "help", "nothing", "release 1 2", "press\t-1"}));
}

void SimStateSeeds() {
  VirtualClock clock;
  sim::MouseModel model(clock);
  uint8_t step = 3;
  model.Ioctl(IOCTL_SET_DPI_STEP, &step, 1, 0);
  model.Ioctl(IOCTL_SAVE_SETTINGS, nullptr, 0, 0);
  sim::MouseState state = model.Snapshot();
  Seed("sim_state", "model", sim::StateFileText(state));
  std::string edited = "OrvMouseSim state 1\r\ndpi_step=9\r\npolling_rate=0x2\r\nled_color=0xFFFFFFF\r\nfirmware=0\r\n"
                       "onboard_header=0E0\r\nonboard_data=00FF00FF\r\n=\r\nnothing\r\n";
  Seed("sim_state", "edited", edited);
}

void FirmwareSeeds(const std::string& programFolder) {
  const std::string xml = FileBytes(programFolder + "Firmware.xml");
  const std::string image = FileBytes(programFolder + "Firmware.bin");
  const std::string info = Str({0, 0, 0, 16, 2, 3, 0, 0, 0x10, 0, 0, 5, 0, 10, 0, 0});
  Seed("firmware", "installed", Join({xml, image, info, Str({4, 2})}));
  // A start offset that leaves room for 300 bytes, and blocks that fail.
  Seed("firmware", "near_the_end",
       Join({xml, image.substr(0, 700), Str({0, 0, 0, 16, 2, 3, 0, 0, 0xFE, 0xD4, 0, 5, 0, 10, 0, 0}), Str({0, 0}),
             std::string("\0\0\1\1\0\1\1", 7)}));
  Seed("firmware", "other_names",
       Join({"<FIRMWARE><Version>0XFFFFFFFFF</Version><FirmwareFile>fw.img</FirmwareFile></FIRMWARE>", image.substr(0, 513),
             info}));
}

void SettingsSeeds(const std::string& programFolder) {
  const std::string temp = JoinPath(orv::fuzz::ScratchFolder(), "seeds");
  MakeFolders(temp);
  WriteFirmwareVersionFile(temp, 204);
  const std::string fw = FileBytes(JoinPath(temp, kFirmwareVersionFileName));
  const std::string config =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<root>\r\n<PROFILE_ID>0</PROFILE_ID>\r\n<POLLING_RATE>2</POLLING_RATE>\r\n"
      "<LIFT_DISTANCE>1</LIFT_DISTANCE>\r\n<TRAY_ICON_FLAG>1</TRAY_ICON_FLAG>\r\n<WARNING_OPTION_FLAG>0</WARNING_OPTION_FLAG>\r\n"
      "</root>\r\n";
  Seed("settings_files", "written", Join({fw, config}));
  Seed("settings_files", "elements_missing", Join({"<root><SOFTWARE_VERSION>115</SOFTWARE_VERSION></root>", "<root/>"}));
  (void)programFolder;
}

void ProfileSeeds() {
  const std::string temp = JoinPath(orv::fuzz::ScratchFolder(), "profiles");
  MakeFolders(temp);
  ProfileSet* set = Defaults();
  set->profiles[0] = WithMacros();
  const std::string exported = JoinPath(temp, "Exported.xml");
  ExportProfile(exported, *set);
  Seed("profile_files", "written", Join({NewConfigDocument(*set), NewTrayIconDocument(*set), FileBytes(exported)}));
  const std::string small =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<root>\r\n<PROFILE_ID>1</PROFILE_ID>\r\n<POLLING_RATE>2</POLLING_RATE>\r\n"
      "<LIFT_DISTANCE>1</LIFT_DISTANCE>\r\n<GAME_MODE>0</GAME_MODE>\r\n<PROFILE_2>\r\n<PROFILE_NAME>Raid &amp; more</PROFILE_NAME>\r\n"
      "<DPI_VALUE>4</DPI_VALUE>\r\n<GAME_NAME_1>C:\\Games\\orv.exe</GAME_NAME_1>\r\n<BUTTON_4>4,1001</BUTTON_4>\r\n"
      "<MACRO_1>\r\n<MACRO_NAME>Attack</MACRO_NAME>\r\n<MACRO_LOOP_COUNT>1,3,</MACRO_LOOP_COUNT>\r\n<MACRO_DELAY_MODE>2</MACRO_DELAY_MODE>\r\n"
      "<MACRO_INFO>65,0,100,65,1,50,</MACRO_INFO>\r\n</MACRO_1>\r\n</PROFILE_2>\r\n<PROFILE_CHAGED>1,0,</PROFILE_CHAGED>\r\n</root>\r\n";
  const std::string tray = "<?xml version=\"1.0\"?>\r\n<root><PROFILE_2>old</PROFILE_2><PROFILE_1>first</PROFILE_1></root>";
  const std::string export_ = "<root><PROFILE_ID>3</PROFILE_ID><PROFILE_NAME>Imported</PROFILE_NAME><LED_COLOR>255</LED_COLOR>"
                              "<BUTTON_1>1,999999</BUTTON_1></root>";
  Seed("profile_files", "small", Join({small, tray, export_}));
  Seed("profile_files", "broken", Join({"<root><PROFILE_1><DPI_VALUE>7</DPI_VALUE></PROFILE_1>", "<root", "not xml"}));
}

void BaseFileSeeds(const std::string& programFolder) {
  const std::string temp = JoinPath(orv::fuzz::ScratchFolder(), "registry");
  MakeFolders(temp);
  RegistryStore store(JoinPath(temp, "Registry.ini"));
  store.Open();
  store.SetValue("Control Panel\\Mouse", "DoubleClickSpeed", "500");
  store.SetValue("Control Panel\\Mouse", "MouseSensitivity", "10");
  store.SetValue("Control Panel\\Desktop", "WheelScrollLines", "3");
  store.Commit();
  const std::string ini = FileBytes(JoinPath(temp, "Registry.ini"));
  Seed("base_files", "written", Join({FileBytes(programFolder + "Firmware.xml"), ini, "Control Panel\\Mouse", "DoubleClickSpeed"}));
  Seed("base_files", "hand_edited",
       Join({"", "; comment\r\n[control panel\\mouse]\r\ndoubleclickspeed = 300 \r\nOther=1\r\n\r\n[Control Panel\\Mouse]\r\nX=2\r\n[Other]",
             "Other", "X"}));
}

std::string ImageBytes(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

void SkinSeeds(const std::string& programFolder) {
  const std::string strings = FileBytes(programFolder + "Strings.xml");
  const std::string mask = FileBytes(programFolder + "skins/about_mask.png");
  Seed("skin_files", "installed", Join({"BUTTON_EXIT,376,10,16,16,Exit,FALSE", strings, mask}));
  // A one-bit mask wider than 64 pixels, an indexed one and a true-colour one.
  QImage mono(150, 5, QImage::Format_Mono);
  mono.fill(1);
  for (int x = 3; x < 140; x += 7) mono.setPixel(x, x % 5, 0);
  mono.setColor(0, qRgb(0, 0, 0));
  mono.setColor(1, qRgb(255, 255, 255));
  Seed("skin_files", "mono_bmp", Join({"10,20,text", "<root/>", ImageBytes(mono, "BMP")}));
  QImage indexed = mono.convertToFormat(QImage::Format_Indexed8);
  Seed("skin_files", "indexed_png", Join({"a,-5,+7,99999,-3,tip,TRUE", "", ImageBytes(indexed, "PNG")}));
  QImage colour(20, 12, QImage::Format_RGB32);
  colour.fill(Qt::white);
  colour.setPixel(5, 5, qRgb(255, 254, 255));
  Seed("skin_files", "colour_jpg", Join({",,,,", "", ImageBytes(colour, "JPG")}));
}

// A frame part of the bus frames target: a control byte, then the frame with "WWWW" for the
// window's handle.
std::string BusFramePart(char control, const BusFrame& f) {
  uint8_t out[kBusFrameSize];
  EncodeBusFrame(f, out);
  std::string frame(reinterpret_cast<const char*>(out), sizeof out);
  frame.replace(8, 4, "WWWW");
  return std::string(1, control) + frame;
}

void LinkSeeds() {
  const BusFrame post{BusFrame::kPost, 0, 0, UM_RELOAD_PROFILES, 1, 0, 0, 0};
  const BusFrame send{BusFrame::kSend, 0, 0, UM_QUERY_MEMORY_SIZE, 0, -1, 0, 7};
  const BusFrame reply{BusFrame::kReply, 1, 0, 0x8123, 5, -6, 42, 1};
  // A reply part: control byte 3 (an answer with the Send's sequence), flags, result bytes.
  Seed("bus_frames", "traffic",
       Join({BusFramePart('\0', post), BusFramePart('\0', send), BusFramePart('\0', reply),
             BusFramePart('\0', post).substr(0, 20), std::string("\3\1*\0\0\0\0\0\0\0", 10)}));
  uint8_t stale[kBusFrameSize];
  EncodeBusFrame(reply, stale);
  Seed("bus_frames", "replies",
       Join({std::string("\1") + std::string(reinterpret_cast<const char*>(stale), sizeof stale), "\1junk",
             std::string("\3\0\xff\xff\xff\xff\xff\xff\xff\xff", 10)}));

  Seed("bus_endpoints", "live_and_stale",
       Join({"C123 " + ToUtf8(kControlAttachMessage) + "\nC124 " + ToUtf8(kControlDiscoverMessage) + "\n",
             "pid=$PID\nstart=$START\ntitle=" + ToUtf8(kAgentWindowTitle) + "\n",
             "pid=$PID\nstart=$START\ntitle=" + ToUtf8(kPanelWindowTitle) + "\n",
             "pid=$PID\nstart=1\ntitle=stale start\n", "pid=1\nstart=$START\ntitle=someone else\n",
             "pid=-5\nstart=\ntitle=\n", "title=first\npid=$PID\nstart=$START\n"}));
  Seed("bus_endpoints", "table_edits",
       Join({"0400 low\nC001 one\nC001 two\nzzzz bad\nFFFFF high\nC002\n", "pid=$PID\nstart=$START\ntitle=\xff\xfe\n"}));

  std::vector<std::string> records;
  for (uint32_t code : {UM_RELOAD_PROFILES, UM_SET_LIFT_DISTANCE, UM_SET_POLLING_RATE, UM_QUERY_MEMORY_SIZE}) {
    const auto r = MakePipeRecord(code, 1, 0xFFFFFFFF);
    records.emplace_back(reinterpret_cast<const char*>(r.data()), r.size());
  }
  const auto other = MakePipeRecord(UM_UPDATE_FIRMWARE, 0, 0);
  records.emplace_back(reinterpret_cast<const char*>(other.data()), other.size());
  records.push_back(records[0] + "x");
  records.push_back(records[1].substr(0, 11));
  Seed("pipe_records", "records", Join(records));
}

void XmlSeeds(const std::string& programFolder) {
  for (const char* name : {"Firmware.xml", "Menu.xml"}) Seed("xml_cursor", name, FileBytes(programFolder + name));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 1;
  }
  g_root = argv[1];
  const std::string programFolder = ORV_DATA_DIR "/";
  OnboardSeeds();
  DeviceClientSeeds();
  SimServerSeeds();
  SimCommandSeeds();
  SimStateSeeds();
  FirmwareSeeds(programFolder);
  SettingsSeeds(programFolder);
  ProfileSeeds();
  BaseFileSeeds(programFolder);
  SkinSeeds(programFolder);
  LinkSeeds();
  XmlSeeds(programFolder);
  std::printf("seeds written under %s\n", argv[1]);
  return 0;
}
