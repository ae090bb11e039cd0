#include "base/registry_store.h"

#include "base/files.h"

#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace orv {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// For "Name=value" lines: the name; empty for anything else.
std::string_view ValueName(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return {};
  return Trim(line.substr(0, eq));
}

}  // namespace

bool SameRegistryName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

RegistryStore::RegistryStore(std::string path) : path_(std::move(path)) {}


bool RegistryStore::Open() {
  lines_.clear();
  size_t slash = path_.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path_.substr(0, slash))) return false;
  std::string bytes;
  // A store that does not exist yet is empty; one that exists but cannot be read (or is no
  // regular file, or is far larger than a few values) is not usable.
  const FileRead outcome = ReadFileBounded(path_, bytes, kMaxRegistryFileSize);
  if (outcome != FileRead::kRead) return outcome == FileRead::kMissing;
  std::string section;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string_view raw(bytes.data() + pos, end - pos);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string_view t = Trim(raw);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']') section = std::string(t.substr(1, t.size() - 2));
    lines_.push_back({std::string(raw), section});
    pos = end + 1;
  }
  return true;
}

std::optional<std::string> RegistryStore::GetValue(std::string_view key, std::string_view name) const {
  for (const Line& line : lines_) {
    if (!SameRegistryName(line.section, key)) continue;
    std::string_view n = ValueName(line.text);
    if (!n.empty() && SameRegistryName(n, name)) {
      return std::string(Trim(std::string_view(line.text).substr(line.text.find('=') + 1)));
    }
  }
  return std::nullopt;
}

void RegistryStore::SetValue(std::string_view key, std::string_view name, std::string_view value) {
  std::string text = std::string(name) + "=" + std::string(value);
  size_t lastOfSection = lines_.size();
  bool sectionFound = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!SameRegistryName(lines_[i].section, key)) continue;
    sectionFound = true;
    lastOfSection = i;
    std::string_view n = ValueName(lines_[i].text);
    if (!n.empty() && SameRegistryName(n, name)) {
      lines_[i].text = text;
      return;
    }
  }
  if (!sectionFound) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({"", lines_.back().section});
    lines_.push_back({"[" + std::string(key) + "]", std::string(key)});
    lines_.push_back({text, std::string(key)});
    return;
  }
  // After the section's last value line, before blank lines that separate it from the next one.
  size_t at = lastOfSection;
  while (at > 0 && Trim(lines_[at].text).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at + 1), {text, std::string(key)});
}

bool RegistryStore::Commit() {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += '\n';
  }
  return ReplaceFileContents(path_, {out});
}

}  // namespace orv
