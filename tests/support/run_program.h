// Runs a program as a child process in a given working directory, with its
// standard output and standard error captured (no shell between), and small
// file helpers for whole-run tests.
#pragma once

#include <algorithm>
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
  int status = -1;           // exit status; -1 when the program did not exit
  std::string out;           // everything written to standard output
  std::string err;           // everything written to standard error, but:
  std::string grid_warning;  // the warning of grid points outside the map
};

/// Takes the warning of grid points outside the map out of a run's standard
/// error and returns it (the shipped example's grid reaches past its walls,
/// so most runs here write it; the golden runs pin its text).
inline std::string take_grid_warning(std::string& err) {
  const std::string start = "zereduv: warning: ";
  std::string taken;
  for (std::size_t p = 0; (p = err.find(start, p)) != std::string::npos;) {
    const std::size_t end = std::min(err.find('\n', p), err.size() - 1) + 1;
    if (err.substr(p, end - p).find("grid points lie outside the map") ==
        std::string::npos) {
      p = end;
      continue;
    }
    taken += err.substr(p, end - p);
    err.erase(p, end - p);
  }
  return taken;
}

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + p.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

inline void write_file(const std::filesystem::path& p,
                       const std::string& text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  if (!out)
    throw std::runtime_error("cannot write " + p.string());
  out << text;
  if (!out.flush())
    throw std::runtime_error("cannot write " + p.string());
}

/// Runs `exe` with `args` in `workdir`, with no standard input; waits for
/// it to end.  On Windows the console lines end with CR LF: every LF of
/// `out` and `err` must follow a CR there, and the pairs are handed back as
/// LF, so that the tests compare one text on every system (a lone LF stays
/// as it is, and the comparison shows it).
RunResult run_program(const std::string& exe,
                      const std::vector<std::string>& args,
                      const std::filesystem::path& workdir);

// The system's part of run_program, in run_program-posix.cpp and
// run_program-win32.cpp.

/// Starts `exe` with `args` in `workdir`, standard input on the null device
/// and standard output and error into the files `out_path` and `err_path`;
/// waits for it to end.  The exit status, -1 when it did not exit.
int run_child(const std::string& exe, const std::vector<std::string>& args,
              const std::filesystem::path& workdir, const std::string& out_path,
              const std::string& err_path);

/// Captured console text with the system's line ends made LF, as
/// run_program hands it back.
std::string captured_text(const std::string& raw);

/// True when the tests run with the rights of the system's superuser, who
/// reads and writes whatever the permission bits say.
bool running_as_superuser();

/// Makes a FIFO (named pipe) at `p`; false where the file system has none.
bool make_fifo(const std::filesystem::path& p);

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
