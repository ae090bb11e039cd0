#include "fuzz_input.h"

#include <stdlib.h>

#include <filesystem>

namespace orv::fuzz {
namespace {

// Never destroyed, so that the removal at exit can still name it.
const std::string* g_scratch = nullptr;

}  // namespace

std::string ScratchFolder() {
  if (!g_scratch) {
    char name[] = "/tmp/orv-fuzz-XXXXXX";
    if (!::mkdtemp(name)) {
      std::fprintf(stderr, "cannot make a scratch folder\n");
      std::abort();
    }
    g_scratch = new std::string(name);
    // Removed when the process ends normally (a crash leaves it for a look).
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*g_scratch, ignored);
    });
  }
  return *g_scratch;
}

}  // namespace orv::fuzz
