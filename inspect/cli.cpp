#include "cli.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>

#include "report.h"
#include "run/errors.h"

#ifndef ZEREDUV_VERSION
#define ZEREDUV_VERSION "unknown"
#endif

namespace zereduv::inspect {

namespace {

constexpr const char* kProg = "zereduv-inspect";

struct Options {
  std::string command, file;
  TableOptions table;
  bool json = false;
  std::optional<std::string> csv, svg;
};

struct UsageError {
  std::string message;
};

bool parse_number(const std::string& s, double& v) {
  const char* b = s.data();
  if (!s.empty() && s[0] == '+') ++b;
  auto r = std::from_chars(b, s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool parse_key(const std::string& s, int32_t& v) {
  const char* b = s.data();
  if (!s.empty() && s[0] == '+') ++b;
  auto r = std::from_chars(b, s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

Options parse_args(const std::vector<std::string>& args) {
  Options o;
  std::vector<std::string> plain;
  for (std::size_t k = 0; k < args.size(); ++k) {
    std::string a = args[k], value;
    bool has_value = false;
    if (a.rfind("--", 0) == 0) {
      std::size_t eq = a.find('=');
      if (eq != std::string::npos) {
        value = a.substr(eq + 1);
        a = a.substr(0, eq);
        has_value = true;
      }
    }
    auto take = [&]() {
      if (has_value) return value;
      if (k + 1 >= args.size()) throw UsageError{a + " needs a value"};
      return args[++k];
    };
    if (a == "--frequency") {
      double f;
      std::string v = take();
      if (!parse_number(v, f) || !(f > 0) || !std::isfinite(f))
        throw UsageError{"--frequency wants a frequency in Hz, got \"" + v +
                         "\""};
      o.table.frequency = f;
    } else if (a == "--isym") {
      int32_t key;
      std::string v = take();
      if (!parse_key(v, key))
        throw UsageError{"--isym wants an integer key, got \"" + v + "\""};
      o.table.isym = key;
    } else if (a == "--json") {
      if (has_value) throw UsageError{"--json takes no value"};
      o.json = true;
    } else if (a == "--csv") {
      o.csv = take();
    } else if (a == "--svg") {
      o.svg = take();
    } else if (a.size() > 1 && a[0] == '-') {
      throw UsageError{"unknown option " + a};
    } else {
      plain.push_back(a);
    }
  }
  if (plain.empty()) throw UsageError{"no command given"};
  o.command = plain[0];
  if (o.command != "table" && o.command != "field")
    throw UsageError{"unknown command \"" + o.command +
                     "\" (use table or field)"};
  if (plain.size() < 2) throw UsageError{o.command + " needs a FILE"};
  if (plain.size() > 2) throw UsageError{"one FILE only"};
  o.file = plain[1];
  if (o.command == "field" && (o.table.frequency || o.table.isym))
    throw UsageError{"--frequency and --isym apply to table only"};
  return o;
}

std::string os_reason(int err) { return std::generic_category().message(err); }

/// What a file that is not a regular one is, for the messages.
const char* file_kind(mode_t m) {
  if (S_ISDIR(m)) return "a directory";
  if (S_ISFIFO(m)) return "a FIFO";
  if (S_ISCHR(m)) return "a character device";
  if (S_ISBLK(m)) return "a block device";
  if (S_ISSOCK(m)) return "a socket";
  return "a special file";
}

/// A failure to read or write a file, already worded for the user.
struct FileError {
  std::string message;
};

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/// Refuses, before anything is read, an input that is not a regular file
/// (a FIFO would hang the read, a device would never end) and output files
/// that are the input, or each other, after symbolic links.
void check_files(const Options& o) {
  struct stat in {};
  const bool input_exists = ::stat(o.file.c_str(), &in) == 0;
  if (input_exists && !S_ISREG(in.st_mode))
    throw FileError{"cannot read \"" + o.file + "\": it is " +
                    file_kind(in.st_mode) + ", not a regular file"};
  struct stat csv {}, svg {};
  const bool csv_exists = o.csv && ::stat(o.csv->c_str(), &csv) == 0;
  const bool svg_exists = o.svg && ::stat(o.svg->c_str(), &svg) == 0;
  auto refuse = [&](const char* opt, const std::string& out,
                    const struct stat& st) {
    if (input_exists && same_file(in, st))
      throw UsageError{std::string(opt) + " " + out + " is the file " +
                       o.file + " being read; it would be overwritten"};
  };
  if (csv_exists) refuse("--csv", *o.csv, csv);
  if (svg_exists) refuse("--svg", *o.svg, svg);
  if (o.csv && o.svg &&
      (*o.csv == *o.svg || (csv_exists && svg_exists && same_file(csv, svg))))
    throw UsageError{"--csv and --svg name the same file " + *o.svg};
}

/// Writes `content` to `path`.  A regular file (or a new one) is written
/// to a temporary beside it and renamed into place once complete, so a
/// full disk or a failed write leaves the earlier file as it was and no
/// cut one; a device or FIFO named on purpose (/dev/stdout) is written
/// directly.
void write_output(const std::string& path, const std::string& content) {
  auto fail = [&path](int err) {
    return FileError{"cannot write \"" + path + "\": " + os_reason(err)};
  };
  auto write_all = [&content](int fd) {
    const char* p = content.data();
    std::size_t n = content.size();
    while (n > 0) {
      const ssize_t k = ::write(fd, p, n);
      if (k < 0 && errno == EINTR) continue;
      if (k <= 0) return k < 0 ? errno : EIO;
      p += k;
      n -= static_cast<std::size_t>(k);
    }
    return 0;
  };

  namespace fs = std::filesystem;
  fs::path target = path;
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) throw fail(EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) throw fail(errno);
    int err = write_all(fd);
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) throw fail(err);
    return;
  }
  // Through a symbolic link the file is written where the link points, as
  // writing it in place would do.
  std::error_code ec;
  if (fs::is_symlink(target, ec)) {
    const fs::path real = fs::weakly_canonical(target, ec);
    if (!ec) target = real;
  }
  fs::path dir = target.parent_path();
  const std::string stem = "." + target.filename().string() + ".part" +
                           std::to_string(static_cast<long>(::getpid())) + "-";
  fs::path temp;
  int fd = -1;
  for (int k = 0; fd < 0; ++k) {
    temp = dir / (stem + std::to_string(k));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || k >= 100)) throw fail(errno);
  }
  int err = write_all(fd);
  // A file written over keeps its permissions.
  if (err == 0 && exists && ::fchmod(fd, st.st_mode & 07777) != 0) err = errno;
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    throw fail(err);
  }
}

