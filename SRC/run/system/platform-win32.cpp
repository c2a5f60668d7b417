// The platform interface on Windows, through the Win32 API alone (no C
// runtime file modes).  File names reach the system as the bytes the
// control file holds, read in the ANSI code page.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "run/system/platform.h"

namespace zereduv::platform {

namespace {

HANDLE handle_of(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}
std::intptr_t value_of(HANDLE h) {
  return reinterpret_cast<std::intptr_t>(h);
}

}  // namespace

// The failures a run meets most often get the same words as on other
// systems, so that a report reads the same everywhere; the others get the
// system's own message.
std::string system_error_text(unsigned long err) {
  switch (err) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
    return "No such file or directory";
  case ERROR_ACCESS_DENIED:
    return "Permission denied";
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return "No space left on device";
  case ERROR_FILENAME_EXCED_RANGE:
    return "File name too long";
  case ERROR_WRITE_PROTECT:
    return "Read-only file system";
  default:
    break;
  }
  char* text = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
      nullptr, err, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string s =
      n > 0 && text != nullptr ? std::string(text, n) : std::string();
  ::LocalFree(text);
  while (!s.empty() && (s.back() == ' ' || s.back() == '.' ||
                        s.back() == '\r' || s.back() == '\n')) {
    s.pop_back();
  }
  return s.empty() ? "system error " + std::to_string(err) : s;
}

namespace {

FileError error(const char* kind, DWORD err) {
  return {kind, system_error_text(err)};
}

// Writes all n bytes; `done` counts those written.
DWORD write_all(HANDLE h, const char* data, std::size_t n, std::size_t& done) {
  done = 0;
  while (done < n) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
    DWORD k = 0;
    if (!::WriteFile(h, data + done, chunk, &k, nullptr))
      return ::GetLastError();
    if (k == 0)
      return ERROR_WRITE_FAULT;
    done += k;
  }
  return ERROR_SUCCESS;
}

}  // namespace

std::string_view console_line_end() noexcept {
  return "\r\n";
}

std::filesystem::path file_path(std::string_view name) {
  if (name.empty())
    return {};
  const int len = static_cast<int>(name.size());
  const int n = ::MultiByteToWideChar(CP_ACP, 0, name.data(), len, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, name.data(), len, wide.data(), n);
  return std::filesystem::path(std::move(wide));
}

namespace {

// The identity (volume serial number and file index) of the open handle
// `h`: false when it has none.
bool identity(HANDLE h, BY_HANDLE_FILE_INFORMATION& info) {
  return h != nullptr && h != INVALID_HANDLE_VALUE &&
         ::GetFileType(h) == FILE_TYPE_DISK &&
         ::GetFileInformationByHandle(h, &info) != 0;
}

// The identity of the file at `path`, after reparse points.
bool identity(const std::filesystem::path& path,
              BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE h = ::CreateFileW(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return false;
  const bool ok = identity(h, info);
  ::CloseHandle(h);
  return ok;
}

bool same_identity(const BY_HANDLE_FILE_INFORMATION& a,
                   const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) {
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  return identity(a, ia) && identity(b, ib) && same_identity(ia, ib);
}

bool is_standard_output(const std::filesystem::path& path) {
  BY_HANDLE_FILE_INFORMATION io{}, ip{};
  return identity(::GetStdHandle(STD_OUTPUT_HANDLE), io) &&
         identity(path, ip) && same_identity(io, ip);
}

InputFile::~InputFile() {
  close();
}

void InputFile::close() noexcept {
  if (handle_ != -1)
    ::CloseHandle(handle_of(handle_));
  handle_ = -1;
}

FileError InputFile::open(const std::filesystem::path& path) {
  close();
  // Backup semantics let a directory open too, so that it is reported as
  // what it is.
  const HANDLE h = ::CreateFileW(
      path.c_str(), GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS,
      nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    return error(err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND
                     ? "file not found"
                     : "cannot open file",
                 err);
  }
  handle_ = value_of(h);
  // A console or a pipe under the file's name would hold the run waiting
  // for input.
  const DWORD type = ::GetFileType(h);
  if (type != FILE_TYPE_DISK) {
    close();
    return {"not a regular file",
            type == FILE_TYPE_CHAR   ? "it is a character device"
            : type == FILE_TYPE_PIPE ? "it is a FIFO (named pipe)"
                                     : "it is not a file of data"};
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) {
    const DWORD err = ::GetLastError();
    close();
    return error("cannot open file", err);
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    close();
    return {"not a regular file", "it is a directory"};
  }
  size_ = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return {};
}

FileError InputFile::read_some(char* to, std::size_t n, std::size_t& got) {
  got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
  DWORD k = 0;
  if (!::ReadFile(handle_of(handle_), to, want, &k, nullptr))
    return error("read error", ::GetLastError());
  got = k;
  return {};
}

OutputFile::~OutputFile() {
  close_quietly(nullptr, 0);
}

FileError OutputFile::create(const std::filesystem::path& path) {
  const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return error("cannot create file", ::GetLastError());
  handle_ = value_of(h);
  owned_ = true;
  return {};
}

void OutputFile::attach_standard_output() {
  handle_ = value_of(::GetStdHandle(STD_OUTPUT_HANDLE));
  owned_ = false;
}

void OutputFile::attach_standard_error() {
  handle_ = value_of(::GetStdHandle(STD_ERROR_HANDLE));
  owned_ = false;
}

FileError OutputFile::write(const char* data, std::size_t n,
                            std::size_t& done) {
  const DWORD err = write_all(handle_of(handle_), data, n, done);
  return err == ERROR_SUCCESS ? FileError{} : error("write error", err);
}

FileError OutputFile::close() {
  const std::intptr_t h = std::exchange(handle_, -1);
  if (h != -1 && owned_ && !::CloseHandle(handle_of(h))) {
    return error("write error", ::GetLastError());
  }
  return {};
}

void OutputFile::close_quietly(const char* data, std::size_t n) noexcept {
  if (handle_ == -1)
    return;
  std::size_t done = 0;
  write_all(handle_of(handle_), data, n, done);
  if (owned_)
    ::CloseHandle(handle_of(handle_));
  handle_ = -1;
}

}  // namespace zereduv::platform
