// The platform interface on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "run/platform.h"

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

FileError InputFile::open(const std::filesystem::path& path) {
  close();
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

FileError InputFile::read_all(FileBytes& out) {
  const int fd = fd_of(handle_);
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
    const ssize_t n = ::read(fd, buf.data() + have, cap - have);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      const int err = errno;
      close();
      return error("read error", err);
    }
    if (n == 0)
      break;
    have += static_cast<std::size_t>(n);
  }
  close();
  // Cut short by another program while it was read: what is there may end
  // anywhere, even inside a number.
  if (have < size_) {
    return {"file changed while it was read",
            "it was cut short to " + std::to_string(have) + " of its " +
                std::to_string(size_) + " bytes"};
  }
  out.data = std::move(buf);
  out.size = have;
  return {};
}

OutputFile::~OutputFile() {
  close_quietly(nullptr, 0);
}

FileError OutputFile::create(const std::filesystem::path& path) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    return error("cannot create file", errno);
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

}  // namespace zereduv::platform
