// The parts of the platform interface that are the same on every system,
// built on the system's own calls in platform-posix.cpp or
// platform-win32.cpp.
#include "run/system/platform.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace zereduv::platform {

std::string shown_path(const std::filesystem::path& path) {
  std::filesystem::path p = path;
  p.make_preferred();
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

FileError InputFile::cut_short(std::uint64_t have) const {
  // Cut short by another program while it was read: what is there may end
  // anywhere, even inside a number.
  return {"file changed while it was read",
          "it was cut short to " + std::to_string(have) + " of its " +
              std::to_string(size_) + " bytes"};
}

FileError InputFile::read_all(FileBytes& out) {
  if (size_ >= SIZE_MAX) {
    close();
    return {"out of memory", "the file is larger than the address space"};
  }
  // One byte more than the file holds, so that its end is seen in the same
  // buffer; a file that grows meanwhile is read on into a larger one.
  std::size_t cap = static_cast<std::size_t>(size_) + 1;
  BigBlock buf(cap);
  std::size_t have = 0;
  for (;;) {
    if (have == cap) {
      BigBlock bigger(2 * cap);
      std::memcpy(bigger.data(), buf.data(), have);
      buf = std::move(bigger);
      cap *= 2;
    }
    std::size_t n = 0;
    if (const FileError e = read_some(buf.data() + have, cap - have, n)) {
      close();
      return e;
    }
    if (n == 0)
      break;
    have += n;
  }
  close();
  if (have < size_)
    return cut_short(have);
  out.data = std::move(buf);
  out.size = have;
  return {};
}

}  // namespace zereduv::platform
