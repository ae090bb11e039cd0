#pragma once
// The shell's "open": starting a program (the tray program) and opening a document (the user
// guide) with the desktop's viewer.
#include <string>

namespace orv {

// Starts the program at `path` with no arguments, detached from this process, in this
// process's working directory. False when `path` is not an executable regular file or the
// program cannot be started; its later fate is not followed.
bool ShellOpenProgram(const std::string& path);

// Hands the local file at `path` (made absolute) to the desktop's handler for its type, as a
// file URL. False when the file does not exist or nothing takes it (no GUI application object,
// no handler).
bool ShellOpenDocument(const std::string& path);

}  // namespace orv
