#pragma once
// Reading and atomically replacing whole files, and the path helpers every folder uses.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace orv {

// Replaces the file at `path` with the concatenation of `parts`, atomically: the bytes go to
// a temporary file in the same folder, which is then renamed over the old file, so a reader
// sees either the old or the new file, never a truncated one. An existing file keeps its
// permission bits; a symbolic link is followed and its target replaced. Returns false (and
// leaves the old file as it was) when the temporary file cannot be created, written or renamed,
// and when what is there is no regular file (a folder, FIFO, socket or device, also through a
// link): that is never replaced.
bool ReplaceFileContents(const std::string& path, std::initializer_list<std::string_view> parts);

// What came of reading a file.
enum class FileRead : uint8_t {
  kRead,       // the whole file is in the bytes
  kMissing,    // no such file (or a folder on its path is missing)
  kNotAFile,   // something else than a regular file: a folder, FIFO, socket or device
  kTooLarge,   // more bytes than the caller's bound
  kFailed,     // it could not be opened or read (rights, I/O error)
};
// A short English phrase for the outcome, for log lines and messages ("not a regular file").
const char* FileReadText(FileRead outcome);

// Opens a regular file of at most `maxBytes` bytes for reading and returns its descriptor, or
// -1 with the reason in `why`. The open never waits (a FIFO opened for reading would wait for
// a writer, a device for its hardware), never makes a terminal the controlling one, and
// anything but a regular file is refused before a byte is read. A link is followed: the file
// it names must pass the same test (a link to /dev/zero is a device).
int OpenRegularFile(const std::string& path, size_t maxBytes, FileRead* why = nullptr);
// Reads a whole regular file of at most `maxBytes` bytes, opened as OpenRegularFile does. A
// file that grows past the bound while it is read is refused too, so nothing ever reads more
// than maxBytes + 1 bytes. `bytes` is empty unless the outcome is kRead.
FileRead ReadFileBounded(const std::string& path, std::string& bytes, size_t maxBytes);
// The bound for the small text files of /proc (status, stat) that the programs read.
inline constexpr size_t kMaxProcFileSize = 1u << 20;

// ReadFileBounded, true for kRead.
bool ReadWholeFile(const std::string& path, std::string& bytes, size_t maxBytes);

// Copies `from` (a regular file of at most `maxBytes` bytes) to `to` unless `to` exists
// already (a user's file is never overwritten). True when `to` was written.
bool CopyFileIfMissing(const std::string& from, const std::string& to, size_t maxBytes);
// `folder` and `name` joined by exactly one '/'.
std::string JoinPath(std::string_view folder, std::string_view name);
// Creates a folder and its missing parents (mode 0700 for new ones). True if it exists afterwards.
bool MakeFolders(const std::string& path);

}  // namespace orv
