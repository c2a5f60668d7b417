// A self-cleaning scratch directory for tests that need real files (the
// control file, the log, field tables and field files of a run).
#pragma once

#include <stdlib.h>  // mkdtemp

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace zereduv::test {

class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl =
        (std::filesystem::temp_directory_path() / "zereduv-test-XXXXXX")
            .string();
    if (mkdtemp(tmpl.data()) == nullptr) {
      throw std::runtime_error("cannot create a scratch directory");
    }
    path_ = tmpl;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const {
    return path_ / std::filesystem::path(std::string(name));
  }

  bool exists(std::string_view name) const {
    return std::filesystem::exists(*this / name);
  }

  /// Writes `bytes` to the file `name`, exactly as given (no line-end
  /// translation).
  void write(std::string_view name, std::string_view bytes) const {
    std::FILE* f = std::fopen((*this / name).c_str(), "wb");
    if (f == nullptr) throw std::runtime_error("cannot create test file");
    const std::size_t n = std::fwrite(bytes.data(), 1, bytes.size(), f);
    if (std::fclose(f) != 0 || n != bytes.size()) {
      throw std::runtime_error("cannot write test file");
    }
  }

  /// The whole content of the file `name`, byte for byte.
  std::string read(std::string_view name) const {
    std::FILE* f = std::fopen((*this / name).c_str(), "rb");
    if (f == nullptr) throw std::runtime_error("cannot open test file");
    std::string out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace zereduv::test
