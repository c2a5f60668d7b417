// Runs a command and reports on standard error what it cost: wall-clock
// milliseconds, CPU milliseconds (user + system) and peak resident memory
// in KiB, as "wall_ms cpu_ms peak_kib".  The command's own output goes where
// runstat's goes; its exit status is runstat's.
//
// Usage: runstat COMMAND [ARGS...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

double ms(const timespec& t) {
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
double ms(const timeval& t) {
  return t.tv_sec * 1e3 + t.tv_usec / 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: runstat COMMAND [ARGS...]\n");
    return 2;
  }
  timespec t0{}, t1{};
  ::clock_gettime(CLOCK_MONOTONIC, &t0);
  const pid_t pid = ::fork();
  if (pid < 0)
    return 2;
  if (pid == 0) {
    ::execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    ::_exit(127);
  }
  int status = 0;
  rusage ru{};
  if (::wait4(pid, &status, 0, &ru) != pid)
    return 2;
  ::clock_gettime(CLOCK_MONOTONIC, &t1);
  std::fprintf(stderr, "%.3f %.3f %ld\n", ms(t1) - ms(t0),
               ms(ru.ru_utime) + ms(ru.ru_stime), ru.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
