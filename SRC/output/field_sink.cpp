#include "output/field_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include "run/errors.h"
#include "run/process.h"

namespace zereduv {

namespace {

std::string error_text(int err) { return std::generic_category().message(err); }

bool all_digits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool is_field_file_temporary(std::string_view name) {
  // "." "eh_ZIV.#" two characters (digits, or ** for a number outside
  // 0..99) ".part" digits "-" digits.
  constexpr std::string_view kHead = ".eh_ZIV.#";
  constexpr std::string_view kPart = ".part";
  if (name.substr(0, kHead.size()) != kHead) return false;
  name.remove_prefix(kHead.size());
  if (name.size() < 2 || name.substr(2, kPart.size()) != kPart) return false;
  name.remove_prefix(2 + kPart.size());
  const std::size_t dash = name.find('-');
  return dash != std::string_view::npos && all_digits(name.substr(0, dash)) &&
         all_digits(name.substr(dash + 1));
}

FieldSink::FieldSink(const std::filesystem::path& target, int unit,
                     std::string name)
    : target_(target), unit_(unit), name_(std::move(name)) {
  // A field file reached through a symbolic link is written where the link
  // points, as writing it in place would do.
  std::error_code ec;
  if (std::filesystem::is_symlink(target_, ec)) {
    const auto real = std::filesystem::weakly_canonical(target_, ec);
    if (!ec) target_ = real;
  }
  // A directory (or anything else that is not a plain file) under the field
  // file's name cannot be replaced, nor can a file we may not write: say so
  // now rather than after 18 MB.
  struct stat st {};
  bool keep_mode = false;
  if (::stat(target_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      fail("cannot create file", "something other than a file has that name",
           S_ISDIR(st.st_mode) ? EISDIR : EEXIST);
    }
    if (::access(target_.c_str(), W_OK) != 0) {
      fail("cannot create file", "the file is write-protected", errno);
    }
    keep_mode = true;
  }

  // The temporary sits in the same directory, so the final rename stays on
  // one file system and is atomic.  Its name is unique to this process.
  const std::string stem = "." + target_.filename().string() + ".part" +
                           std::to_string(static_cast<long>(::getpid())) + "-";
  for (int k = 0;; ++k) {
    temp_ = target_.parent_path() / (stem + std::to_string(k));
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) break;
    if (errno != EEXIST || k >= 100) {
      const int err = errno;
      temp_.clear();  // nothing of ours to remove
      fail("cannot create file", "in " + target_.parent_path().string(), err);
    }
  }
  // Overwriting a field file keeps its permissions, as rewriting it in
  // place would.
  if (keep_mode && ::fchmod(fd_, st.st_mode & 07777) != 0) {
    fail("cannot create file", "cannot set the permissions", errno);
  }
}

FieldSink::~FieldSink() {
  if (!committed_) discard();
}

void FieldSink::write(const void* data, std::size_t n) {
  check_interrupted();
  const char* p = static_cast<const char*>(data);
  const std::size_t start = written_;
  while (n > 0) {
    const ssize_t k = ::write(fd_, p, n);
    if (k < 0) {
      if (errno == EINTR) {
        check_interrupted();
        continue;
      }
      fail("write error", "cannot write", errno);
    }
    if (k == 0) fail("write error", "cannot write", EIO);
    p += k;
    n -= static_cast<std::size_t>(k);
    written_ += static_cast<std::size_t>(k);
  }
#if defined(__linux__)
  // Start writing these bytes back to disk now, while the rest of the file
  // is formatted, so that the flush before the rename finds little left to
  // do.  Only a hint: the flush in commit() still decides.
  if (written_ > start) {
    ::sync_file_range(fd_, static_cast<off_t>(start), static_cast<off_t>(written_ - start),
                      SYNC_FILE_RANGE_WRITE);
  }
#endif
}

void FieldSink::commit() {
  // The data must be on disk before the name moves over to them: otherwise
  // a crash right after the rename could leave an empty field file.
  if (::fsync(fd_) != 0) fail("write error", "cannot flush to disk", errno);
  check_interrupted();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) fail("write error", "cannot close", errno);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    fail("write error", "cannot replace the file", errno);
  }
  committed_ = true;
}

void FieldSink::fail(std::string_view kind, const std::string& what, int err) {
  discard();
  throw IoError(unit_, name_, std::string(kind),
                std::string(what) + ": " + error_text(err));
}

void FieldSink::discard() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

BlockWriter::BlockWriter(FieldSink& sink, char* block) : sink_(sink), buf_{block} {}

BlockWriter::~BlockWriter() = default;

void BlockWriter::append(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    if (used_ == kBlock) flush();
    const std::size_t k = std::min(n, kBlock - used_);
    std::memcpy(buf_.get() + used_, p, k);
    used_ += k;
    p += k;
    n -= k;
  }
}

void BlockWriter::flush() {
  if (used_ == 0) return;
  sink_.write(buf_.get(), used_);
  used_ = 0;
}

}  // namespace zereduv
