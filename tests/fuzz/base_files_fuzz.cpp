// Fuzz target for the base folder's readers of files a user controls: the default file copied
// when the user has none (part 1 its bytes) and the registry values' INI store (part 2 the
// file, parts 3 and 4 a key and a value name to look at). A copy is the file byte for byte and
// never replaces an existing one; values set read back after a commit, and every other value
// of the file is kept as it was.
#include <string>

#include "base/files.h"
#include "base/registry_store.h"
#include "fuzz_input.h"

namespace {
constexpr size_t kFuzzFileBound = 1u << 20;

struct Value {
  const char* key;
  const char* name;
};
// The values the programs write.
constexpr Value kWritten[] = {{"Control Panel\\Mouse", "DoubleClickSpeed"},
                              {"Control Panel\\Mouse", "MouseSensitivity"},
                              {"Control Panel\\Desktop", "WheelScrollLines"}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orv;
  static const std::string folder = fuzz::ScratchSubfolder("files");
  const auto parts = fuzz::SplitParts(data, size, 4);

  // The default file.
  const std::string from = JoinPath(folder, "Default.xml");
  const std::string to = JoinPath(folder, "Copy.xml");
  ORV_FUZZ_CHECK(ReplaceFileContents(from, {parts[0]}));
  std::remove(to.c_str());
  ORV_FUZZ_CHECK(CopyFileIfMissing(from, to, kFuzzFileBound));
  std::string copied;
  ORV_FUZZ_CHECK(ReadWholeFile(to, copied, kFuzzFileBound) && copied == parts[0]);
  ORV_FUZZ_CHECK(ReplaceFileContents(from, {"other"}));
  ORV_FUZZ_CHECK(!CopyFileIfMissing(from, to, kFuzzFileBound));
  ORV_FUZZ_CHECK(ReadWholeFile(to, copied, kFuzzFileBound) && copied == parts[0]);

  if (parts.size() < 2) return 0;
  const std::string ini = JoinPath(folder, "Registry.ini");
  ORV_FUZZ_CHECK(ReplaceFileContents(ini, {parts[1]}));
  RegistryStore store(ini);
  ORV_FUZZ_CHECK(store.Open());
  // A value of the file that is looked at: a key and a name without line breaks.
  const std::string key(parts.size() > 2 ? parts[2] : "Control Panel\\Mouse");
  const std::string name(parts.size() > 3 ? parts[3] : "DoubleClickSpeed");
  const bool lookable = key.find_first_of("\r\n") == std::string::npos && name.find_first_of("\r\n=") == std::string::npos;
  const std::optional<std::string> before = store.GetValue(key, name);
  bool overwritten = false;
  for (size_t i = 0; i < std::size(kWritten); ++i) {
    (void)store.GetValue(kWritten[i].key, kWritten[i].name);
    store.SetValue(kWritten[i].key, kWritten[i].name, std::to_string(size + i));
    overwritten = overwritten || (SameRegistryName(key, kWritten[i].key) && SameRegistryName(name, kWritten[i].name));
  }
  ORV_FUZZ_CHECK(store.Commit());
  RegistryStore again(ini);
  ORV_FUZZ_CHECK(again.Open());
  for (size_t i = 0; i < std::size(kWritten); ++i) {
    const std::optional<std::string> value = again.GetValue(kWritten[i].key, kWritten[i].name);
    ORV_FUZZ_CHECK(value && *value == std::to_string(size + i));
  }
  if (lookable && !overwritten) ORV_FUZZ_CHECK(again.GetValue(key, name) == before);
  return 0;
}
