// The field file's temporary on Windows: created beside the target, written
// through its handle, flushed to disk and moved over the target in one step.
#include <windows.h>

#include <string>

#include "output/field_sink.h"
#include "run/platform.h"
#include "run/process.h"

namespace zereduv {

namespace {

HANDLE handle_of(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

}  // namespace

FieldSink::FieldSink(const std::filesystem::path& target, int unit,
                     std::string name)
    : target_(target), unit_(unit), name_(std::move(name)) {
  // A directory under the field file's name cannot be replaced, nor can a
  // read-only file: say so now rather than after 18 MB.
  const DWORD attributes = ::GetFileAttributesW(target_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      fail("cannot create file", "something other than a file has that name",
           "Is a directory");
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      fail("cannot create file", "the file is write-protected",
           "Permission denied");
    }
  }

  // The temporary sits in the same directory, so the final move stays on
  // one volume and is atomic.  Its name is unique to this process.
  const std::string stem = "." + target_.filename().string() + ".part" +
                           std::to_string(::GetCurrentProcessId()) + "-";
  for (int k = 0;; ++k) {
    temp_ = target_.parent_path() / (stem + std::to_string(k));
    const HANDLE h =
        ::CreateFileW(temp_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(h);
      break;
    }
    const DWORD err = ::GetLastError();
    if ((err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) || k >= 100) {
      temp_.clear();  // nothing of ours to remove
      fail("cannot create file", "in " + target_.parent_path().string(),
           platform::system_error_text(err));
    }
  }
}

FieldSink::~FieldSink() {
  if (!committed_)
    discard();
}

void FieldSink::write(const void* data, std::size_t n) {
  check_interrupted();
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const DWORD chunk =
        n < (DWORD{1} << 30) ? static_cast<DWORD>(n) : DWORD{1} << 30;
    DWORD k = 0;
    if (!::WriteFile(handle_of(handle_), p, chunk, &k, nullptr)) {
      fail("write error", "cannot write",
           platform::system_error_text(::GetLastError()));
    }
    if (k == 0)
      fail("write error", "cannot write",
           platform::system_error_text(ERROR_WRITE_FAULT));
    p += k;
    n -= k;
    written_ += k;
  }
}

void FieldSink::commit() {
  // The data must be on disk before the name moves over to them: otherwise
  // a crash right after the move could leave an empty field file.
  if (!::FlushFileBuffers(handle_of(handle_))) {
    fail("write error", "cannot flush to disk",
         platform::system_error_text(::GetLastError()));
  }
  check_interrupted();
  const HANDLE h = handle_of(handle_);
  handle_ = -1;
  if (!::CloseHandle(h)) {
    fail("write error", "cannot close",
         platform::system_error_text(::GetLastError()));
  }
  if (!::MoveFileExW(temp_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    fail("write error", "cannot replace the file",
         platform::system_error_text(::GetLastError()));
  }
  committed_ = true;
}

void FieldSink::discard() noexcept {
  if (handle_ != -1) {
    ::CloseHandle(handle_of(handle_));
    handle_ = -1;
  }
  if (!temp_.empty()) {
    ::DeleteFileW(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace zereduv
