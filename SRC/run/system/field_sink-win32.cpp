// The field file's temporary on Windows: created beside the target, written
// through its handle, flushed to disk and moved over the target in one step.
#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "run/system/field_sink.h"
#include "run/system/platform.h"
#include "run/system/process.h"

namespace zereduv {

namespace {

HANDLE handle_of(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

}  // namespace

FieldSink::FieldSink(const std::filesystem::path& target, int unit,
                     std::string name, SinkDevices devices)
    : target_(target), unit_(unit), name_(std::move(name)) {
  if (devices == SinkDevices::write_directly && open_device())
    return;
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
           platform::file_error_text(target_, ERROR_ACCESS_DENIED));
    }
  }

  create_temporary(temporary_stem(target_.filename().string()),
                   std::to_string(::GetCurrentProcessId()));
}

bool FieldSink::open_device() {
  const platform::PathFacts f = platform::path_facts(target_);
  if (!f.exists || f.kind == nullptr || f.directory)
    return false;
  const HANDLE h = ::CreateFileW(target_.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    fail("cannot create file", "cannot open",
         platform::system_error_text(::GetLastError()));
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  direct_ = true;
  return true;
}

std::optional<std::string> FieldSink::create_new(bool& taken) {
  // Hidden, as a dot file is elsewhere, and temporary, so that the system
  // keeps it in memory where it can; both are cleared before it becomes
  // the field file.
  const HANDLE h = ::CreateFileW(
      temp_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
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
  if (direct_) {
    const HANDLE h = handle_of(std::exchange(handle_, -1));
    if (!::CloseHandle(h)) {
      fail("write error", "cannot close",
           platform::system_error_text(::GetLastError()));
    }
    committed_ = true;
    return;
  }
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
  if (!::SetFileAttributesW(temp_.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    fail("write error", "cannot close",
         platform::system_error_text(::GetLastError()));
  }
  if (!::MoveFileExW(temp_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = ::GetLastError();
    fail("write error", "cannot replace the file",
         platform::file_error_text(target_, err));
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
