// The shipped example laid out in a scratch directory for runs among other
// processes, and the names a run leaves there.
#pragma once

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace zereduv::testing {

namespace fs = std::filesystem;

inline const fs::path kExampleDir =
    fs::path(ZEREDUV_SOURCE_DIR) / "examples" / "pillbox";
inline const std::string kOlder = "field file of an earlier run\r\n";

// The example in `dir` with the given layout, and an older field file.
inline void lay_out(const ScratchDir& dir, int layout) {
  std::string ctl = read_file(kExampleDir / "zereduv.dat");
  const std::size_t at = ctl.find("0            FieldFormat");
  if (at == std::string::npos)
    throw std::runtime_error("no FieldFormat record");
  ctl[at] = static_cast<char>('0' + layout);
  dir.write("zereduv.dat", ctl);
  fs::copy_file(kExampleDir / "pillbox.txt", dir / "pillbox.txt");
  dir.write("eh_ZIV.#01", kOlder);
}

inline std::vector<std::string> names_in(const ScratchDir& dir) {
  std::vector<std::string> v;
  for (const auto& e : fs::directory_iterator(dir.path()))
    v.push_back(e.path().filename().string());
  std::sort(v.begin(), v.end());
  return v;
}

inline const std::vector<std::string> kRunFiles = {
    "eh_ZIV.#01", "pillbox.txt", "zereduv.dat", "zereduv.log"};

}  // namespace zereduv::testing
