// The field file's temporary on POSIX systems: created beside the target,
// written through its descriptor, flushed to disk and renamed over the
// target.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "run/system/field_sink.h"
#include "run/system/process.h"

namespace zereduv {

namespace {

std::string error_text(int err) {
  return std::generic_category().message(err);
}

}  // namespace

FieldSink::FieldSink(const std::filesystem::path& target, int unit,
                     std::string name, SinkDevices devices)
    : target_(target), unit_(unit), name_(std::move(name)) {
  if (devices == SinkDevices::write_directly && open_device())
    return;
  // A field file reached through a symbolic link is written where the link
  // points, as writing it in place would do.
  std::error_code ec;
  if (std::filesystem::is_symlink(target_, ec)) {
    const auto real = std::filesystem::weakly_canonical(target_, ec);
    if (!ec)
      target_ = real;
  }
  // A directory (or anything else that is not a plain file) under the field
  // file's name cannot be replaced, nor can a file we may not write: say so
  // now rather than after 18 MB.
  struct stat st {};
  bool keep_mode = false;
  if (::stat(target_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      fail("cannot create file", "something other than a file has that name",
           error_text(S_ISDIR(st.st_mode) ? EISDIR : EEXIST));
    }
    if (::access(target_.c_str(), W_OK) != 0) {
      fail("cannot create file", "the file is write-protected",
           error_text(errno));
    }
    keep_mode = true;
  }

  create_temporary(std::to_string(static_cast<long>(::getpid())));
  // Overwriting a field file keeps its permissions, as rewriting it in
  // place would.
  if (keep_mode &&
      ::fchmod(static_cast<int>(handle_), st.st_mode & 07777) != 0) {
    fail("cannot create file", "cannot set the permissions", error_text(errno));
  }
}

bool FieldSink::open_device() {
  // Before any symbolic link is followed: /dev/stdout names the process's
  // own output, whatever it is.
  struct stat st {};
  if (::stat(target_.c_str(), &st) != 0 || S_ISREG(st.st_mode) ||
      S_ISDIR(st.st_mode))
    return false;
  const int fd = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0)
    fail("cannot create file", "cannot open", error_text(errno));
  handle_ = fd;
  direct_ = true;
  return true;
}

std::optional<std::string> FieldSink::create_new(bool& taken) {
  const int fd =
      ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int err = errno;
    taken = err == EEXIST;
    return error_text(err);
  }
  handle_ = fd;
  return std::nullopt;
}

std::size_t FieldSink::write_some(const char* p, std::size_t n) {
  ssize_t k = 0;
  while ((k = ::write(static_cast<int>(handle_), p, n)) < 0) {
    if (errno != EINTR)
      fail("write error", "cannot write", error_text(errno));
    check_interrupted();
  }
  if (k == 0)
    fail("write error", "cannot write", error_text(EIO));
#if defined(__linux__)
  // Start writing these bytes back to disk now, while the rest of the file
  // is formatted, so that the flush before the rename finds little left to
  // do.  Only a hint: the flush in commit() still decides.
  ::sync_file_range(static_cast<int>(handle_), static_cast<off_t>(written_),
                    static_cast<off_t>(k), SYNC_FILE_RANGE_WRITE);
#endif
  return static_cast<std::size_t>(k);
}

void FieldSink::commit() {
  if (direct_) {
    const int fd = static_cast<int>(std::exchange(handle_, -1));
    if (::close(fd) != 0)
      fail("write error", "cannot close", error_text(errno));
    committed_ = true;
    return;
  }
  // The data must be on disk before the name moves over to them: otherwise
  // a crash right after the rename could leave an empty field file.
  if (::fsync(static_cast<int>(handle_)) != 0) {
    fail("write error", "cannot flush to disk", error_text(errno));
  }
  check_interrupted();
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (::close(fd) != 0)
    fail("write error", "cannot close", error_text(errno));
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    fail("write error", "cannot replace the file", error_text(errno));
  }
  committed_ = true;
}

void FieldSink::discard() noexcept {
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));
    handle_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace zereduv