/// JSON text of a report.  Text from the files (a name, a units record)
/// that is not UTF-8 has each bad byte replaced by U+FFFD, so the JSON
/// always parses.
std::string json_text(const nlohmann::ordered_json& j) {
  return j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
         "\n";
}

}  // namespace

std::string version_text() {
  return std::string(kProg) + " " + ZEREDUV_VERSION + "\n";
}

std::string help_text() {
  return std::string("Usage: ") + kProg +
         " table FILE [--frequency HZ] [--isym K] [--json] [--csv OUT.csv] "
         "[--svg OUT.svg]\n"
         "       " + kProg +
         " field FILE [--json] [--csv OUT.csv] [--svg OUT.svg]\n"
         "       " + kProg + " --help | --version\n"
         "\n"
         "Looks at a Superfish field table, or at a field file written by "
         "zereduv,\nbefore they are trusted.\n"
         "\n"
         "table FILE   reads the table with zereduv's own reader and reports "
         "the header\n"
         "             variant, length unit, grid, the end planes and the "
         "isym_z key they\n"
         "             suggest, peak |E|, Ez on the axis, the Maxwell ratio "
         "and the frequency\n"
         "             the table implies, and the transit-time factor "
         "T(beta).\n"
         "field FILE   recognises layout 0, 1 or 2, checks its structure and "
         "reports the\n"
         "             grid, the symmetry keys, min/max/rms of the six "
         "components and Ez\n"
         "             on the axis line.\n"
         "\n"
         "Options:\n"
         "  --frequency HZ  RF frequency [Hz] for the Maxwell check "
         "(warns when the table\n"
         "                  implies a frequency more than 1 % away)\n"
         "  --isym K        complete the map with this isym_z key instead of "
         "the suggested one\n"
         "  --json          print the report as JSON\n"
         "  --csv OUT.csv   write z and Ez on the axis\n"
         "  --svg OUT.svg   write a picture: Ez on the axis and a colour map "
         "of |E|\n"
         "  --help          show this text\n"
         "  --version       show the version\n"
         "\n"
         "Exit status: 0 report written, 1 bad command line, 2 a file cannot "
         "be read or\nwritten, 3 a table zereduv cannot use, 4 a damaged or "
         "unknown field file.\n";
}

