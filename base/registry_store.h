#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// Whether two section or value names are the same: registry names are compared without
// regard to ASCII case.
bool SameRegistryName(std::string_view a, std::string_view b);

// The user's registry values, kept in an INI file: one section per key ("[Control Panel\Mouse]"),
// one "Name=value" line per string value. Sections, values and lines this program does not
// know are kept as they are.
// The largest store that is read: it holds a handful of values.
inline constexpr size_t kMaxRegistryFileSize = 1u << 20;

class RegistryStore {
 public:
  explicit RegistryStore(std::string path);

  const std::string& Path() const { return path_; }

  // Opens the store for reading and writing: creates its folder and reads the file (a missing
  // file is an empty store). False when the folder cannot be created or the file cannot be
  // read; that is the "key cannot be opened" case.
  bool Open();
  std::optional<std::string> GetValue(std::string_view key, std::string_view name) const;
  void SetValue(std::string_view key, std::string_view name, std::string_view value);
  // Writes the store back, replacing the file atomically. False if that fails.
  bool Commit();

 private:
  struct Line {
    std::string text;     // the line as read or written, without its line break
    std::string section;  // section it belongs to
  };
  std::vector<Line> lines_;
  std::string path_;
};

}  // namespace orv
