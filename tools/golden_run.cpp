// Runs one golden case of zereduv and compares every byte the run wrote with
// the case's expected files, or rewrites those files when asked to.
//
//   golden_run --case DIR --work DIR --program EXE [--launcher ARG]...
//              [--source-dir DIR] [--tables-dir DIR]
//              [--console-eol-agnostic] [--update]
//
// The case folder holds the run's input files and `expected/`; an optional
// `inputs.txt` names further inputs, one a line: `source PATH` (a file of the
// source tree) or `shared NAME` (a real field table from the tables
// directory; the case is skipped, exit status 77, when it is absent).
// The run happens in WORK/run, a fresh copy of the inputs, with the program
// started there as LAUNCHER... EXE; what it wrote is gathered in WORK/actual:
// stdout, stderr, status, zereduv.log (when written) and `files`, the names
// left in the run folder and a digest of each file the run created (size,
// SHA-256 and the records at fixed offsets, see tests/golden/README.md).
// Both folders stay for inspection. --update (or ZEREDUV_GOLDEN_UPDATE=1 in
// the environment) copies WORK/actual over the case's expected/ instead of
// comparing. --console-eol-agnostic reads CR LF as LF in stdout and stderr
// only (for a program whose console writes CR LF); the log and the field
// file are always compared byte for byte.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "output/field_layout.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSkip = 77;

struct Options {
  fs::path case_dir, work, source_dir, tables_dir;
  std::string program;
  std::vector<std::string> launcher;
  bool eol_agnostic = false;
  bool update = false;
};

[[noreturn]] void usage(const std::string& why) {
  std::fprintf(stderr,
               "golden_run: %s\nusage: golden_run --case DIR --work DIR "
               "--program EXE [--launcher ARG]... [--source-dir DIR] "
               "[--tables-dir DIR] [--console-eol-agnostic] [--update]\n",
               why.c_str());
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--console-eol-agnostic") {
      o.eol_agnostic = true;
      continue;
    }
    if (a == "--update") {
      o.update = true;
      continue;
    }
    if (i + 1 >= args.size())
      usage("no value after " + a);
    const std::string& v = args[++i];
    if (a == "--case") {
      o.case_dir = v;
    } else if (a == "--work") {
      o.work = v;
    } else if (a == "--program") {
      o.program = v;
    } else if (a == "--launcher") {
      o.launcher.push_back(v);
    } else if (a == "--source-dir") {
      o.source_dir = v;
    } else if (a == "--tables-dir") {
      o.tables_dir = v;
    } else {
      usage("unknown option " + a);
    }
  }
  if (o.case_dir.empty() || o.work.empty() || o.program.empty()) {
    usage("--case, --work and --program are needed");
  }
  const char* env = std::getenv("ZEREDUV_GOLDEN_UPDATE");
  if (env != nullptr && std::string_view(env) == "1")
    o.update = true;
  return o;
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + p.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

void write_file(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out.flush())
    throw std::runtime_error("cannot write " + p.string());
}

// ---- SHA-256 ------------------------------------------------------------

