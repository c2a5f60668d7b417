#include "cli.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <new>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "compare.h"
#include "control_inspect.h"
#include "numfmt.h"
#include "onaxis.h"
#include "openpmd.h"
#include "report.h"
#include "run/errors.h"
#include "run/system/field_sink.h"
#include "run/system/platform.h"
#include "table_map.h"
#include "transit.h"

#ifndef ZEREDUV_VERSION
#define ZEREDUV_VERSION "unknown"
#endif

namespace zereduv::inspect {

namespace {

constexpr const char* kProg = "zereduv-inspect";

/// The options of the openPMD export and of compare.
struct FieldFileOptions {
  std::optional<std::string> openpmd;  // OUT.h5
  std::optional<double> tolerance;     // relative bound of compare
  std::string second;                  // compare's second FILE
};

struct Options {
  std::string command, file;
  TableOptions table;
  ControlOptions control;
  bool json = false;
  std::optional<std::string> csv, svg, onaxis;
  FieldFileOptions fieldfile;
};

struct UsageError {
  std::string message;
};

/// A file refused before anything is read, already worded for the user.
struct FileError {
  std::string message;
};

using platform::PathFacts;

PathFacts path_facts(const std::string& path) {
  return platform::path_facts(platform::file_path(path));
}

/// Writes `content` to `path` through the program's own sink: a regular
/// file (or a new one) through a temporary moved into place once complete,
/// so a full disk or a failed write leaves the earlier file as it was and
/// no cut one; a device named on purpose (/dev/stdout, NUL) directly.
void write_output(const std::string& path, const std::string& content) {
  FieldSink sink(platform::file_path(path), 0, path,
                 SinkDevices::write_directly);
  sink.write(content.data(), content.size());
  sink.commit();
}

bool parse_number(const std::string& s, double& v) {
  const char* b = s.data();
  if (!s.empty() && s[0] == '+')
    ++b;
  auto r = std::from_chars(b, s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool parse_key(const std::string& s, int32_t& v) {
  const char* b = s.data();
  if (!s.empty() && s[0] == '+')
    ++b;
  auto r = std::from_chars(b, s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

/// Takes --openpmd and --tolerance; false for any other option.
template <class Take>
bool fieldfile_option(const std::string& a, Take take, FieldFileOptions& o) {
  if (a == "--openpmd") {
    if (!openpmd_available())
      throw UsageError{
          "--openpmd is not available in this build (built without HDF5; "
          "Debian package libhdf5-dev)"};
    o.openpmd = take();
    return true;
  }
  if (a == "--tolerance") {
    double t;
    std::string v = take();
    bool percent = !v.empty() && v.back() == '%';
    if (percent)
      v.pop_back();
    if (!parse_number(v, t) || !(t >= 0) || !std::isfinite(t))
      throw UsageError{
          "--tolerance wants a relative bound such as 0.01 or 1%, got \"" + v +
          (percent ? "%" : "") + "\""};
    o.tolerance = percent ? t / 100.0 : t;
    return true;
  }
  return false;
}

/// The rules of compare's and --openpmd's command lines, after the rest.
void check_fieldfile_args(Options& o, std::vector<std::string>& plain) {
  if (o.command == "compare") {
    if (plain.size() != 3)
      throw UsageError{"compare needs two FILEs: A B"};
    o.fieldfile.second = plain[2];
    plain.pop_back();
    if (o.csv || o.svg || o.onaxis || o.fieldfile.openpmd)
      throw UsageError{
          "compare takes --tolerance, --json, --isym and --frequency only"};
    return;
  }
  if (o.fieldfile.tolerance)
    throw UsageError{"--tolerance applies to compare only"};
  if (o.fieldfile.openpmd && o.command == "control")
    throw UsageError{"--openpmd applies to table and field"};
  if (o.fieldfile.openpmd && o.command == "field" && !o.table.frequency)
    throw UsageError{
        "--openpmd of a field file needs --frequency HZ: the field file does "
        "not hold the frequency"};
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
      if (has_value)
        return value;
      if (k + 1 >= args.size())
        throw UsageError{a + " needs a value"};
      return args[++k];
    };
    if (a == "--frequency") {
      double f;
      std::string v = take();
      if (!parse_number(v, f) || !(f > 0) || !std::isfinite(f))
        throw UsageError{"--frequency wants a frequency in Hz, got \"" + v +
                         "\""};
      o.table.frequency = f;
    } else if (a == "--scale-peak-ez" || a == "--scale-voltage" ||
               a == "--beta") {
      double v;
      std::string t = take();
      if (!parse_number(t, v) || !(v > 0) || !std::isfinite(v) ||
          (a == "--beta" && v > 1.0))
        throw UsageError{a + " wants " +
                         (a == "--beta" ? "a beta in (0, 1]"
                          : a == "--scale-voltage"
                              ? "a voltage in MV above 0"
                              : "a field in MV/m above 0") +
                         ", got \"" + t + "\""};
      (a == "--beta"            ? o.control.beta
       : a == "--scale-voltage" ? o.control.voltage
                                : o.control.peak_ez) = v;
    } else if (a == "--isym") {
      int32_t key;
      std::string v = take();
      if (!parse_key(v, key))
        throw UsageError{"--isym wants an integer key, got \"" + v + "\""};
      o.table.isym = key;
    } else if (a == "--json") {
      if (has_value)
        throw UsageError{"--json takes no value"};
#ifndef ZEREDUV_HAVE_JSON
      throw UsageError{
          "--json is not available in this build (built without "
          "nlohmann-json; Debian package nlohmann-json3-dev)"};
#endif
      o.json = true;
    } else if (fieldfile_option(a, take, o.fieldfile)) {
    } else if (a == "--csv") {
      o.csv = take();
    } else if (a == "--svg") {
      o.svg = take();
    } else if (a == "--onaxis") {
      o.onaxis = take();
    } else if (a.size() > 1 && a[0] == '-') {
      throw UsageError{"unknown option " + a};
    } else {
      plain.push_back(a);
    }
  }
  if (plain.empty())
    throw UsageError{"no command given"};
  o.command = plain[0];
  if (o.command != "table" && o.command != "field" && o.command != "control" &&
      o.command != "compare")
    throw UsageError{"unknown command \"" + o.command +
                     "\" (use table, field, control or compare)"};
  check_fieldfile_args(o, plain);
  if (plain.size() < 2 && o.command == "control")
    plain.push_back("zereduv.dat");
  if (plain.size() < 2)
    throw UsageError{o.command + " needs a FILE"};
  if (plain.size() > 2)
    throw UsageError{"one FILE only"};
  o.file = plain[1];
  if (o.command != "table" && o.command != "compare" && o.table.isym)
    throw UsageError{"--isym applies to table and compare only"};
  if (o.command == "control" && o.table.frequency)
    throw UsageError{"control takes the frequency from the control file"};
  const bool scaling = o.control.peak_ez || o.control.voltage || o.control.beta;
  if (o.command != "control" && scaling)
    throw UsageError{
        "--scale-peak-ez, --scale-voltage and --beta apply to "
        "control only"};
  if (o.control.voltage && !o.control.beta)
    throw UsageError{"--scale-voltage needs --beta"};
  if (o.command == "control" && o.csv)
    throw UsageError{"--csv applies to table and field"};
  return o;
}

/// Refuses, before anything is read, an input that is not a regular file
/// (a FIFO would hang the read, a device would never end) and output files
/// that are the input, or each other, after symbolic links.
void check_files(const Options& o) {
  const PathFacts in = path_facts(o.file);
  if (in.exists && in.kind != nullptr)
    throw FileError{"cannot read \"" + o.file + "\": it is " + in.kind +
                    ", not a regular file"};
  struct Output {
    const char* opt;
    const std::optional<std::string>& path;
    PathFacts facts{};
  };
  Output outs[] = {{"--csv", o.csv},
                   {"--svg", o.svg},
                   {"--onaxis", o.onaxis},
                   {"--openpmd", o.fieldfile.openpmd}};
  for (auto& out : outs) {
    if (!out.path)
      continue;
    out.facts = path_facts(*out.path);
    if (platform::same_file(in, out.facts))
      throw UsageError{std::string(out.opt) + " " + *out.path +
                       " is the file " + o.file +
                       " being read; it would be overwritten"};
  }
  for (std::size_t a = 0; a < std::size(outs); ++a)
    for (std::size_t b = a + 1; b < std::size(outs); ++b)
      if (outs[a].path && outs[b].path &&
          (*outs[a].path == *outs[b].path ||
           platform::same_file(outs[a].facts, outs[b].facts)))
        throw UsageError{std::string(outs[a].opt) + " and " + outs[b].opt +
                         " name the same file " + *outs[b].path};
}

/// A file the command reads, or names as one zereduv reads or writes, and
/// the words that name it.
struct Input {
  std::filesystem::path path;
  std::string what;
};

/// Refuses, once the inputs are all known, an output file or a standard
/// output that is one of them however it is named (a link, "..", a hard
/// link): the control file's table and the field file it names count as
/// inputs of control.
void check_outputs_apart(const Options& o, const std::vector<Input>& inputs) {
  const std::pair<const char*, const std::optional<std::string>&> outs[] = {
      {"--csv", o.csv}, {"--svg", o.svg}, {"--onaxis", o.onaxis}};
  for (const Input& in : inputs) {
    for (const auto& [opt, path] : outs) {
      if (path && platform::same_file(*path, in.path))
        throw UsageError{std::string(opt) + " " + *path + " is " + in.what +
                         "; it would be overwritten"};
    }
    if (platform::is_standard_output(in.path))
      throw UsageError{"standard output is " + in.what +
                       "; the report would be written into it"};
  }
}

#ifdef ZEREDUV_HAVE_JSON
/// JSON text of a report.  Text from the files (a name, a units record)
/// that is not UTF-8 has each bad byte replaced by U+FFFD, so the JSON
/// always parses.
std::string json_text(const nlohmann::ordered_json& j) {
  return j.dump(2, ' ', false,
                nlohmann::ordered_json::error_handler_t::replace) +
         "\n";
}
std::string as_json(const TableReport& r) {
  return json_text(table_json(r));
}
std::string as_json(const ControlReport& r) {
  return json_text(control_json(r));
}
std::string as_json(const FieldReport& r) {
  return json_text(field_json(r));
}
#else
// Never called: --json is refused at the command line in such a build.
template <class Report>
std::string as_json(const Report&) {
  return {};
}
#endif

/// compare A B: exit 0 within the tolerance, 1 beyond it, 2 on any error
/// (as cmp and diff).
constexpr int kCompareBeyond = 1;
constexpr int kCompareTrouble = 2;

bool is_compare(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a.empty() || a[0] != '-')
      return a == "compare";
  return false;
}

/// A field file is told from a table by its size (every field file has
/// one of the three sizes of its layouts) or, when it was cut or damaged,
/// by its beginning: the first record's length, or the first lines of a
/// text layout.  So a damaged field file is reported as one, not read as
/// a table.
bool looks_like_field_file(const std::string& path) {
  platform::InputFile in;
  if (in.open(platform::file_path(path)))
    return false;
  const std::uint64_t n = in.size();
  if (n == kLayout0Bytes || n == kLayout1Bytes || n == kLayout2Bytes)
    return true;
  std::string head(256, '\0');
  std::size_t got = 0, at = 0;
  do {
    if (in.read_some(head.data() + at, head.size() - at, got))
      return false;
    at += got;
  } while (got > 0 && at < head.size());
  head.resize(at);
  const bool text = std::all_of(head.begin(), head.end(), [](char c) {
    return c == '\r' || c == '\n' || (c >= ' ' && c <= '~');
  });
  const int layout = recognise_layout(head);
  return text ? layout == 1 || layout == 2
              : head.size() >= 4 && head.compare(0, 4, "\x14\0\0\0", 4) == 0;
}

/// A field file read for compare; damage is reported with the file's name.
FieldFile read_compared(const std::string& path) {
  try {
    return read_field_file(path);
  } catch (const FieldFileDamaged& e) {
    throw std::runtime_error("field file \"" + path + "\" is damaged at " +
                             e.where + ": " + e.what_expected);
  }
}

int run_compare(const Options& o, std::string& out, std::string& err) {
  auto trouble = [&](const std::string& m) {
    err += std::string(kProg) + ": " + m + "\n";
    return kCompareTrouble;
  };
  const std::string& a = o.file;
  const std::string& b = o.fieldfile.second;
  try {
    for (const std::string* f : {&a, &b}) {
      const PathFacts p = path_facts(*f);
      if (!p.exists)
        return trouble("cannot read \"" + *f + "\": no such file");
      if (p.kind != nullptr)
        return trouble("cannot read \"" + *f + "\": it is " + p.kind +
                       ", not a regular file");
    }
    const bool fa = looks_like_field_file(a), fb = looks_like_field_file(b);
    if (!fa && !fb)
      return trouble("compare needs at least one field file; neither \"" + a +
                     "\" nor \"" + b +
                     "\" is a field file of layout 0, 1 or 2");
    FieldFile first = read_compared(fa ? a : b);
    std::string kind_first =
        "field file, layout " + std::to_string(first.layout);
    FieldFile second;
    std::string kind_second;
    if (fa && fb) {
      second = read_compared(b);
      kind_second = "field file, layout " + std::to_string(second.layout);
    } else {
      TableMap m = table_map(fa ? b : a, o.table);
      second = resample_on_grid(m, first);
      kind_second =
          "table on the field file's grid, isym_z = " + std::to_string(m.isym) +
          (o.table.isym ? ""
                        : " as its end planes suggest; --isym "
                          "sets the run's key");
    }
    // The order of the command line: A is the reference.
    if (!fa)
      std::swap(first, second), std::swap(kind_first, kind_second);
    CompareReport r =
        compare_fields(first, second, o.fieldfile.tolerance.value_or(0.0));
    r.file_a = a;
    r.file_b = b;
    r.kind_a = kind_first;
    r.kind_b = kind_second;
#ifdef ZEREDUV_HAVE_JSON
    out += o.json ? json_text(compare_json(r)) : compare_text(r);
#else
    out += compare_text(r);
#endif
    return r.within ? kExitOk : kCompareBeyond;
  } catch (const GridMismatch& g) {
    return trouble("\"" + a + "\" and \"" + b +
                   "\" are not on the same grid: " + g.what);
  } catch (const IoError& e) {
    return trouble("cannot read table \"" + e.file + "\": " + e.kind +
                   (e.detail.empty() ? "" : ": " + e.detail));
  } catch (const TableRejected& e) {
    return trouble("table \"" + e.file + "\" cannot be used: " + e.problem);
  } catch (const std::bad_alloc&) {
    return trouble("out of memory");
  } catch (const std::exception& e) {
    return trouble(e.what());
  }
}

/// The map a run with this control file would read, for its picture.
TableMap control_map(const std::string& control_file, const ControlReport& r) {
  TableOptions t;
  t.isym = r.isym_z;
  if (r.Frequency > 0 && std::isfinite(r.Frequency))
    t.frequency = r.Frequency;
  const std::filesystem::path dir =
      std::filesystem::path(control_file).parent_path();
  return table_map((dir.empty() ? std::filesystem::path(".") : dir) /
                       platform::file_path(r.table),
                   t, r.ReverseZ);
}

/// The openPMD file of a table or a field file, as bytes; `note` says which
/// frequency a table's file carries.
std::string openpmd_output(const Options& o, const FieldReport* field,
                           std::string& note) {
  if (field != nullptr)
    return openpmd_field(field->f, *o.table.frequency,
                         std::filesystem::path(o.file).filename().string());
  const TableMap m = table_map(o.file, o.table);
  if (!(m.frequency > 0))
    throw UsageError{
        "the table states no frequency and implies none: give "
        "--frequency HZ"};
  note = "openPMD fundamental frequency: " + num(m.frequency, 10) + " Hz (" +
         m.frequency_source + ")\n";
  return openpmd_table(m, std::filesystem::path(o.file).filename().string());
}

}  // namespace

std::string version_text() {
  return std::string(kProg) + " " + ZEREDUV_VERSION + "\n";
}

std::string help_text() {
  return std::string("Usage: ") + kProg +
         " table FILE [--frequency HZ] [--isym K] [--json] [--csv OUT.csv]\n"
         "                             [--svg OUT.svg] [--onaxis OUT] "
         "[--openpmd OUT.h5]\n"
         "       " +
         kProg +
         " field FILE [--frequency HZ] [--json] [--csv OUT.csv] [--svg "
         "OUT.svg]\n"
         "                             [--onaxis OUT] [--openpmd OUT.h5]\n"
         "       " +
         kProg +
         " control [FILE] [--scale-peak-ez MV/m | --scale-voltage MV --beta "
         "B]\n"
         "                             [--beta B] [--json] [--onaxis OUT] "
         "[--svg OUT.svg]\n"
         "       " +
         kProg + " compare A B [--tolerance REL] [--json] [--frequency HZ]\n" +
         "       " + kProg +
         " --help | --version\n"
         "\n"
         "Looks at a Superfish field table (six-column or T7), at a field file "
         "written by\nzereduv, or at a control file, before they are trusted.\n"
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
         "components, Ez\n"
         "             on the axis line and the phase convention.\n"
         "control      a pre-flight of a control file (default zereduv.dat): "
         "the table, isym_z\n"
         "             and Frequency against what the table suggests, the "
         "output grid against\n"
         "             the map (points outside it are written as zeros), the "
         "field after\n"
         "             FieldScale on the axis, the resampling error, the "
         "Maxwell decision,\n"
         "             the crest phase and the field file.  Writes nothing but "
         "--onaxis\n"
         "             and --svg (the map with the output grid over it).\n"
         "compare A B  two field files (any layouts, one grid), or a field "
         "file and a\n"
         "             table evaluated on the file's grid: per component "
         "the largest\n"
         "             |B - A|, absolute and relative to A's peak, where it "
         "is, and its\n"
         "             rms.  Exit 0 within --tolerance (default 0: "
         "identical), 1 beyond,\n"
         "             2 on an error.\n"
         "\n"
         "Options:\n"
         "  --frequency HZ  RF frequency [Hz]: for table the Maxwell check "
         "(warns when the\n"
         "                  table implies a frequency more than 1 % away); "
         "for field the\n"
         "                  best beta and crest phase on the axis line\n"
         "  --isym K        complete the map with this isym_z key instead of "
         "the suggested one\n"
         "  --scale-peak-ez MV/m   the FieldScale that gives this peak "
         "on-axis |Ez|\n"
         "  --scale-voltage MV     the FieldScale that gives this gain V(beta) "
         "at --beta\n"
         "  --beta B        also report V and T at this beta\n"
         "  --json          print the report as JSON\n"
         "  --csv OUT.csv   write z and Ez on the axis (units in the header)\n"
         "  --svg OUT.svg   write a picture: Ez on the axis and colour maps "
         "of |E| and |B|\n"
         "  --openpmd OUT.h5  write the map as an openPMD BeamPhysics field "
         "mesh (SI\n"
         "                  units, complex E and B, harmonic 1); a field file "
         "needs\n"
         "                  --frequency\n"
         "  --tolerance REL compare: the largest relative difference allowed "
         "(0.01 or 1%)\n"
         "  --onaxis OUT    write Ez on the axis as two columns in SI units, "
         "z [m] and\n"
         "                  Ez [V/m], after a comment line giving the "
         "frequency and source\n"
         "  --help          show this text\n"
         "  --version       show the version\n"
         "\n"
         "Exit status: 0 report written, 1 bad command line, 2 a file cannot "
         "be read or\nwritten, 3 a table zereduv cannot use, 4 a damaged or "
         "unknown field file.\n"
         "\n"
         "The field file's layouts, units and index orders: "
         "zereduv-field(5).\n";
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
    return is_compare(args) ? kCompareTrouble : kExitUsage;
  }
  if (o.command == "compare")
    return run_compare(o, out, err);

