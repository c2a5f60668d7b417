#include "cli.h"

#include <charconv>
#include <cmath>
#include <fstream>
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
#ifndef ZEREDUV_HAVE_JSON
      throw UsageError{
          "--json is not available in this build (built without "
          "nlohmann-json; Debian package nlohmann-json3-dev)"};
#endif
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

bool write_file(const std::string& path, const std::string& content,
                std::string& err) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (f) f.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (f) f.close();
  if (!f) {
    err += std::string(kProg) + ": cannot write \"" + path + "\"\n";
    return false;
  }
  return true;
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
    if (o.command == "table") {
      TableReport r = inspect_table(o.file, o.table);
#ifdef ZEREDUV_HAVE_JSON
      text = o.json ? table_json(r).dump(2) + "\n" : table_text(r);
#else
      text = table_text(r);
#endif
      if (o.csv) csv = table_csv(r);
      if (o.svg) svg = table_svg(r);
    } else {
      FieldReport r = inspect_field(o.file);
#ifdef ZEREDUV_HAVE_JSON
      text = o.json ? field_json(r).dump(2) + "\n" : field_text(r);
#else
      text = field_text(r);
#endif
      if (o.csv) csv = field_csv(r);
      if (o.svg) svg = field_svg(r);
    }
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
  } catch (const std::runtime_error& e) {
    err += std::string(kProg) + ": " + e.what() + "\n";
    return kExitUnreadable;
  }
  out += text;
  bool ok = true;
  if (o.csv) {
    ok = write_file(*o.csv, csv, err) && ok;
    if (ok && !o.json) out += "Axis line written to " + *o.csv + "\n";
  }
  if (o.svg) {
    bool w = write_file(*o.svg, svg, err);
    ok = w && ok;
    if (w && !o.json) out += "Picture written to " + *o.svg + "\n";
  }
  return ok ? kExitOk : kExitUnreadable;
}

}  // namespace zereduv::inspect
