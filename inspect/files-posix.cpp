// zereduv-inspect's file-system calls on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "files.h"

namespace zereduv::inspect {

namespace {

std::string os_reason(int err) {
  return std::generic_category().message(err);
}

/// What a file that is not a regular one is, for the messages.
const char* file_kind(mode_t m) {
  if (S_ISDIR(m))
    return "a directory";
  if (S_ISFIFO(m))
    return "a FIFO";
  if (S_ISCHR(m))
    return "a character device";
  if (S_ISBLK(m))
    return "a block device";
  if (S_ISSOCK(m))
    return "a socket";
  return "a special file";
}

}  // namespace

PathFacts path_facts(const std::string& path) {
  struct stat st {};
  PathFacts f;
  if (::stat(path.c_str(), &st) != 0)
    return f;
  f.exists = true;
  f.kind = S_ISREG(st.st_mode) ? nullptr : file_kind(st.st_mode);
  f.device = static_cast<std::uint64_t>(st.st_dev);
  f.file = static_cast<std::uint64_t>(st.st_ino);
  return f;
}

void write_output(const std::string& path, const std::string& content) {
  auto fail = [&path](int err) {
    return FileError{"cannot write \"" + path + "\": " + os_reason(err)};
  };
  auto write_all = [&content](int fd) {
    const char* p = content.data();
    std::size_t n = content.size();
    while (n > 0) {
      const ssize_t k = ::write(fd, p, n);
      if (k < 0 && errno == EINTR)
        continue;
      if (k <= 0)
        return k < 0 ? errno : EIO;
      p += k;
      n -= static_cast<std::size_t>(k);
    }
    return 0;
  };

  namespace fs = std::filesystem;
  fs::path target = path;
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode))
    throw fail(EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
      throw fail(errno);
    int err = write_all(fd);
    if (::close(fd) != 0 && err == 0)
      err = errno;
    if (err != 0)
      throw fail(err);
    return;
  }
  // Through a symbolic link the file is written where the link points, as
  // writing it in place would do.
  std::error_code ec;
  if (fs::is_symlink(target, ec)) {
    const fs::path real = fs::weakly_canonical(target, ec);
    if (!ec)
      target = real;
  }
  fs::path dir = target.parent_path();
  const std::string stem = "." + target.filename().string() + ".part" +
                           std::to_string(static_cast<long>(::getpid())) + "-";
  fs::path temp;
  int fd = -1;
  for (int k = 0; fd < 0; ++k) {
    temp = dir / (stem + std::to_string(k));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || k >= 100))
      throw fail(errno);
  }
  int err = write_all(fd);
  // A file written over keeps its permissions.
  if (err == 0 && exists && ::fchmod(fd, st.st_mode & 07777) != 0)
    err = errno;
  if (err == 0 && ::fsync(fd) != 0)
    err = errno;
  if (::close(fd) != 0 && err == 0)
    err = errno;
  if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
    err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    throw fail(err);
  }
}

}  // namespace zereduv::inspect
