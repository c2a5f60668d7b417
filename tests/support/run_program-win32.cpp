// Child processes for whole-run tests on Windows: CreateProcess with the
// child's standard handles on files, the command line quoted the way the C
// runtime splits it again.
#include <windows.h>

#include "support/run_program.h"

namespace zereduv::testing {
namespace {

// One argument as the C runtime reads it back: quoted when it holds a blank
// or a quote, backslashes doubled only where they come before a quote.
std::string quoted(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
    return arg;
  std::string q = "\"";
  std::size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    q.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    q += c;
  }
  q.append(2 * backslashes, '\\');
  return q + '"';
}

HANDLE inheritable_file(const std::string& path, DWORD access,
                        DWORD disposition) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  const HANDLE h =
      ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &sa, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot open " + path);
  return h;
}

}  // namespace

// Console text with CR LF line ends, handed back with LF; a lone LF is
// marked, so that the comparison fails and shows it.
std::string captured_text(const std::string& raw) {
  std::string t;
  t.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
      continue;
    if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r'))
      t += "<LF without CR>";
    t += raw[i];
  }
  return t;
}

int run_child(const std::string& exe, const std::vector<std::string>& args,
              const std::filesystem::path& workdir, const std::string& out_path,
              const std::string& err_path) {
  std::string line = quoted(exe);
  for (const auto& a : args)
    line += ' ' + quoted(a);
  const std::string dir = workdir.string();

  const HANDLE in = inheritable_file("NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE out = inheritable_file(out_path, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE err = inheritable_file(err_path, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  const BOOL started =
      ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       dir.c_str(), &si, &pi);
  ::CloseHandle(in);
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (!started)
    throw std::runtime_error("cannot start " + exe);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  const BOOL got = ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return got ? static_cast<int>(code) : -1;
}

// Windows has no permission bits that the tests could take away from the
// owner, so the tests never run with the rights that ignore them.
bool running_as_superuser() {
  return false;
}

bool make_fifo(const std::filesystem::path&) {
  return false;
}

}  // namespace zereduv::testing
