#include "fuzz_input.h"

#include <stdlib.h>

namespace orv::fuzz {

std::string ScratchFolder() {
  static const std::string folder = [] {
    char name[] = "/tmp/orv-fuzz-XXXXXX";
    if (!::mkdtemp(name)) {
      std::fprintf(stderr, "cannot make a scratch folder\n");
      std::abort();
    }
    return std::string(name);
  }();
  return folder;
}

}  // namespace orv::fuzz
