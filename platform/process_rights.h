#pragma once
// Named mutexes (one instance per user of a program) and the elevation of a process.
#include <string>
#include <sys/types.h>

namespace orv {

// The folder of this user's sockets and locks: $XDG_RUNTIME_DIR, else /tmp/orvandel-<uid>
// created with mode 0700. Empty if it can be neither found nor made.
std::string RuntimeFolder();

// A named mutex held for the lifetime of the object: an exclusive flock on
// <runtime>/<name>.lock, released by the kernel when the process ends however it ends.
class NamedMutex {
 public:
  enum class Outcome {
    Created,        // this process holds it now
    AlreadyExists,  // another process holds it
    Failed,         // the lock file cannot be made
  };
  explicit NamedMutex(const std::string& name);
  ~NamedMutex();
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;
  Outcome outcome() const { return outcome_; }

 private:
  int fd_ = -1;
  Outcome outcome_ = Outcome::Failed;
};

// Token elevation types as the programs compare them.
enum TokenElevation : int {
  kElevationUnknown = 0,  // the process cannot be looked at
  kElevationFull = 2,     // effective user id 0
  kElevationLimited = 3,  // any other user
};
TokenElevation ThisProcessElevation();
// From /proc/<pid>/status (the effective user id).
TokenElevation ProcessElevation(pid_t pid);

}  // namespace orv
