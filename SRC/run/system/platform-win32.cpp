// The platform interface on Windows, through the Win32 API alone (no C
// runtime file modes).  Every file is opened through the wide (-W) calls;
// names reach them from UTF-8, or from the ANSI code page where the bytes
// are not UTF-8.  Console lines are written in Unicode.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

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

std::string file_error_text(const std::filesystem::path& path,
                            unsigned long err) {
  if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION)
    return "the file is in use by another program: close it there";
  if (err == ERROR_ACCESS_DENIED && !path.empty()) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return "the file is read-only: clear Read-only in its Properties";
      // A file that another program holds open cannot be replaced, and
      // Windows says "access denied" for that too.  Opening it for
      // ourselves alone tells the two apart: that fails with a sharing
      // violation while any other handle is open on it.
      const HANDLE h =
          ::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (h == INVALID_HANDLE_VALUE) {
        if (::GetLastError() == ERROR_SHARING_VIOLATION)
          return file_error_text(path, ERROR_SHARING_VIOLATION);
      } else {
        ::CloseHandle(h);
      }
    }
  }
  return system_error_text(err);
}

std::vector<std::string> arguments(int argc, char** argv) {
  int n = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &n);
  if (wide == nullptr)
    return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> out;
  for (int i = 1; i < n; ++i) {
    const int len = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0,
                                          nullptr, nullptr);
    std::string a(static_cast<std::size_t>(len > 0 ? len : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, a.data(), len, nullptr,
                          nullptr);
    a.resize(a.size() - 1);
    out.push_back(std::move(a));
  }
  ::LocalFree(wide);
  return out;
}

namespace {

FileError error(const char* kind, DWORD err,
                const std::filesystem::path& path = {}) {
  return {kind, file_error_text(path, err)};
}

// The bytes as UTF-16: read as UTF-8 when they are valid UTF-8, otherwise
// in the ANSI code page.
std::wstring wide_text(std::string_view bytes) {
  if (bytes.empty())
    return {};
  const int len = static_cast<int>(bytes.size());
  UINT page = CP_UTF8;
  int n = ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), len,
                                nullptr, 0);
  if (n == 0) {
    page = CP_ACP;
    n = ::MultiByteToWideChar(page, 0, bytes.data(), len, nullptr, 0);
  }
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(page, 0, bytes.data(), len, wide.data(), n);
  return wide;
}

bool is_console(HANDLE h) {
  DWORD mode = 0;
  return ::GetConsoleMode(h, &mode) != 0;
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
  return std::filesystem::path(wide_text(name));
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

namespace {

// The system takes a name up to its first NUL: a name holding one would
// open some other file.
FileError nul_in_name(const std::filesystem::path& path) {
  if (path.native().find(L'\0') == std::wstring::npos)
    return {};
  return {"cannot open file",
          "the name holds a NUL byte (shown as ?), which no file name can"};
}

}  // namespace

FileError InputFile::open(const std::filesystem::path& path) {
  close();
  if (const FileError e = nul_in_name(path))
    return e;
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
                 err, path);
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
  if (const FileError e = nul_in_name(path))
    return e;
  const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return error("cannot create file", ::GetLastError(), path);
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
  // A console shows text in its own code page: names in other scripts
  // reach it whole only as UTF-16.  Files and pipes get the bytes.
  if (!owned_ && n > 0 && is_console(handle_of(handle_))) {
    const std::wstring wide = wide_text(std::string_view(data, n));
    DWORD k = 0;
    done = 0;
    for (std::size_t at = 0; at < wide.size(); at += k) {
      const DWORD chunk =
          static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 8192));
      if (!::WriteConsoleW(handle_of(handle_), wide.data() + at, chunk, &k,
                           nullptr) ||
          k == 0) {
        return error("write error", ::GetLastError());
      }
    }
    done = n;
    return {};
  }
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

PathFacts path_facts(const std::filesystem::path& path) {
  PathFacts f;
  // No access asked for: only the file's facts are read.  Backup semantics
  // open a directory too.
  const HANDLE h = ::CreateFileW(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return f;
  f.exists = true;
  const DWORD type = ::GetFileType(h);
  BY_HANDLE_FILE_INFORMATION info{};
  if (type == FILE_TYPE_CHAR) {
    f.kind = "a character device";
  } else if (type == FILE_TYPE_PIPE) {
    f.kind = "a FIFO";
  } else if (type != FILE_TYPE_DISK ||
             !::GetFileInformationByHandle(h, &info)) {
    f.kind = "a special file";
  } else {
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      f.kind = "a directory";
      f.directory = true;
    }
    f.device = info.dwVolumeSerialNumber;
    f.file = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  }
  ::CloseHandle(h);
  return f;
}

bool same_file_name(std::string_view a, std::string_view b) {
  const std::wstring wa = wide_text(a);
  const std::wstring wb = wide_text(b);
  return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()),
                                wb.data(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace zereduv::platform
