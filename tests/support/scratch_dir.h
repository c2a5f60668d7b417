// A scratch directory for one test, removed with everything in it when the
// test ends.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

namespace zereduv::testing {

class ScratchDir {
 public:
  // A new directory under the system's temporary folder, with a random
  // name that no other test (or test process) has taken.
  ScratchDir() {
    const std::filesystem::path tmp = std::filesystem::temp_directory_path();
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::uint64_t tag = (std::uint64_t{rd()} << 32) ^ rd();
      std::filesystem::path p = tmp / ("zereduv-" + std::to_string(tag));
      std::error_code ec;
      if (std::filesystem::create_directory(p, ec)) {
        path_ = std::move(p);
        return;
      }
    }
    std::abort();
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const {
    return path_ / name;
  }

  /// Writes `content` byte for byte into the file `name`.
  void write(const std::string& name, const std::string& content) const {
    std::ofstream f(path_ / name, std::ios::binary);
    f << content;
  }
  /// The whole content of the file `name` ("" when absent).
  std::string read(const std::string& name) const {
    std::ifstream f(path_ / name, std::ios::binary);
    std::ostringstream bytes;
    if (f)
      bytes << f.rdbuf();
    return std::move(bytes).str();
  }
  bool exists(const std::string& name) const {
    return std::filesystem::exists(path_ / name);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace zereduv::testing
