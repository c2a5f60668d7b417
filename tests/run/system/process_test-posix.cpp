// The run among other processes on POSIX systems: interruptions by signals,
// and standard streams that are closed or lead into a closed pipe.  Whatever
// happens, the directory keeps an older field file untouched (or a complete
// new one), a log that says how the run ended, and no temporary.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "input/field_table.h"
#include "output/field_file.h"
#include "output/output_grid.h"
#include "run/control.h"
#include "run/example_dir.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace zereduv::testing {
namespace {

namespace fs = std::filesystem;

const std::string kLine1 =
    " " + std::string(kReadingFileLabel) + "pillbox.txt\n";
const std::string kLine2 = " " + std::string(kOutputNameLabel) + "eh_ZIV.#01\n";

// Starts the program in `dir` with descriptors 0 to 2 taken from `fds`
// (-1: closed), with the signals that end a run at their defaults whatever
// this process inherited.
pid_t spawn(const fs::path& dir, std::array<int, 3> fds) {
  const std::string d = dir.string();
  char* argv[] = {const_cast<char*>(ZEREDUV_EXE), nullptr};
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2,
                          SIGALRM, SIGXCPU, SIGXFSZ})
      ::signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (std::size_t i = 0; i < 3; ++i) {
      if (fds[i] >= 0)
        ::dup2(fds[i], static_cast<int>(i));
    }
    for (std::size_t i = 0; i < 3; ++i) {
      if (fds[i] < 0)
        ::close(static_cast<int>(i));
    }
    if (::chdir(d.c_str()) != 0)
      ::_exit(127);
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  return pid;
}

// Exit status, or -1 when the process did not exit.
int wait_for(pid_t pid) {
  int ws = 0;
  while (::waitpid(pid, &ws, 0) < 0) {
    if (errno != EINTR)
      return -2;
  }
  return WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
}

int open_cloexec(const fs::path& p, int flags) {
  return ::open(p.c_str(), flags | O_CLOEXEC, 0644);
}

// ---------------------------------------------------------------------------
// Interruptions.  The run is held at a console line: standard output is a
// one-page pipe filled so that this line finds no room.  Once the run is
// seen blocked in that write, the signal is sent and the pipe drained; the
// run must end at its next safe point.  Held at the file-name line, the next
// safe point comes after the field file's temporary is created.

struct Interruption {
  const char* name;
  int layout;
  int signal;
  bool at_file_name;  // else held at the first console line
};

std::ostream& operator<<(std::ostream& os, const Interruption& i) {
  return os << i.name;
}