std::string sha256(std::string_view data) {
  static constexpr std::array<uint32_t, 64> k = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1,
      0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3,
      0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786,
      0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147,
      0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13,
      0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
      0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a,
      0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
      0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  std::array<uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  // The message, a 1 bit, zeros and the bit length fill whole 64-byte blocks.
  std::string tail(data.substr(data.size() / 64 * 64));
  tail += '\x80';
  while (tail.size() % 64 != 56)
    tail += '\0';
  const uint64_t bits = static_cast<uint64_t>(data.size()) * 8U;
  for (int s = 56; s >= 0; s -= 8)
    tail += static_cast<char>(bits >> s);
  const std::size_t whole = data.size() / 64;
  auto block = [&](const unsigned char* p) {
    std::array<uint32_t, 64> w{};
    for (std::size_t t = 0; t < 16; ++t) {
      w[t] = uint32_t{p[4 * t]} << 24 | uint32_t{p[4 * t + 1]} << 16 |
             uint32_t{p[4 * t + 2]} << 8 | uint32_t{p[4 * t + 3]};
    }
    for (std::size_t t = 16; t < 64; ++t) {
      const uint32_t s0 =
          std::rotr(w[t - 15], 7) ^ std::rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
      const uint32_t s1 =
          std::rotr(w[t - 2], 17) ^ std::rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
      w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    auto v = h;
    for (std::size_t t = 0; t < 64; ++t) {
      const uint32_t s1 =
          std::rotr(v[4], 6) ^ std::rotr(v[4], 11) ^ std::rotr(v[4], 25);
      const uint32_t ch = (v[4] & v[5]) ^ (~v[4] & v[6]);
      const uint32_t t1 = v[7] + s1 + ch + k[t] + w[t];
      const uint32_t s0 =
          std::rotr(v[0], 2) ^ std::rotr(v[0], 13) ^ std::rotr(v[0], 22);
      const uint32_t maj = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
      v = {t1 + s0 + maj, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
    }
    for (std::size_t i = 0; i < 8; ++i)
      h[i] += v[i];
  };
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  for (std::size_t b = 0; b < whole; ++b)
    block(bytes + 64 * b);
  const auto* tb = reinterpret_cast<const unsigned char*>(tail.data());
  for (std::size_t b = 0; b < tail.size() / 64; ++b)
    block(tb + 64 * b);
  std::string hex;
  char buf[9];
  for (uint32_t x : h) {
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(x));
    hex += buf;
  }
  return hex;
}

// ---- digest of a field file -----------------------------------------------

// The output grid and the file sizes of the three layouts, from the
// program's description of them.
constexpr std::size_t kNx = zereduv::kNx, kNy = zereduv::kNy,
                      kNz = zereduv::kNzOut;
constexpr std::size_t kPoints = zereduv::kOutPoints;
constexpr std::size_t kLayout0Bytes = zereduv::kLayout0Bytes;
constexpr std::size_t kLayout1Lines =
    zereduv::line_count(zereduv::kLayout1Lines);
constexpr std::size_t kLayout1Bytes = zereduv::kLayout1Bytes;
constexpr std::size_t kLayout2Bytes = zereduv::kLayout2Bytes;

// 0-based position of node (ix, iy, iz) in an x-fastest array.
constexpr std::size_t x_fastest(std::size_t ix, std::size_t iy,
                                std::size_t iz) {
  return (ix - 1) + kNx * (iy - 1) + kNx * kNy * (iz - 1);
}

// Nodes whose values the digests show: the first, the centre of the grid,
// the centre plane half way out in x, and the last.
struct Node {
  const char* name;
  std::size_t ix, iy, iz;
};
constexpr std::array<Node, 4> kNodes = {
    {{"first node (1,1,1)", 1, 1, 1},
     {"centre (13,13,101)", 13, 13, 101},
     {"off axis (19,13,101)", 19, 13, 101},
     {"last node (25,25,201)", 25, 25, 201}}};
constexpr std::array<const char*, 6> kArrays = {"Ex3D", "Ey3D", "Ez3D",
                                                "Bx3D", "By3D", "Bz3D"};

std::string shortest(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// The bytes at `at` read as the items `types` ('i' 4-byte integer, 'd'
// 8-byte double, little-endian): offset, what they are, hex, values.
std::string binary_pin(std::string_view f, std::size_t at,
                       std::string_view what, std::string_view types) {
  std::string hex, values;
  std::size_t p = at;
  for (char t : types) {
    const std::size_t n = t == 'd' ? 8 : 4;
    if (p + n > f.size()) {
      values += " (past the end)";
      break;
    }
    uint64_t u = 0;
    char b[3];
    for (std::size_t i = 0; i < n; ++i) {
      const auto byte = static_cast<unsigned char>(f[p + i]);
      u |= uint64_t{byte} << (8 * i);
      std::snprintf(b, sizeof b, "%02x", static_cast<unsigned>(byte));
      hex += b;
    }
    hex += ' ';
    values += ' ';
    values += t == 'd' ? shortest(std::bit_cast<double>(u))
                       : std::to_string(static_cast<int32_t>(u));
    p += n;
  }
  return "@" + std::to_string(at) + " " + std::string(what) + ": " + hex + "=" +
         values + "\n";
}

std::string escaped(std::string_view s) {
  std::string o;
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') {
      o += "\\r";
    } else if (c == '\n') {
      o += "\\n";
    } else if (c == '\\') {
      o += "\\\\";
    } else if (u < 0x20 || u >= 0x7f) {
      char b[5];
      std::snprintf(b, sizeof b, "\\x%02x", static_cast<unsigned>(u));
      o += b;
    } else {
      o += c;
    }
  }
  return o;
}

