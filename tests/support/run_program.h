// Runs a program as a child process in a given working directory, with its
// standard output and standard error captured (no shell between, so no
// quoting of arguments), and small file helpers for whole-run tests.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace zereduv::testing {

struct RunResult {
  int status = -1;      // exit status; -1 when the program did not exit
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
};

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + p.string());
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + p.string());
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + p.string());
}

/// Runs `exe` with `args` in `workdir`; waits for it to end.
inline RunResult run_program(const std::string& exe,
                             const std::vector<std::string>& args,
                             const std::filesystem::path& workdir) {
  ScratchDir capture;  // outside workdir, so the run sees only its own files
  const std::string out_path = (capture / "stdout").string();
  const std::string err_path = (capture / "stderr").string();

  std::vector<std::string> argv_s;
  argv_s.push_back(exe);
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string dir = workdir.string();

  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    // Child: only async-signal-safe calls until exec.
    int o = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int n = ::open("/dev/null", O_RDONLY);
    if (o < 0 || e < 0 || n < 0 || ::chdir(dir.c_str()) != 0) ::_exit(127);
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
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  RunResult r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}

/// The records of a text, split at LF; a CR right before the LF is dropped
/// when `crlf`, and then every record must have it (else the record keeps
/// its CR and the caller's comparison fails visibly).
inline std::vector<std::string> split_records(const std::string& text,
                                              bool crlf) {
  std::vector<std::string> recs;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t lf = text.find('\n', pos);
    if (lf == std::string::npos) {
      recs.push_back(text.substr(pos) + "<no line end>");
      break;
    }
    std::string rec = text.substr(pos, lf - pos);
    if (crlf) {
      if (!rec.empty() && rec.back() == '\r') {
        rec.pop_back();
      } else {
        rec += "<LF without CR>";
      }
    }
    recs.push_back(rec);
    pos = lf + 1;
  }
  return recs;
}

}  // namespace zereduv::testing
