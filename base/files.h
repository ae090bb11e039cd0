#pragma once
// Reading and atomically replacing whole files, and the path helpers every folder uses.
#include <initializer_list>
#include <string>
#include <string_view>

namespace orv {

// Replaces the file at `path` with the concatenation of `parts`, atomically: the bytes go to
// a temporary file in the same folder, which is then renamed over the old file, so a reader
// sees either the old or the new file, never a truncated one. An existing file keeps its
// permission bits; a symbolic link is followed and its target replaced. Returns false (and
// leaves the old file as it was) when the temporary file cannot be created, written or renamed.
bool ReplaceFileContents(const std::string& path, std::initializer_list<std::string_view> parts);

// Reads a whole file. Returns false if it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Copies `from` to `to` unless `to` exists already (a user's file is never overwritten).
// True when `to` was written.
bool CopyFileIfMissing(const std::string& from, const std::string& to);
// `folder` and `name` joined by exactly one '/'.
std::string JoinPath(std::string_view folder, std::string_view name);
// Creates a folder and its missing parents (mode 0700 for new ones). True if it exists afterwards.
bool MakeFolders(const std::string& path);

}  // namespace orv
