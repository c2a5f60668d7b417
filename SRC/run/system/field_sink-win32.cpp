// The field file's temporary on Windows: created beside the target, written
// through its handle, flushed to disk and moved over the target in one step.
#include <windows.h>

#include <optional>
#include <string>

#include "run/system/field_sink.h"
#include "run/system/platform.h"
#include "run/system/process.h"

namespace zereduv {

namespace {

HANDLE handle_of(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

}  // namespace

// Windows frees a replaced file's cache lazily: nothing to do ahead.
void ReplacedFieldFile::drop_cached_pages(
    const std::filesystem::path& target) noexcept {
  (void)target;
}

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

  create_temporary(temporary_stem(target_.filename().string()),
                   std::to_string(::GetCurrentProcessId()));
}

std::optional<std::string> FieldSink::create_new(bool& taken) {
  const HANDLE h =
      ::CreateFileW(temp_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    taken = err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS;
    return platform::system_error_text(err);
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  return std::nullopt;
}

std::size_t FieldSink::write_some(const char* p, std::size_t n) {
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
  return k;
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