int run_inspect(const std::vector<std::string>& args, std::string& out,
                std::string& err) {
  for (const auto& a : args) {
    if (a == "--help" || a == "-h") {
      out += help_text();
      return kExitOk;
    }
    if (a == "--version") {
      out += version_text();
      return kExitOk;
    }
  }
  Options o;
  try {
    o = parse_args(args);
  } catch (const UsageError& u) {
    err += std::string(kProg) + ": " + u.message + "\nTry '" + kProg +
           " --help'.\n";
    return kExitUsage;
  }

  std::string text, csv, svg;
  try {
    check_files(o);
    if (o.command == "table") {
      TableReport r = inspect_table(o.file, o.table);
      text = o.json ? json_text(table_json(r)) : table_text(r);
      if (o.csv) csv = table_csv(r);
      if (o.svg) svg = table_svg(r);
    } else {
      FieldReport r = inspect_field(o.file);
      text = o.json ? json_text(field_json(r)) : field_text(r);
      if (o.csv) csv = field_csv(r);
      if (o.svg) svg = field_svg(r);
    }
  } catch (const UsageError& u) {
    err += std::string(kProg) + ": " + u.message + "\n";
    return kExitUsage;
  } catch (const FileError& e) {
    err += std::string(kProg) + ": " + e.message + "\n";
    return kExitUnreadable;
  } catch (const IoError& e) {
    err += std::string(kProg) + ": cannot read table \"" + o.file + "\"";
    if (e.line > 0) err += ", line " + std::to_string(e.line);
    err += ": " + e.kind;
    if (!e.detail.empty()) err += ": " + e.detail;
    err += "\n";
    return kExitUnreadable;
  } catch (const TableRejected& e) {
    err += std::string(kProg) + ": table \"" + o.file +
           "\" cannot be used: " + e.problem + "\n";
    return kExitUnusable;
  } catch (const FieldFileDamaged& e) {
    err += std::string(kProg) + ": field file \"" + o.file +
           "\" is damaged at " + e.where + ": " + e.what_expected + "\n";
    return kExitDamaged;
  } catch (const std::bad_alloc&) {
    err += std::string(kProg) + ": out of memory while reading \"" + o.file +
           "\"\n";
    return kExitUnreadable;
  } catch (const std::exception& e) {
    err += std::string(kProg) + ": " + e.what() + "\n";
    return kExitUnreadable;
  }
  out += text;
  bool ok = true;
  auto put = [&](const std::string& path, const std::string& content,
                 const char* done) {
    try {
      write_output(path, content);
      if (!o.json) out += done + path + "\n";
    } catch (const FileError& e) {
      err += std::string(kProg) + ": " + e.message + "\n";
      ok = false;
    }
  };
  if (o.csv) put(*o.csv, csv, "Axis line written to ");
  if (o.svg) put(*o.svg, svg, "Picture written to ");
  return ok ? kExitOk : kExitUnreadable;
}

}  // namespace zereduv::inspect
