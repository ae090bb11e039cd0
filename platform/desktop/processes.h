#pragma once
// The process that owns the foreground window, and the list of running processes with their
// executable names, as the agent's game detection looks at them once a second.
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace orv {

// Longest executable name kept, in UTF-16 units (longer names are cut).
inline constexpr size_t kMaxExecutableName = 260;

// The process id of the window the window manager marks active (the root window's
// _NET_ACTIVE_WINDOW): that window's _NET_WM_PID; where it has none, the client window inside a
// window manager's frame and its _NET_WM_PID; then the process of the X client that created
// the client window, as the X server reports it (see x11::QueryActiveWindowProcess). 0 when
// there is no display, no active window, or its process cannot be told. Keeps one connection to
// the display open between calls and opens a new one when it is lost or DISPLAY changes.
// Without a display one line goes to standard error, once per process. Safe to call from any
// thread.
pid_t ForegroundProcessId();

struct ProcessEntry {
  pid_t pid = 0;
  std::u16string exeName;  // file name without its folder, at most kMaxExecutableName units
};

// Every process in /proc, in the order /proc lists them. False only when /proc cannot be read;
// processes that end during the walk are left out.
bool TakeProcessSnapshot(std::vector<ProcessEntry>& out);
// The same walk over another tree laid out like /proc.
bool TakeProcessSnapshot(std::vector<ProcessEntry>& out, const std::string& procRoot);

// The executable name of one process; empty when there is no such process.
std::u16string ExecutableNameOf(pid_t pid);

// How an executable name is made from a process's /proc/<pid>/cmdline and /proc/<pid>/comm
// contents: the part of argv[0] after its last '/' or '\' (a Windows program run under Wine has
// an argv[0] like "C:\Games\ORV.EXE"); when that is empty, or argv[0] was not read whole, the
// comm name without its line break. UTF-8 bytes are decoded (ill-formed ones become U+FFFD), and
// the result is cut to kMaxExecutableName units, never inside a surrogate pair.
std::u16string ExecutableNameFrom(std::string_view cmdline, std::string_view comm);

// Equality of two names regardless of letter case (Unicode simple case folding: ASCII, Latin
// and the other cased scripts), as Windows compares file names.
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace orv
