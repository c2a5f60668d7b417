// The field file's temporary on POSIX systems: created beside the target,
// written through its descriptor, flushed to disk and renamed over the
// target.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
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

// Follows the symbolic links from `target` to the file they lead to, with
// `followed` set when there was one; 0, or the error number of the failure
// that `what` names.
int follow_links(std::filesystem::path& target, bool& followed,
                 const char*& what) {
  // A field file reached through a symbolic link is written where the link
  // points, as writing it in place would do.  Each link is read and taken
  // relative to its own directory, so the path stays as short as the links
  // make it: a working directory deeper than the system's longest path
  // keeps its link (a path made absolute could not be used there).
  followed = false;
  what = "cannot follow the symbolic link";
  for (int hops = 0;; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
      if (errno == ENOENT)
        return 0;
      what = "cannot look the file up";
      return errno;
    }
    if (!S_ISLNK(st.st_mode))
      return 0;
    if (hops == 40)
      return ELOOP;
    std::string to(static_cast<std::size_t>(st.st_size) + 256, '\0');
    const ssize_t n = ::readlink(target.c_str(), to.data(), to.size());
    if (n < 0)
      return errno;
    if (static_cast<std::size_t>(n) >= to.size())
      return ENAMETOOLONG;
    to.resize(static_cast<std::size_t>(n));
    const std::filesystem::path next(to);
    target = next.is_absolute() ? next : target.parent_path() / next;
    followed = true;
  }
}

// Removes, in `dir`, the temporaries made from `stem` by runs that have
// ended.
void remove_abandoned_temporaries(const std::filesystem::path& dir,
                                  const std::string& stem) noexcept {
  const std::filesystem::path where = dir.empty() ? "." : dir;
  DIR* d = ::opendir(where.c_str());
  if (d == nullptr)
    return;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view entry = e->d_name;
    if (!is_temporary_of(entry, stem))
      continue;
    // Its run has ended when the process of its name is gone and nobody
    // holds the temporary's lock.
    const std::string_view pid = entry.substr(stem.size());
    const long owner = std::strtol(std::string(pid).c_str(), nullptr, 10);
    if (owner <= 0 || owner == static_cast<long>(::getpid()) ||
        ::kill(static_cast<pid_t>(owner), 0) == 0 || errno != ESRCH)
      continue;
    const int fd = ::openat(::dirfd(d), e->d_name,
                            O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
      continue;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlinkat(::dirfd(d), e->d_name, 0);
    ::close(fd);
  }
  ::closedir(d);
}

}  // namespace

FieldSink::FieldSink(const std::filesystem::path& target, int unit,
                     std::string name, SinkDevices devices)
    : target_(target), unit_(unit), name_(std::move(name)) {
  if (devices == SinkDevices::write_directly && open_device())
    return;
  // The temporary is named after the name the run gives the file: short
  // and of our own naming, wherever a symbolic link leads.
  const std::string stem = temporary_stem(target_.filename().string());
  bool followed = false;
  const char* what = nullptr;
  if (const int err = follow_links(target_, followed, what))
    fail("cannot create file", what, error_text(err));
  if (followed) {
    // Beside a link's target no run lock guards the directory: remove only
    // the temporaries whose run has ended.
    remove_abandoned_temporaries(target_.parent_path(), stem);
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

  create_temporary(stem, std::to_string(static_cast<long>(::getpid())));
  // Held while the temporary is ours: a later run that can take the lock
  // knows the temporary was abandoned.
  (void)::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB);
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