// Waits until the process sits in a write to its standard output.
bool wait_blocked_on_stdout(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid) + "/syscall";
  const std::string writing = std::to_string(SYS_write) + " 0x1 ";
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < end) {
    std::FILE* f = std::fopen(proc.c_str(), "r");
    if (f == nullptr)
      return false;
    char buf[256] = {};
    const bool got = std::fgets(buf, sizeof buf, f) != nullptr;
    std::fclose(f);
    if (got && std::string(buf).rfind(writing, 0) == 0)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

class Interrupted : public ::testing::TestWithParam<Interruption> {};

TEST_P(Interrupted, EndsPromptlyAndLeavesTheDirectoryConsistent) {
  const Interruption& c = GetParam();
  if (!fs::exists("/proc/self/syscall"))
    GTEST_SKIP() << "no /proc/<pid>/syscall here";
  ScratchDir dir;
  lay_out(dir, c.layout);
  ScratchDir capture;

  int p[2];
  ASSERT_EQ(::pipe2(p, O_CLOEXEC), 0);
  if (::fcntl(p[1], F_SETPIPE_SZ, 4096) != 4096) {
    ::close(p[0]);
    ::close(p[1]);
    GTEST_SKIP() << "cannot make a one-page pipe";
  }
  const std::string fill(c.at_file_name ? 4096 - kLine1.size() : 4096, '.');
  ASSERT_EQ(::write(p[1], fill.data(), fill.size()),
            static_cast<ssize_t>(fill.size()));
  const int in = open_cloexec("/dev/null", O_RDONLY);
  const int err =
      open_cloexec(capture / "stderr", O_WRONLY | O_CREAT | O_TRUNC);
  const pid_t pid = spawn(dir.path(), {in, p[1], err});
  ::close(p[1]);
  ::close(in);
  ::close(err);

  const bool blocked = wait_blocked_on_stdout(pid);
  if (blocked)
    ::kill(pid, c.signal);
  std::string out;
  char buf[8192];
  for (ssize_t n; (n = ::read(p[0], buf, sizeof buf)) != 0;) {
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(p[0]);
  const int status = wait_for(pid);
  ASSERT_TRUE(blocked)
      << "the run was never seen blocked on its standard output";

  EXPECT_EQ(status, 128 + c.signal);
  EXPECT_EQ(out, fill + kLine1 + (c.at_file_name ? kLine2 : ""));
  std::string stderr_text = capture.read("stderr");
  take_grid_warning(stderr_text);
  EXPECT_EQ(stderr_text, "");
  const std::vector<std::string> log =
      split_records(dir.read("zereduv.log"), true);
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.back(), "  Run interrupted ");
  EXPECT_EQ(
      std::count(log.begin(), log.end(), " " + std::string(kOutputGridHeading)),
      c.at_file_name ? 1 : 0);
  EXPECT_EQ(dir.read("eh_ZIV.#01"), kOlder);
  EXPECT_EQ(names_in(dir), kRunFiles);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, Interrupted,
    ::testing::Values(
        Interruption{"TermWhileReadingLayout0", 0, SIGTERM, false},
        Interruption{"TermAtTheFieldFileLayout0", 0, SIGTERM, true},
        Interruption{"IntAtTheFieldFileLayout1", 1, SIGINT, true},
        Interruption{"IntAtTheFieldFileLayout2", 2, SIGINT, true},
        // A closed terminal or ssh session, the quit key, the user signals,
        // an alarm and a batch queue's processor-time limit end it alike.
        Interruption{"HupAtTheFieldFileLayout0", 0, SIGHUP, true},
        Interruption{"QuitAtTheFieldFileLayout1", 1, SIGQUIT, true},
        Interruption{"Usr1AtTheFieldFileLayout2", 2, SIGUSR1, true},
        Interruption{"Usr2WhileReadingLayout0", 0, SIGUSR2, false},
        Interruption{"AlrmAtTheFieldFileLayout0", 0, SIGALRM, true},
        Interruption{"XcpuAtTheFieldFileLayout0", 0, SIGXCPU, true}),
    [](const auto& tp) { return std::string(tp.param.name); });

// ---------------------------------------------------------------------------
// A FIFO under the log's name, with or without a reader: refused at once as
// not a regular file (never a run held in open() or write()), the earlier
// field file kept.  A run still going after a minute is killed and fails.

// Exit status, or -1 when the process had to be killed.
int wait_at_most_a_minute(pid_t pid) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int ws = 0;
  while (std::chrono::steady_clock::now() < end) {
    const pid_t r = ::waitpid(pid, &ws, WNOHANG);
    if (r == pid)
      return WIFEXITED(ws) ? WEXITSTATUS(ws) : -2;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ::kill(pid, SIGKILL);
  wait_for(pid);
  return -1;
}

TEST(LogFifo, IsRefusedAtOnceWithOrWithoutAReader) {
  for (const bool reader : {false, true}) {
    SCOPED_TRACE(reader ? "with a reader" : "without a reader");
    ScratchDir dir;
    lay_out(dir, 0);
    fs::remove(dir / "zereduv.log");
    if (!make_fifo(dir / "zereduv.log"))
      GTEST_SKIP() << "no FIFOs here";
    const int held =
        reader ? open_cloexec(dir / "zereduv.log", O_RDONLY | O_NONBLOCK) : -1;
    ScratchDir capture;
    const int in = open_cloexec("/dev/null", O_RDONLY);
    const int out = open_cloexec("/dev/null", O_WRONLY);
    const int err =
        open_cloexec(capture / "stderr", O_WRONLY | O_CREAT | O_TRUNC);
    const pid_t pid = spawn(dir.path(), {in, out, err});
    ::close(in);
    ::close(out);
    ::close(err);
    EXPECT_EQ(wait_at_most_a_minute(pid), 2);
    if (held >= 0)
      ::close(held);
    const std::string said = capture.read("stderr");
    EXPECT_NE(said.find("(not a regular file) on unit 8, file \"zereduv.log\""),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("FIFO"), std::string::npos) << said;
    EXPECT_EQ(dir.read("eh_ZIV.#01"), kOlder);
  }
}

// New files take their modes from the umask alike: the log as the field
// file (read and write for all, less what the umask takes away).
TEST(NewFiles, TakeTheirModesFromTheUmaskAlike) {
  for (const mode_t mask : {mode_t{002}, mode_t{022}, mode_t{077}}) {
    SCOPED_TRACE(mask);
    ScratchDir dir;
    lay_out(dir, 1);
    fs::remove(dir / "eh_ZIV.#01");
    const mode_t old = ::umask(mask);
    const int null_in = open_cloexec("/dev/null", O_RDONLY);
    const int null_out = open_cloexec("/dev/null", O_WRONLY);
    const pid_t pid = spawn(dir.path(), {null_in, null_out, null_out});
    ::umask(old);
    ::close(null_in);
    ::close(null_out);
    ASSERT_EQ(wait_for(pid), 0);
    struct stat log {
    }, field{};
    ASSERT_EQ(::stat((dir / "zereduv.log").c_str(), &log), 0);
    ASSERT_EQ(::stat((dir / "eh_ZIV.#01").c_str(), &field), 0);
    EXPECT_EQ(log.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(field.st_mode & 0777, 0666 & ~mask);
  }
}

// ---------------------------------------------------------------------------
// Standard streams: closed ones are put on the null device before any file
// is opened, so the log never takes their place; a standard output whose
// reader has gone is the unit-6 report.

enum class Stream { Null, Closed, Capture, BrokenPipe };

struct Streams {
  const char* name;
  Stream in, out, err;
  int status;
  const char* says;  // in the captured standard error
};

std::ostream& operator<<(std::ostream& os, const Streams& s) {
  return os << s.name;
}

class StandardStreams : public ::testing::TestWithParam<Streams> {};

TEST_P(StandardStreams, RunEndsAsItShould) {
  const Streams& c = GetParam();
  ScratchDir dir;
  lay_out(dir, 0);
  ScratchDir capture;
  std::vector<int> to_close;
  auto fd_for = [&](Stream s, int fd) {
    int f = -1;
    if (s == Stream::Null)
      f = open_cloexec("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (s == Stream::Capture) {
      f = open_cloexec(capture / std::to_string(fd),
                       O_WRONLY | O_CREAT | O_TRUNC);
    }
    if (s == Stream::BrokenPipe) {
      int p[2];
      if (::pipe2(p, O_CLOEXEC) != 0)
        return -1;
      ::close(p[0]);
      f = p[1];
    }
    if (f >= 0)
      to_close.push_back(f);
    return f;
  };
  const pid_t pid =
      spawn(dir.path(), {fd_for(c.in, 0), fd_for(c.out, 1), fd_for(c.err, 2)});
  for (int f : to_close)
    ::close(f);
  EXPECT_EQ(wait_for(pid), c.status);
  std::string err = capture.read("2");
  take_grid_warning(err);
  if (c.err == Stream::Capture) {
    if (c.says[0] == '\0') {
      EXPECT_EQ(err, "");
    } else {
      EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
  }
  // The log holds the run's own lines from its first byte.
  EXPECT_EQ(dir.read("zereduv.log").rfind(" " + std::string(kMu0Label), 0), 0u);
  EXPECT_EQ(dir.read("eh_ZIV.#01") == kOlder, c.status != 0);
  EXPECT_EQ(names_in(dir), kRunFiles);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, StandardStreams,
    ::testing::Values(Streams{"OutputClosed", Stream::Null, Stream::Closed,
                              Stream::Capture, 0, ""},
                      Streams{"AllClosed", Stream::Closed, Stream::Closed,
                              Stream::Closed, 0, ""},
                      Streams{"OutputReaderGone", Stream::Null,
                              Stream::BrokenPipe, Stream::Capture, 2,
                              "unit 6, file \"standard output\""}),
    [](const auto& tp) { return std::string(tp.param.name); });

}  // namespace
}  // namespace zereduv::testing
