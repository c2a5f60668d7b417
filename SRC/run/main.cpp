// zereduv: converts the 2-D field table of an axially symmetric RF cavity
// into the 3-D Cartesian field file of the VELTA beam-dynamics code.  A run
// takes no arguments: everything comes from "zereduv.dat" in the working
// directory.  --help and --version only print, and touch no file.
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "run/system/field_sink.h"
#include "run/text/console_text.h"
#include "run/driver.h"
#include "run/errors.h"
#include "run/system/platform.h"
#include "run/system/process.h"
#include "run/run_state.h"

#ifndef ZEREDUV_VERSION
#define ZEREDUV_VERSION "unknown"
#endif

namespace {

using namespace zereduv;

constexpr const char* kUsage =
    "usage: zereduv [--help | --version] (a run takes no arguments; it reads "
    "zereduv.dat in the working directory)";

constexpr const char* kHelp =
    "usage: zereduv [--help | --version]\n"
    "\n"
    "Converts the 2-D field table of an axially symmetric RF cavity, as the\n"
    "Superfish post-processor SF7 writes it (columns Z R Ez Er |E| H), into\n"
    "the 3-D Cartesian field file of the VELTA beam-dynamics code.\n"
    "\n"
    "A run takes no arguments.  It reads the control file zereduv.dat in the\n"
    "working directory and the field table named there, and writes the log\n"
    "zereduv.log and the field file eh_ZIV.#NN (NN = FileNumber).\n"
    "\n"
    "zereduv.dat, one record (line) each; values in free format, anything\n"
    "after the last value of a record is ignored:\n"
    "   1  title, skipped\n"
    "   2  title, skipped\n"
    "   3  name of the field table (at most 80 characters)\n"
    "   4  isym_z: 1/-1 upper/lower half, Ez odd in z; 2/-2 Ez even; else "
    "whole\n"
    "   5  FileNumber: 0..99, the NN of eh_ZIV.#NN\n"
    "   6  FieldFormat: 0 unformatted records, 1 or 2 text\n"
    "   7  SymX SymY SymZ: 0 full axis, otherwise half axis from 0\n"
    "   8  Frequency [Hz]\n"
    "   9  ElementLength [cm]: the grid spans +-ElementLength/2 in z\n"
    "  10  Aperture [cm]: the grid spans +-Aperture in x and y\n"
    "  11  ReverseZ: 0 table rows in increasing z, otherwise decreasing\n"
    "  12  FieldScale: factor on all fields\n"
    "\n"
    "Exit status:\n"
    "  0  normal end, warnings included\n"
    "  1  an argument zereduv does not take\n"
    "  2  an I/O error (standard error names the unit, the file and the line)\n"
    "  3  input that cannot be used: a rejected table, the Maxwell stop, an\n"
    "     invalid FieldFormat, fields that are not finite numbers\n"
    "  128 + signal number  interrupted (130 Ctrl-C, 143 termination request)\n"
    "\n"
    "Options:\n"
    "  -h, --help  show this text\n"
    "  --version   show the version\n"
    "\n"
    "More in the manual page: see zereduv(1).\n";

// One complete line on standard error.
void error_line(const std::string& text) {
  const std::string line = console_text(text + "\n");
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// Text for standard output; a failed write is the unit-6 report.
int print(const std::string& text) {
  const std::string lines = console_text(text);
  if (std::fwrite(lines.data(), 1, lines.size(), stdout) != lines.size() ||
      std::fflush(stdout) != 0) {
    error_line(
        IoError(6, "standard output", "write error", "cannot write").what());
    return kExitIoError;
  }
  return kExitNormal;
}

int run() {
  catch_interruptions();
  // Declared before the run state, so the lock is held until the log is
  // closed on every way out.
  RunLock lock;
  std::unique_ptr<RunState> s;
  try {
    s = std::make_unique<RunState>();
    s->console.attach_standard_output();
    s->errout.attach_standard_error();
    // One run per directory: a second run leaves every file alone, the log
    // included.
    switch (lock.take(s->path("zereduv.dat"))) {
    case RunLock::State::InUse:
      throw IoError(
          1, "zereduv.dat", "file in use",
          "\"zereduv.dat\" is in use by another zereduv run in this directory");
    case RunLock::State::Held:
      // No other run can be writing a field file here now: temporaries
      // of our naming are what killed runs left behind.
      remove_files(s->WorkDir, is_field_file_temporary);
      break;
    case RunLock::State::Absent:
    case RunLock::State::Unavailable:
      break;
    }
    // The log is opened first: under the control file's name (a link) it
    // would cut the control file before it is read.
    if (platform::same_file(s->path(s->log.name()), s->path("zereduv.dat"))) {
      throw IoError(8, s->log.name(), "cannot create file",
                    "it is the control file \"zereduv.dat\" this run reads");
    }
    RUN(*s);
    return kExitNormal;
  } catch (const RunInterrupted& i) {
    // Interruptions are looked at only after the log is opened and between
    // its records, so the note ends a log of whole lines.
    try {
      if (s)
        s->log.list({" Run interrupted "});
    } catch (const IoError&) {
      // A log that cannot take the note keeps what it has.
    }
    if (s)
      s->log.close_quietly();
    return 128 + i.signal;
  } catch (const RunStop& stop) {
    error_line(stop.message);
    s->log.close_quietly();
    return kExitRejected;
  } catch (const IoError& e) {
    if (s)
      s->log.close_quietly();
    error_line(e.what());
    if (e.unit == 1 && e.kind == "file not found") {
      error_line(
          "zereduv reads \"zereduv.dat\" from the working directory; "
          "see zereduv --help");
    }
    return kExitIoError;
  } catch (const TableRejected& e) {
    if (s)
      s->log.close_quietly();
    error_line(e.what());
    return kExitRejected;
  } catch (const std::bad_alloc&) {
    // The field table is what makes a run large; before it is named, the
    // control file is all there is.
    std::string file = "zereduv.dat";
    if (s) {
      s->log.close_quietly();
      if (const std::string_view table = trimmed(s->FieldFileName);
          !table.empty())
        file = std::string(table);
    }
    error_line("zereduv: out of memory for the run of \"" + file +
               "\"; close other programs or give the run more memory");
    return kExitIoError;
  }
}

}  // namespace

int main(int argc, char** argv) {
  prepare_standard_streams();
  if (argc == 1)
    return run();
  const std::string_view arg = argv[1];
  if (argc == 2 && (arg == "--help" || arg == "-h"))
    return print(kHelp);
  if (argc == 2 && arg == "--version") {
    return print(std::string("zereduv ") + ZEREDUV_VERSION + "\n");
  }
  // The argument at fault, on the same line: control characters shown as
  // '?' and a long one cut, so the usage stays one line.
  const std::string_view bad =
      argc == 2 || (arg != "--help" && arg != "-h" && arg != "--version")
          ? arg
          : std::string_view(argv[2]);
  std::string shown;
  for (const char ch : bad.substr(0, 40)) {
    shown += static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f ? '?' : ch;
  }
  if (bad.size() > 40)
    shown += "...";
  error_line("zereduv: unexpected argument \"" + shown + "\"; " + kUsage);
  return kExitCommandLine;
}
