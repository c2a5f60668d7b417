// The one scratch directory of a fuzz target's process, made on first use
// under /tmp with the target's name in it.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

inline std::string fuzz_scratch_dir(const char* target) {
  std::string t = std::string("/tmp/zereduv-fuzz-") + target + "-XXXXXX";
  if (::mkdtemp(t.data()) == nullptr)
    std::abort();
  return t;
}
