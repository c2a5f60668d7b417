// The process interface on POSIX systems: signals, flock and a directory
// scan.
#include "run/system/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace zereduv {

namespace {

// The interruption noted by the signal handler.  This is the program's one
// piece of process-wide mutable state, and it cannot be otherwise: a signal
// handler receives no argument through which it could reach the run state,
// and the only object it may safely write is a volatile sig_atomic_t of
// static storage.  The run reads it at its safe points.
volatile std::sig_atomic_t noted_signal = 0;

extern "C" void note_interruption(int sig) {
  if (noted_signal != 0 && sig == SIGXCPU)
    return;  // repeated by the system each second past the soft limit
  if (noted_signal != 0) {
    // A second request: the run has not reached a safe point in time, so
    // end the default way.  A temporary left behind by this is removed by
    // the next run in the directory.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    return;
  }
  noted_signal = sig;
}

// The signals whose default action ends the process without a word: Ctrl-C
// and a termination request, a closed terminal or ssh session (SIGHUP),
// the quit key, the user signals, an alarm, and a batch queue's processor-time
// limit (SIGXCPU).  Each ends the run like Ctrl-C: the temporary removed,
// the log's last line saying so, exit status 128 + the signal's number.
constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,
                                  SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU};

void catch_signal(int sig) {
  struct sigaction old {};
  if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
    return;  // started with it ignored (a background job): keep ignoring it
  }
  struct sigaction sa {};
  sa.sa_handler = note_interruption;
  sigemptyset(&sa.sa_mask);
  for (const int other : kEndingSignals)
    sigaddset(&sa.sa_mask, other);
  // Interrupted system calls are resumed: the run ends at its next safe
  // point, never in the middle of a write.
  sa.sa_flags = SA_RESTART;
  ::sigaction(sig, &sa, nullptr);
}

}  // namespace

void prepare_standard_streams() noexcept {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    // The lowest free descriptor is fd itself, as those below it are open.
    const int n = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (n >= 0 && n != fd) {
      ::dup2(n, fd);
      ::close(n);
    }
  }
  struct sigaction sa {};
  sa.sa_handler = SIG_IGN;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGPIPE, &sa, nullptr);
}

void catch_interruptions() noexcept {
  for (const int sig : kEndingSignals)
    catch_signal(sig);
  fail_writes_past_size_limit();
}

void fail_writes_past_size_limit() noexcept {
  // SIGXFSZ would end the process in the middle of a write; ignored, the
  // write fails with EFBIG instead.
  struct sigaction sa {};
  sa.sa_handler = SIG_IGN;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGXFSZ, &sa, nullptr);
}

int interruption_signal() noexcept {
  return static_cast<int>(noted_signal);
}

RunLock::~RunLock() {
  // Closing the descriptor releases the lock.
  if (handle_ >= 0)
    ::close(static_cast<int>(handle_));
}

RunLock::State RunLock::take(const std::filesystem::path& control) {
  // Non-blocking open, so that a FIFO under the control file's name does
  // not hold the run here; reading it is the control file's business.
  const int fd =
      ::open(control.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    return errno == ENOENT ? State::Absent : State::Unavailable;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return State::Unavailable;
  }
  // flock, not fcntl record locks: those would be dropped as soon as the
  // control file is read and closed through another descriptor.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? State::InUse : State::Unavailable;
  }
  handle_ = fd;
  return State::Held;
}

void remove_files(const std::filesystem::path& dir,
                  bool (*is_ours)(std::string_view name)) noexcept {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr)
    return;
  while (const dirent* e = ::readdir(d)) {
    if (is_ours(e->d_name))
      ::unlinkat(::dirfd(d), e->d_name, 0);
  }
  ::closedir(d);
}

// A terminal's window belongs to its shell: nothing to keep open.
bool console_owned_alone() noexcept {
  return false;
}

void wait_for_key() noexcept {}

}  // namespace zereduv
