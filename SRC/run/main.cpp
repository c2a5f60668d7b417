// zereduv: converts the 2-D field table of an axially symmetric RF cavity
// into the 3-D Cartesian field file of the VELTA beam-dynamics code.
// Everything comes from "zereduv.dat" in the run's folder: the working
// directory, or the one folder given as the argument (or as the path of
// its zereduv.dat).  --help and --version only print, and touch no file.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "run/driver.h"
#include "run/errors.h"
#include "run/run_state.h"
#include "run/system/field_sink.h"
#include "run/system/platform.h"
#include "run/system/process.h"
#include "run/text/console_text.h"

#ifndef ZEREDUV_VERSION
#define ZEREDUV_VERSION "unknown"
#endif

namespace {

using namespace zereduv;

constexpr const char* kUsage =
    "usage: zereduv [FOLDER | FOLDER/zereduv.dat | --help | --version] (a run "
    "reads zereduv.dat in FOLDER, by default the working directory)";

constexpr const char* kHelp =
    "usage: zereduv [FOLDER | FOLDER/zereduv.dat | --help | --version]\n"
    "\n"
    "Converts the 2-D field table of an axially symmetric RF cavity, as the\n"
    "Superfish post-processor SF7 writes it (columns Z R Ez Er |E| H), into\n"
    "the 3-D Cartesian field file of the VELTA beam-dynamics code.\n"
    "\n"
    "A run reads the control file zereduv.dat in the run's folder (the\n"
    "working directory, or the existing FOLDER given, or the folder of the\n"
    "zereduv.dat given) and the field table named there, and writes the log\n"
    "zereduv.log and the field file eh_ZIV.#NN (NN = FileNumber) there.\n"
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
    "  1  an argument zereduv does not take (nothing is touched)\n"
    "  2  an I/O error (standard error names the unit, the file and the line)\n"
    "  3  input that cannot be used: a rejected table, the Maxwell stop, an\n"
    "     invalid FieldFormat, fields that are not finite numbers\n"
    "  128 + signal number  interrupted (130 Ctrl-C, 143 termination request)\n"
    "\n"
    "Options:\n"
    "  -h, --help  show this text (also /? on Windows)\n"
    "  --version   show the version\n"
    "\n"
    "More in the manual page: see zereduv(1) (on Windows zereduv.txt beside\n"
    "zereduv.exe).\n"
    "The field file (E in V/cm, B in Gauss, no frequency): zereduv-field(5).\n";

// Text for the console (standard output or error) through the system
// layer, which shows names in any script on a Windows console; `done`
// false when it could not be written.
bool write_console(bool to_error, const std::string& text) {
  const std::string lines = console_text(text);
  platform::OutputFile stream;
  if (to_error)
    stream.attach_standard_error();
  else
    stream.attach_standard_output();
  std::size_t done = 0;
  return !stream.write(lines.data(), lines.size(), done);
}

// One complete line on standard error.
void error_line(const std::string& text) {
  write_console(true, text + "\n");
}

// Text for standard output; a failed write is the unit-6 report.
int print(const std::string& text) {
  if (!write_console(false, text)) {
    error_line(
        IoError(6, "standard output", "write error", "cannot write").what());
    return kExitIoError;
  }
  return kExitNormal;
}

// The folder the one argument gives the run: an existing folder, or the
// path of a control file in an existing folder (dropping zereduv.dat on
// the program gives that).  None for any other argument.
std::optional<std::filesystem::path> folder_argument(const std::string& arg) {
  if (arg.empty() || arg.front() == '-')
    return std::nullopt;
  const std::filesystem::path p = platform::file_path(arg);
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec))
    return p;
  const std::u8string name = p.filename().u8string();
  if (!platform::same_file_name(
          std::string_view(reinterpret_cast<const char*>(name.data()),
                           name.size()),
          "zereduv.dat")) {
    return std::nullopt;
  }
  const std::filesystem::path dir =
      p.parent_path().empty() ? std::filesystem::path(".") : p.parent_path();
  if (std::filesystem::is_directory(dir, ec))
    return dir;
  return std::nullopt;
}

// The run's folder as the system writes it, absolute.
std::string shown_folder(const std::filesystem::path& dir) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(dir, ec);
  std::filesystem::path shown = ec ? dir : full.lexically_normal();
  // "C:\runs\." is shown as C:\runs, not C:\runs\.
  if (!shown.has_filename() && shown.has_relative_path())
    shown = shown.parent_path();
  return platform::shown_path(shown);
}

// A run in `dir`; `named` when the folder came from the argument (or no
// one sees it: a window of the run's own), so that "file not found" names
// it.
int run(const std::filesystem::path& dir, bool named) {
  catch_interruptions();
  // Declared before the run state, so the lock is held until the log is
  // closed on every way out.
  RunLock lock;
  std::unique_ptr<RunState> s;
  try {
    s = std::make_unique<RunState>();
    s->WorkDir = dir;
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
    run_phases(*s);
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
      error_line("zereduv reads \"zereduv.dat\" from " +
                 (named ? "the folder " + shown_folder(dir)
                        : std::string("the working directory")) +
                 "; see zereduv --help");
    } else if (e.kind == "file not found" && named) {
      error_line("zereduv looked for \"" + e.file + "\" in the folder " +
                 shown_folder(dir));
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

// The program's work for its arguments: a run, the help, the version or the
// usage error.
int dispatch(const std::vector<std::string>& args, bool window) {
  if (args.empty())
    return run(".", window);
  const std::string& arg = args[0];
  if (args.size() == 1 &&
      (arg == "--help" || arg == "-h" ||
       (platform::console_line_end() == "\r\n" && arg == "/?"))) {
    return print(kHelp);
  }
  if (args.size() == 1 && arg == "--version")
    return print(std::string("zereduv ") + ZEREDUV_VERSION + "\n");
  if (args.size() == 1) {
    if (const auto dir = folder_argument(arg))
      return run(*dir, true);
  }
  // The argument at fault, on the same line: control characters shown as
  // '?' and a long one cut, so the usage stays one line.
  const std::string_view bad =
      args.size() == 1 || (arg != "--help" && arg != "-h" && arg != "--version")
          ? std::string_view(arg)
          : std::string_view(args[1]);
  // The cut falls between characters, not inside a UTF-8 sequence.
  std::size_t cut = std::min<std::size_t>(bad.size(), 40);
  while (cut < bad.size() && cut > 0 &&
         (static_cast<unsigned char>(bad[cut]) & 0xC0) == 0x80)
    --cut;
  std::string shown;
  for (const char ch : bad.substr(0, cut)) {
    shown += static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f ? '?' : ch;
  }
  if (bad.size() > cut)
    shown += "...";
  error_line("zereduv: unexpected argument \"" + shown + "\"; " + kUsage);
  return kExitCommandLine;
}

}  // namespace

int main(int argc, char** argv) {
  prepare_standard_streams();
  // Started from Explorer, the window would close before its lines are
  // read: say how the run ended, and where, and wait for a key.
  const bool window = console_owned_alone();
  const std::vector<std::string> args = platform::arguments(argc, argv);
  const int status = dispatch(args, window);
  if (window) {
    std::filesystem::path dir = ".";
    if (args.size() == 1) {
      if (const auto given = folder_argument(args[0]))
        dir = *given;
    }
    error_line("zereduv: ended with exit status " + std::to_string(status) +
               (status == kExitNormal ? " (done)" : " (see the lines above)") +
               " in the folder " + shown_folder(dir) +
               ". Press a key to close this window.");
    wait_for_key();
  }
  return status;
}
