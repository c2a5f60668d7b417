// Child processes for whole-run tests on POSIX systems: fork and exec, the
// child's standard streams redirected to files.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "support/run_program.h"

namespace zereduv::testing {

int run_child(const std::string& exe, const std::vector<std::string>& args,
              const std::filesystem::path& workdir, const std::string& out_path,
              const std::string& err_path) {
  std::vector<std::string> argv_s;
  argv_s.push_back(exe);
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string dir = workdir.string();

  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0) {
    // Child: only async-signal-safe calls until exec.
    int o = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int n = ::open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || n < 0 || ::chdir(dir.c_str()) != 0)
      ::_exit(127);
    ::dup2(n, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    ::close(n);
    ::close(o);
    ::close(e);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int wstatus = 0;
  while (::waitpid(pid, &wstatus, 0) < 0) {
    if (errno != EINTR)
      throw std::runtime_error("waitpid failed");
  }
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}

// The console lines end with LF here already.
std::string captured_text(const std::string& raw) {
  return raw;
}

bool running_as_superuser() {
  return ::geteuid() == 0;
}

bool make_fifo(const std::filesystem::path& p) {
  return ::mkfifo(p.c_str(), 0644) == 0;
}

}  // namespace zereduv::testing
