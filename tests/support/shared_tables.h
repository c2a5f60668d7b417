// Where the tests find the real field tables that are kept beside the
// source tree (not part of it); the tests that read them skip when the
// folder is absent.
#pragma once

#include <filesystem>

namespace zereduv::testing {

inline std::filesystem::path shared_tables_dir() {
  return std::filesystem::path(ZEREDUV_SOURCE_DIR "/../shared/data/superfish");
}

}  // namespace zereduv::testing