// Layout 0: twelve length-framed records.
std::string layout0_pins(std::string_view f) {
  using zereduv::kDoubleBytes;
  using zereduv::kFrameBytes;
  using zereduv::layout0_record_offset;
  std::string o = "layout 0 (unformatted records)\n";
  o += binary_pin(f, layout0_record_offset(0),
                  "record 1: L, ElementLength, Aperture, 0, L", "iddii");
  o += binary_pin(f, layout0_record_offset(1),
                  "record 2: L, SymX, SymY, SymZ, L", "iiiii");
  const std::array<std::pair<const char*, std::size_t>, 3> axes = {
      {{"XOut", kNx}, {"YOut", kNy}, {"ZOut", kNz}}};
  std::size_t record = 2;  // 0-based: records 3 to 5 hold the axes
  for (const auto& [name, n] : axes) {
    const std::size_t at = layout0_record_offset(record++);
    o += binary_pin(f, at, std::string("L, ") + name + "(1)", "id");
    o += binary_pin(f, at + kFrameBytes + kDoubleBytes * (n - 1),
                    std::string(name) + "(" + std::to_string(n) + "), L", "di");
  }
  for (const char* a : kArrays) {
    const std::size_t at = layout0_record_offset(record++);
    o += binary_pin(f, at, std::string("L of ") + a, "i");
    for (const Node& nd : kNodes) {
      o += binary_pin(
          f, at + kFrameBytes + kDoubleBytes * x_fastest(nd.ix, nd.iy, nd.iz),
          std::string(a) + " " + nd.name, "d");
    }
  }
  o += binary_pin(f, layout0_record_offset(record), "record 12: L, -99, L",
                  "iii");
  return o;
}

// Start of every line (after each LF), with the end of the file last.
std::vector<std::size_t> line_starts(std::string_view f) {
  std::vector<std::size_t> s = {0};
  for (std::size_t p = f.find('\n'); p != std::string_view::npos;
       p = f.find('\n', p + 1)) {
    s.push_back(p + 1);
  }
  if (s.back() != f.size())
    s.push_back(f.size());
  return s;
}

// Lines of a text layout to show: line number (from 1) and what it holds.
using LinePins = std::vector<std::pair<std::size_t, std::string>>;

std::string text_pins(std::string_view f, std::string_view title,
                      const LinePins& pins) {
  const auto starts = line_starts(f);
  std::string o = std::string(title) + ", " +
                  std::to_string(starts.size() - 1) + " lines\n";
  for (const auto& [line, what] : pins) {
    o += "line " + std::to_string(line) + " " + what;
    if (line >= starts.size()) {
      o += ": (past the end)\n";
      continue;
    }
    const std::size_t b = starts[line - 1], e = starts[line];
    o += " @" + std::to_string(b) + ": \"" + escaped(f.substr(b, e - b)) +
         "\"\n";
  }
  return o;
}

// Line number (from 1) of the first line of run k of a text layout.
template <std::size_t N>
constexpr std::size_t first_line(const std::array<zereduv::LineRun, N>& runs,
                                 std::size_t k) {
  std::size_t line = 1;
  for (std::size_t r = 0; r < k; ++r)
    line += runs[r].lines;
  return line;
}

// The values on a full line of numbers.
constexpr std::size_t kPerLine = static_cast<std::size_t>(
    zereduv::line_shape(zereduv::LineKind::D3).doubles);

// Layout 1: the twelve groups of layout 0 as lines of up to three values.
LinePins layout1_lines() {
  const auto& runs = zereduv::kLayout1Lines;
  // The runs: the header line, the keys, x (full lines, then the last
  // value), y (the same), z, the six arrays, the end marker.
  LinePins p = {{first_line(runs, 0), "ElementLength, Aperture, 0"},
                {first_line(runs, 1), "SymX, SymY, SymZ"},
                {first_line(runs, 2), "XOut(1..3)"},
                {first_line(runs, 3), "XOut(25)"},
                {first_line(runs, 4), "YOut(1..3)"},
                {first_line(runs, 5), "YOut(25)"},
                {first_line(runs, 6), "ZOut(1..3)"},
                {first_line(runs, 7) - 1, "ZOut(199..201)"}};
  std::size_t run = 7;
  for (const char* a : kArrays) {
    const std::size_t first = first_line(runs, run++);
    for (const Node& nd : kNodes) {
      p.emplace_back(first + x_fastest(nd.ix, nd.iy, nd.iz) / kPerLine,
                     std::string(a) + " " + nd.name);
    }
  }
  p.emplace_back(first_line(runs, run), "end marker -99");
  return p;
}

