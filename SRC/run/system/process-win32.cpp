// The process interface on Windows: a console control handler, a byte-range
// lock on the control file and a directory scan.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "run/system/process.h"

namespace zereduv {

namespace {

// The interruption noted by the console control handler.  This is the
// program's one piece of process-wide mutable state, and it cannot be
// otherwise: the system calls the handler on a thread of its own and hands
// it nothing through which it could reach the run state.  The run reads it
// at its safe points.  It holds the number of the POSIX signal that the
// event stands for, so the exit status is the same on every system.
volatile LONG noted_signal = 0;

BOOL WINAPI note_interruption(DWORD event) {
  const LONG sig =
      event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
  if (::InterlockedCompareExchange(&noted_signal, sig, 0) != 0) {
    // A second request: the run has not reached a safe point in time, so
    // the system's own handler ends the process.  A temporary left behind
    // by this is removed by the next run in the directory.
    return FALSE;
  }
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    // The console is closing (or the session ending): the system ends the
    // process as soon as this handler returns, so hold it here while the
    // run reaches its next safe point, cleans up and ends the process
    // itself, or until the system's grace time runs out.
    ::Sleep(INFINITE);
  }
  return TRUE;
}

// The lock sits on one byte far past the end of the control file: Windows
// locks keep every other handle from reading the bytes they cover, and the
// control file is read through a handle of its own.
constexpr DWORD kLockOffsetLow = 0xFFFFFFFEu;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFFu;

}  // namespace

void prepare_standard_streams() noexcept {
  // A process started without a console or redirection has no standard
  // handles: give it the null device, so that console lines go nowhere
  // instead of failing.
  const DWORD ids[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (const DWORD id : ids) {
    const HANDLE h = ::GetStdHandle(id);
    if (h != nullptr && h != INVALID_HANDLE_VALUE)
      continue;
    const HANDLE n = ::CreateFileW(
        L"NUL", id == STD_INPUT_HANDLE ? GENERIC_READ : GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (n != INVALID_HANDLE_VALUE)
      ::SetStdHandle(id, n);
  }
  // Bytes pass unchanged: the text layer writes the line ends itself.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void catch_interruptions() noexcept {
  ::SetConsoleCtrlHandler(note_interruption, TRUE);
}

void fail_writes_past_size_limit() noexcept {
  // Windows has no file-size limit of a process: nothing to do.
}

int interruption_signal() noexcept {
  return static_cast<int>(::InterlockedCompareExchange(&noted_signal, 0, 0));
}

RunLock::~RunLock() {
  // Closing the handle releases the lock.
  if (handle_ != -1)
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

RunLock::State RunLock::take(const std::filesystem::path& control) {
  const HANDLE h =
      ::CreateFileW(control.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND
               ? State::Absent
               : State::Unavailable;
  }
  if (::GetFileType(h) != FILE_TYPE_DISK) {
    ::CloseHandle(h);
    return State::Unavailable;
  }
  OVERLAPPED at{};
  at.Offset = kLockOffsetLow;
  at.OffsetHigh = kLockOffsetHigh;
  if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                    1, 0, &at)) {
    const DWORD err = ::GetLastError();
    ::CloseHandle(h);
    return err == ERROR_LOCK_VIOLATION || err == ERROR_IO_PENDING
               ? State::InUse
               : State::Unavailable;
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
  return State::Held;
}

void remove_files(const std::filesystem::path& dir,
                  bool (*is_ours)(std::string_view name)) noexcept {
  WIN32_FIND_DATAW found{};
  const std::wstring pattern = (dir / L"*").wstring();
  const HANDLE f = ::FindFirstFileW(pattern.c_str(), &found);
  if (f == INVALID_HANDLE_VALUE)
    return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      continue;
    // The names are matched as the run would write them: in the ANSI code
    // page.
    char name[MAX_PATH * 2];
    const int n = ::WideCharToMultiByte(CP_ACP, 0, found.cFileName, -1, name,
                                        sizeof name, nullptr, nullptr);
    if (n > 1 &&
        is_ours(std::string_view(name, static_cast<std::size_t>(n - 1)))) {
      ::DeleteFileW((dir / found.cFileName).c_str());
    }
  } while (::FindNextFileW(f, &found));
  ::FindClose(f);
}

bool console_owned_alone() noexcept {
  // A console opened for this process alone lists it alone; a console or
  // a script that started it is listed too.  Input that is not the
  // console (a script's redirection) means no one is there to read.
  DWORD ids[2] = {};
  DWORD mode = 0;
  return ::GetConsoleProcessList(ids, 2) == 1 &&
         ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void wait_for_key() noexcept {
  const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  ::FlushConsoleInputBuffer(in);
  INPUT_RECORD r{};
  DWORD n = 0;
  while (::ReadConsoleInputW(in, &r, 1, &n) && n == 1) {
    if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown)
      return;
  }
}

}  // namespace zereduv
