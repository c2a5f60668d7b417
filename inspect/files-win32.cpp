// zereduv-inspect's file-system calls on Windows.  Names are the command
// line's arguments in UTF-8, reaching the wide (-W) calls through
// platform::file_path.
#include <windows.h>

#include <string>

#include "files.h"
#include "run/system/platform.h"

namespace zereduv::inspect {

namespace {

FileError failure(const std::string& path, DWORD err) {
  return FileError{"cannot write \"" + path +
                   "\": " + platform::system_error_text(err)};
}

DWORD write_all(HANDLE h, const std::string& content) {
  const char* p = content.data();
  std::size_t n = content.size();
  while (n > 0) {
    const DWORD chunk =
        n < (DWORD{1} << 30) ? static_cast<DWORD>(n) : DWORD{1} << 30;
    DWORD k = 0;
    if (!::WriteFile(h, p, chunk, &k, nullptr))
      return ::GetLastError();
    if (k == 0)
      return ERROR_WRITE_FAULT;
    p += k;
    n -= k;
  }
  return ERROR_SUCCESS;
}

}  // namespace

PathFacts path_facts(const std::string& path) {
  PathFacts f;
  // No access asked for: only the file's facts are read.  Backup semantics
  // open a directory too.
  const HANDLE h = ::CreateFileW(
      platform::file_path(path).c_str(), 0,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      f.kind = "a directory";
    f.device = info.dwVolumeSerialNumber;
    f.file = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  }
  ::CloseHandle(h);
  return f;
}

void write_output(const std::string& path, const std::string& content) {
  const PathFacts facts = path_facts(path);
  if (facts.exists && facts.kind != nullptr) {
    if (std::string(facts.kind) == "a directory") {
      throw FileError{"cannot write \"" + path + "\": Is a directory"};
    }
    const HANDLE h = ::CreateFileW(
        platform::file_path(path).c_str(), GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
      throw failure(path, ::GetLastError());
    const DWORD err = write_all(h, content);
    ::CloseHandle(h);
    if (err != ERROR_SUCCESS)
      throw failure(path, err);
    return;
  }
  // The temporary sits beside the target, so the move stays on one volume.
  const std::string::size_type slash = path.find_last_of("\\/:");
  const std::string dir =
      slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base =
      slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string stem = dir + "." + base + ".part" +
                           std::to_string(::GetCurrentProcessId()) + "-";
  std::string temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int k = 0; h == INVALID_HANDLE_VALUE; ++k) {
    temp = stem + std::to_string(k);
    h = ::CreateFileW(platform::file_path(temp).c_str(), GENERIC_WRITE,
                      FILE_SHARE_READ, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD err = ::GetLastError();
    if (h == INVALID_HANDLE_VALUE && (err != ERROR_FILE_EXISTS || k >= 100)) {
      throw failure(path, err);
    }
  }
  DWORD err = write_all(h, content);
  if (err == ERROR_SUCCESS && !::FlushFileBuffers(h))
    err = ::GetLastError();
  if (!::CloseHandle(h) && err == ERROR_SUCCESS)
    err = ::GetLastError();
  if (err == ERROR_SUCCESS &&
      !::MoveFileExW(platform::file_path(temp).c_str(),
                     platform::file_path(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    err = ::GetLastError();
  }
  if (err != ERROR_SUCCESS) {
    ::DeleteFileW(platform::file_path(temp).c_str());
    throw failure(path, err);
  }
}

}  // namespace zereduv::inspect