// Layout 2: limits, keys, then an E line and a B line per node, z fastest.
LinePins layout2_lines() {
  const auto& runs = zereduv::kLayout2Lines;
  LinePins p = {{first_line(runs, 0), "XminOut, XmaxOut, 25"},
                {first_line(runs, 1), "YminOut, YmaxOut, 25"},
                {first_line(runs, 2), "ZminOut, ZmaxOut, 201"},
                {first_line(runs, 3), "SymX, SymY, SymZ"}};
  const std::size_t nodes = first_line(runs, 4);
  for (const Node& nd : kNodes) {
    const std::size_t m =
        (nd.ix - 1) * kNy * kNz + (nd.iy - 1) * kNz + (nd.iz - 1);
    p.emplace_back(nodes + 2 * m, std::string("E at ") + nd.name);
    p.emplace_back(nodes + 2 * m + 1, std::string("B at ") + nd.name);
  }
  return p;
}

// Size, SHA-256 and the records at fixed offsets, chosen by the size (each
// layout has one fixed size); a file of any other size shows its first and
// last 64 bytes.
std::string digest(const std::string& name, std::string_view f) {
  std::string o = name + "\nsize " + std::to_string(f.size()) + "\nsha256 " +
                  sha256(f) + "\n";
  if (f.size() == kLayout0Bytes)
    return o + layout0_pins(f);
  if (f.size() == kLayout1Bytes) {
    return o + text_pins(f, "layout 1 (text, x fastest)", layout1_lines());
  }
  if (f.size() == kLayout2Bytes) {
    return o + text_pins(f, "layout 2 (text, z fastest)", layout2_lines());
  }
  const std::size_t n = std::min<std::size_t>(64, f.size());
  return o + "no layout of this size\nfirst bytes: \"" +
         escaped(f.substr(0, n)) + "\"\nlast bytes: \"" +
         escaped(f.substr(f.size() - n)) + "\"\n";
}

static_assert(kLayout0Bytes == 6032140);
static_assert(kLayout1Lines == 251338);

// ---- the run ---------------------------------------------------------------

