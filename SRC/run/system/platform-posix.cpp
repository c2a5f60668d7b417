// The platform interface on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "run/system/platform.h"

namespace zereduv::platform {

namespace {

FileError error(const char* kind, int err) {
  return {kind, std::strerror(err)};
}

int fd_of(std::intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

std::filesystem::path file_path(std::string_view name) {
  return std::filesystem::path(std::string(name));
}

std::string system_error_text(unsigned long code) {
  return std::strerror(static_cast<int>(code));
}

std::string file_error_text(const std::filesystem::path& path,
                            unsigned long code) {
  (void)path;
  return system_error_text(code);
}

std::vector<std::string> arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string_view console_line_end() noexcept {
  return "\n";
}

InputFile::~InputFile() {
  close();
}

void InputFile::close() noexcept {
  if (handle_ != -1)
    ::close(fd_of(handle_));
  handle_ = -1;
}

namespace {

// What a file that is not a regular file is, for the report.
const char* kind_of_file(mode_t mode) {
  if (S_ISDIR(mode))
    return "it is a directory";
  if (S_ISFIFO(mode))
    return "it is a FIFO (named pipe)";
  if (S_ISCHR(mode))
    return "it is a character device";
  if (S_ISBLK(mode))
    return "it is a block device";
  if (S_ISSOCK(mode))
    return "it is a socket";
  return "it is not a file of data";
}

// The system takes a name up to its first NUL byte: a name holding one
// would open some other file.
FileError nul_in_name(const std::filesystem::path& path) {
  if (path.native().find('\0') == std::string::npos)
    return {};
  return {"cannot open file",
          "the name holds a NUL byte (shown as ?), which no file name can"};
}

// The identity (device and inode) of the file at `path`, after symbolic
// links: false when there is none.
bool identity(const std::filesystem::path& path, struct stat& st) {
  return path.native().find('\0') == std::string::npos &&
         ::stat(path.c_str(), &st) == 0;
}

}  // namespace

bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat sa {
  }, sb{};
  return identity(a, sa) && identity(b, sb) && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool is_standard_output(const std::filesystem::path& path) {
  struct stat so {
  }, sp{};
  // Only a regular file can be an input; a terminal or pipe never is.
  return ::fstat(STDOUT_FILENO, &so) == 0 && S_ISREG(so.st_mode) &&
         identity(path, sp) && so.st_dev == sp.st_dev && so.st_ino == sp.st_ino;
}

FileError InputFile::open(const std::filesystem::path& path) {
  close();
  if (const FileError e = nul_in_name(path))
    return e;
  // Without O_NONBLOCK, opening a FIFO would wait for a writer forever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    return error(err == ENOENT ? "file not found" : "cannot open file", err);
  }
  handle_ = fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    close();
    return error("cannot open file", err);
  }
  if (!S_ISREG(st.st_mode)) {
    close();
    return {"not a regular file", kind_of_file(st.st_mode)};
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
  return {};
}

FileError InputFile::read_some(char* to, std::size_t n, std::size_t& got) {
  got = 0;
  for (;;) {
    const ssize_t k = ::read(fd_of(handle_), to, n);
    if (k >= 0) {
      got = static_cast<std::size_t>(k);
      return {};
    }
    if (errno != EINTR)
      return error("read error", errno);
  }
}

OutputFile::~OutputFile() {
  close_quietly(nullptr, 0);
}

FileError OutputFile::create(const std::filesystem::path& path) {
  if (const FileError e = nul_in_name(path))
    return e;
  // Never waiting on a special file: a FIFO without a reader fails at once
  // (ENXIO) instead of holding the run in open(), where no interruption
  // could end it.  The mode is the field file's: what the umask leaves of
  // read and write for all.
  const int fd = ::open(
      path.c_str(),
      O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) {
    const int err = errno;
    struct stat st {};
    if (err == ENXIO && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      return {"not a regular file", kind_of_file(st.st_mode)};
    return error("cannot create file", err);
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return error("cannot create file", err);
  }
  // A FIFO (with a reader) or a socket could hold every write for as long
  // as the other end likes: refused, as they are for input.  A device named
  // on purpose (/dev/null, /dev/full) is written as a file is.
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    ::close(fd);
    return {"not a regular file", kind_of_file(st.st_mode)};
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1)
    (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  handle_ = fd;
  owned_ = true;
  return {};
}

void OutputFile::attach_standard_output() {
  handle_ = STDOUT_FILENO;
  owned_ = false;
}

void OutputFile::attach_standard_error() {
  handle_ = STDERR_FILENO;
  owned_ = false;
}

FileError OutputFile::write(const char* data, std::size_t n,
                            std::size_t& done) {
  done = 0;
  while (done < n) {
    const ssize_t k = ::write(fd_of(handle_), data + done, n - done);
    if (k < 0) {
      if (errno == EINTR)
        continue;
      return error("write error", errno);
    }
    done += static_cast<std::size_t>(k);
  }
  return {};
}

FileError OutputFile::close() {
  const std::intptr_t h = std::exchange(handle_, -1);
  if (h != -1 && owned_ && ::close(fd_of(h)) != 0)
    return error("write error", errno);
  return {};
}

void OutputFile::close_quietly(const char* data, std::size_t n) noexcept {
  if (handle_ == -1)
    return;
  std::size_t done = 0;
  while (done < n) {
    const ssize_t k = ::write(fd_of(handle_), data + done, n - done);
    if (k < 0 && errno == EINTR)
      continue;
    if (k <= 0)
      break;
    done += static_cast<std::size_t>(k);
  }
  if (owned_)
    ::close(fd_of(handle_));
  handle_ = -1;
}

PathFacts path_facts(const std::filesystem::path& path) {
  PathFacts f;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return f;
  f.exists = true;
  f.directory = S_ISDIR(st.st_mode);
  if (S_ISREG(st.st_mode))
    f.kind = nullptr;
  else if (S_ISDIR(st.st_mode))
    f.kind = "a directory";
  else if (S_ISFIFO(st.st_mode))
    f.kind = "a FIFO";
  else if (S_ISCHR(st.st_mode))
    f.kind = "a character device";
  else if (S_ISBLK(st.st_mode))
    f.kind = "a block device";
  else if (S_ISSOCK(st.st_mode))
    f.kind = "a socket";
  else
    f.kind = "a special file";
  f.device = static_cast<std::uint64_t>(st.st_dev);
  f.file = static_cast<std::uint64_t>(st.st_ino);
  return f;
}

bool same_file_name(std::string_view a, std::string_view b) {
  return a == b;
}

}  // namespace zereduv::platform