  std::string text, csv, svg, onaxis, openpmd, openpmd_note;
  std::vector<Input> inputs = {
      {platform::file_path(o.file), "the file " + o.file + " being read"}};
  try {
    check_files(o);
    if (o.command == "table") {
      TableReport r = inspect_table(platform::file_path(o.file), o.table);
      text = o.json ? as_json(r) : table_text(r);
      if (o.csv)
        csv = table_csv(r);
      if (o.svg)
        svg = table_svg(r);
      if (o.onaxis)
        onaxis = table_onaxis(r);
      if (o.fieldfile.openpmd)
        openpmd = openpmd_output(o, nullptr, openpmd_note);
    } else if (o.command == "control") {
      ControlReport r = inspect_control(platform::file_path(o.file), o.control);
      const std::filesystem::path dir =
          platform::file_path(o.file).parent_path();
      inputs.push_back(
          {dir / platform::file_path(r.table),
           "the field table " + r.table + " that " + o.file + " names"});
      inputs.push_back(
          {dir / platform::file_path(r.out_name),
           "the field file " + r.out_name + " that " + o.file + " names"});
      text = o.json ? as_json(r) : control_text(r);
      if (o.onaxis)
        onaxis = control_onaxis(r);
      if (o.svg)
        svg = control_svg(r, control_map(o.file, r));
    } else {
      FieldReport r = inspect_field(platform::file_path(o.file));
      if (o.table.frequency)
        field_crest(r, *o.table.frequency);
      text = o.json ? as_json(r) : field_text(r);
      if (o.csv)
        csv = field_csv(r);
      if (o.svg)
        svg = field_svg(r);
      if (o.onaxis)
        onaxis = field_onaxis(r);
      if (o.fieldfile.openpmd)
        openpmd = openpmd_output(o, &r, openpmd_note);
    }
    check_outputs_apart(o, inputs);
  } catch (const UsageError& u) {
    err += std::string(kProg) + ": " + u.message + "\n";
    return kExitUsage;
  } catch (const FileError& e) {
    err += std::string(kProg) + ": " + e.message + "\n";
    return kExitUnreadable;
  } catch (const IoError& e) {
    err += std::string(kProg) + ": cannot read " +
           (e.unit == 1 ? "control file" : "table") + " \"" +
           (o.command == "control" && e.unit != 1 ? e.file : o.file) + "\"";
    if (e.line > 0)
      err += ", line " + std::to_string(e.line);
    err += ": " + e.kind;
    if (!e.detail.empty())
      err += ": " + e.detail;
    if (e.kind == "file not found") {
      // The folder looked in: the control file's for the table it names.
      std::error_code ec;
      const std::filesystem::path looked =
          (o.command == "control" && e.unit != 1
               ? std::filesystem::path(o.file).parent_path() / e.file
               : std::filesystem::path(o.file))
              .parent_path();
      std::filesystem::path dir =
          std::filesystem::absolute(
              looked.empty() ? std::filesystem::path(".") : looked, ec)
              .lexically_normal();
      if (dir.has_relative_path() && dir.filename().empty())
        dir = dir.parent_path();
      err += " (looked in the folder \"" +
             (ec ? looked.string() : dir.string()) + "\")";
    }
    err += "\n";
    return kExitUnreadable;
  } catch (const TableRejected& e) {
    err += std::string(kProg) + ": table \"" +
           (o.command == "control" ? e.file : o.file) +
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
      if (!o.json)
        out += done + path + "\n";
    } catch (const SinkError& e) {
      err += std::string(kProg) + ": cannot write \"" + path +
             "\": " + e.reason + "\n";
      ok = false;
    }
  };
  if (o.csv)
    put(*o.csv, csv, "Axis line written to ");
  if (o.svg)
    put(*o.svg, svg, "Picture written to ");
  if (o.onaxis)
    put(*o.onaxis, onaxis, "On-axis Ez written to ");
  if (o.fieldfile.openpmd) {
    if (!o.json)
      out += openpmd_note;
    put(*o.fieldfile.openpmd, openpmd, "openPMD field mesh written to ");
  }
  return ok ? kExitOk : kExitUnreadable;
}

}  // namespace zereduv::inspect