// Starts LAUNCHER... PROGRAM in `dir` with stdin empty and stdout, stderr
// going to files; returns "exit N" or "signal N".
std::string run(const Options& o, const fs::path& dir, const fs::path& out,
                const fs::path& err) {
  std::vector<std::string> args = o.launcher;
  args.push_back(fs::absolute(o.program).string());
  std::vector<char*> argv;
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string d = dir.string(), op = out.string(), ep = err.string();
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int fo = ::open(op.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int fe = ::open(ep.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int fi = ::open("/dev/null", O_RDONLY);
    if (fo < 0 || fe < 0 || fi < 0 || ::chdir(d.c_str()) != 0)
      ::_exit(126);
    ::dup2(fi, 0);
    ::dup2(fo, 1);
    ::dup2(fe, 2);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int ws = 0;
  while (::waitpid(pid, &ws, 0) < 0) {
    if (errno != EINTR)
      throw std::runtime_error("waitpid failed");
  }
  if (WIFEXITED(ws))
    return "exit " + std::to_string(WEXITSTATUS(ws)) + "\n";
  return "signal " + std::to_string(WTERMSIG(ws)) + "\n";
}

struct Input {
  fs::path from;
  std::string name;
};

// The case's own files and those named in inputs.txt; an absent shared
// table sets `missing`.
std::vector<Input> inputs(const Options& o, std::string& missing) {
  std::vector<Input> in;
  for (const auto& e : fs::directory_iterator(o.case_dir)) {
    const std::string n = e.path().filename().string();
    if (e.is_regular_file() && n != "inputs.txt")
      in.push_back({e.path(), n});
  }
  const fs::path list = o.case_dir / "inputs.txt";
  if (!fs::exists(list))
    return in;
  std::ifstream f(list);
  std::string kind, path;
  while (f >> kind >> path) {
    if (kind == "source") {
      in.push_back({o.source_dir / path, fs::path(path).filename().string()});
    } else if (kind == "shared") {
      const fs::path p = o.tables_dir / path;
      if (!fs::exists(p))
        missing = p.string();
      in.push_back({p, path});
    } else {
      throw std::runtime_error(list.string() + ": unknown kind " + kind);
    }
  }
  return in;
}

// Splits a text after each LF (the LF stays with its line).
std::vector<std::string_view> lines_of(std::string_view t) {
  std::vector<std::string_view> v;
  while (!t.empty()) {
    const std::size_t e = t.find('\n');
    const std::size_t n = e == std::string_view::npos ? t.size() : e + 1;
    v.push_back(t.substr(0, n));
    t.remove_prefix(n);
  }
  return v;
}

// The first `limit` lines that differ, each with its number and both texts.
std::string differences(const std::string& want, const std::string& got,
                        std::size_t limit) {
  const auto w = lines_of(want), g = lines_of(got);
  std::string o;
  std::size_t shown = 0;
  for (std::size_t i = 0; i < std::max(w.size(), g.size()) && shown < limit;
       ++i) {
    auto show = [i](const std::vector<std::string_view>& v) {
      return i < v.size() ? "\"" + escaped(v[i]) + "\""
                          : std::string("(ends before this line)");
    };
    if (i < w.size() && i < g.size() && w[i] == g[i])
      continue;
    o += "  line " + std::to_string(i + 1) + "\n    expected: " + show(w) +
         "\n    actual:   " + show(g) + "\n";
    ++shown;
  }
  return o;
}

std::string crlf_as_lf(std::string s) {
  std::string o;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n'))
      o += s[i];
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) try {
  const Options o = parse(argc, argv);
  const std::string name = o.case_dir.filename().string();
  std::string missing;
  const std::vector<Input> in = inputs(o, missing);
  if (!missing.empty()) {
    std::printf(
        "SKIP: golden case %s needs the real field table %s, which "
        "is absent (the tables are kept outside the repository)\n",
        name.c_str(), missing.c_str());
    return kSkip;
  }

  const fs::path dir = o.work / "run", actual = o.work / "actual";
  fs::remove_all(o.work);
  fs::create_directories(dir);
  fs::create_directories(actual);
  std::set<std::string> input_names;
  for (const Input& i : in) {
    fs::copy_file(i.from, dir / i.name);
    input_names.insert(i.name);
  }

  write_file(actual / "status",
             run(o, dir, actual / "stdout", actual / "stderr"));
  if (fs::exists(dir / "zereduv.log")) {
    fs::copy_file(dir / "zereduv.log", actual / "zereduv.log");
  }
  // What the run folder holds afterwards; a digest of every file the run
  // made or changed, other than the log.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string files = "files after the run:";
  for (const auto& n : names)
    files += " " + n;
  files += "\n";
  for (const auto& n : names) {
    if (n == "zereduv.log" || !fs::is_regular_file(dir / n))
      continue;
    const std::string bytes = read_file(dir / n);
    const auto src = std::find_if(in.begin(), in.end(),
                                  [&](const Input& i) { return i.name == n; });
    if (src != in.end() && read_file(src->from) == bytes)
      continue;
    files += "\n" + digest(n, bytes);
  }
  write_file(actual / "files", files);

  const fs::path expected = o.case_dir / "expected";
  const std::array<const char*, 5> outputs = {"stdout", "stderr", "status",
                                              "zereduv.log", "files"};
  if (o.update) {
    fs::create_directories(expected);
    for (const char* f : outputs) {
      if (fs::exists(actual / f)) {
        fs::copy_file(actual / f, expected / f,
                      fs::copy_options::overwrite_existing);
      } else {
        fs::remove(expected / f);
      }
    }
    std::printf("golden case %s: expected/ rewritten from %s\n", name.c_str(),
                actual.string().c_str());
    return 0;
  }

  int failures = 0;
  for (const char* f : outputs) {
    const bool has_want = fs::exists(expected / f);
    const bool has_got = fs::exists(actual / f);
    if (!has_want && !has_got)
      continue;
    if (has_want != has_got) {
      std::printf("%s: %s\n", f,
                  has_want ? "expected, but the run wrote none"
                           : "written by the run, but not expected");
      ++failures;
      continue;
    }
    std::string want = read_file(expected / f), got = read_file(actual / f);
    const bool console =
        std::string_view(f) == "stdout" || std::string_view(f) == "stderr";
    if (console && o.eol_agnostic) {
      want = crlf_as_lf(want);
      got = crlf_as_lf(got);
    }
    if (want == got)
      continue;
    // A log or console text is shown from its first difference on; in the
    // digest every pinned record stands on its own line, so each differing
    // one is shown.
    const std::size_t limit = std::string_view(f) == "files" ? 40 : 1;
    std::printf("%s differs (expected %zu bytes, actual %zu):\n%s", f,
                want.size(), got.size(), differences(want, got, limit).c_str());
    ++failures;
  }
  if (failures == 0) {
    std::printf("golden case %s: every byte as expected\n", name.c_str());
    return 0;
  }
  std::printf(
      "golden case %s: %d file(s) differ; the run is kept in %s\n"
      "(if the change is intended, review it and run "
      "tools/golden-update.sh)\n",
      name.c_str(), failures, o.work.string().c_str());
  return 1;
} catch (const std::exception& e) {
  std::fprintf(stderr, "golden_run: %s\n", e.what());
  return 2;
}
