#include "input/field_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/t7_table.h"
#include "run/control.h"
#include "run/errors.h"
#include "run/text/channels.h"

namespace zereduv {

namespace {

// Largest map (after the mirror completion) the program agrees to hold:
// three arrays of 50 million doubles are 1.2 GB.
constexpr int64_t kMaxNodes = 50'000'000;

// Character ranges of the header values (1-based columns 16..100 for the
// limits, 23..100 for the interval counts), as 0-based offsets.
constexpr std::size_t kHeaderWidth = 100;
constexpr std::size_t kLimitsFrom = 15;
constexpr std::size_t kCountsFrom = 22;

// A length for a rejection message: the shortest text that reads back as
// the same double.
std::string num(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool mirrors(int32_t isym_z) {
  return isym_z == 1 || isym_z == -1 || isym_z == 2 || isym_z == -2;
}

// The z node count once the completion that isym_z asks for is done: a half
// map of N nodes becomes 2N - 1 nodes (the mirror plane is shared).
int64_t completed_nz(int64_t nz, int32_t isym_z) {
  return mirrors(isym_z) ? 2 * nz - 1 : nz;
}

// Maps the program cannot hold or evaluate: the interpolation needs three
// nodes each way, and the node spacing needs a non-empty range.
void reject_unsupported(const RunState& s, const std::string& file,
                        int64_t nz_full) {
  // A negative count of intervals is no small map but a damaged record.
  const std::pair<const char*, int32_t> counts[] = {{"z", s.Nz}, {"r", s.Nr}};
  for (const auto& [axis, nodes] : counts) {
    if (nodes < 1) {
      throw TableRejected(file, std::string("the ") + axis +
                                    " interval count is " +
                                    std::to_string(nodes - 1) +
                                    "; a count of intervals cannot be "
                                    "negative");
    }
  }
  if (s.Nr < 3) {
    throw TableRejected(file, "only " + std::to_string(s.Nr) +
                                  " r nodes (Nr), at least 3 are needed");
  }
  if (nz_full < 3) {
    throw TableRejected(file, "only " + std::to_string(nz_full) +
                                  " z nodes after the symmetry completion "
                                  "(isym_z = " +
                                  std::to_string(s.isym_z) +
                                  "), at least 3 are needed");
  }
  if (!(s.Rmax > s.Rmin)) {
    throw TableRejected(file, "Rmax (" + num(s.Rmax) + ") is not above Rmin (" +
                                  num(s.Rmin) + ")");
  }
  if (!(s.Zmax > s.Zmin)) {
    throw TableRejected(file, "Zmax (" + num(s.Zmax) + ") is not above Zmin (" +
                                  num(s.Zmin) + ")");
  }
  // Both counts are at least 3 here, so the quotient test cannot overflow.
  if (nz_full > kMaxNodes / s.Nr) {
    throw TableRejected(
        file, std::to_string(s.Nr) + " x " + std::to_string(nz_full) +
                  " nodes after the symmetry completion, more than the " +
                  std::to_string(kMaxNodes) + " the program can hold");
  }
}

// Blank-separated words of a record.
std::vector<std::string_view> words(std::string_view rec) {
  std::vector<std::string_view> w;
  std::size_t p = 0;
  while (true) {
    p = rec.find_first_not_of(" \t", p);
    if (p == std::string_view::npos)
      return w;
    const std::size_t e = std::min(rec.find_first_of(" \t", p), rec.size());
    w.push_back(rec.substr(p, e - p));
    p = e;
  }
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// A node record begins with a number; titles, units and notes do not (a
// blank record holds no values and may be passed over as well).
bool may_begin_node(std::string_view rec) {
  const std::size_t p = rec.find_first_not_of(" \t");
  if (p == std::string_view::npos)
    return false;
  const char c = rec[p];
  return is_digit(c) || c == '+' || c == '-' || c == '.';
}

// Where the interval counts start in the counts record.  The solver writes
// them in six-character fields from column 20, so from column 23 on for
// counts below 1000; a longer first count has digits before column 23, and
// reading from column 23 would cut it (1200 would read as 200).
std::size_t counts_start(std::string_view rec) {
  std::size_t p = kCountsFrom;
  while (p > 0 && is_digit(rec[p - 1]))
    --p;
  if (p > 0 && (rec[p - 1] == '-' || rec[p - 1] == '+'))
    --p;
  return p;
}

// The records between the counts record and the first node record: the
// three the layout always has, then any further records that cannot begin
// a node (the normalisation notes that some solver runs add).
struct HeaderTail {
  std::vector<std::string> records;
  bool ended = false;  // the file ended among the three fixed records
};

HeaderTail read_header_tail(TextIn& in) {
  HeaderTail t;
  for (int k = 0; k < 3; ++k) {
    if (in.at_end()) {
      t.ended = true;
      return t;
    }
    t.records.emplace_back(in.next_record("the column titles"));
  }
  while (!in.at_end() && !may_begin_node(in.peek_record())) {
    t.records.emplace_back(in.next_record("the column titles"));
  }
  return t;
}

// What the records up to the first node say: the length unit from the units
// record (the last non-blank record before the nodes, "(mm)" under both Z
// and R for lengths in mm), the column titles, and the header variant.
void describe_tail(const HeaderTail& t, TableHeader& h) {
  h.records_between = static_cast<int32_t>(t.records.size());
  bool ezero = false;
  for (const auto& rec : t.records) {
    if (rec.find("EZERO") != std::string::npos ||
        rec.find("normalized to E0") != std::string::npos) {
      ezero = true;
    }
    const auto w = words(rec);
    if (!w.empty() &&
        (w[0] == "Z" || w[0] == "R" || w[0] == "X" || w[0] == "Y")) {
      h.columns.assign(w.begin(), w.end());
    }
  }
  h.variant = ezero                    ? TableHeader::Variant::Ezero
              : h.records_between == 3 ? TableHeader::Variant::Plain
                                       : TableHeader::Variant::Other;
  for (auto it = t.records.rbegin(); it != t.records.rend(); ++it) {
    const auto w = words(*it);
    if (w.empty())
      continue;
    if (w[0].front() == '(')
      h.units.assign(w.begin(), w.end());
    if (w.size() >= 2 && w[0] == "(mm)" && w[1] == "(mm)") {
      h.unit = TableHeader::LengthUnit::Mm;
      h.unit_stated = true;
    } else if (w.size() >= 2 && w[0] == "(cm)" && w[1] == "(cm)") {
      h.unit_stated = true;
    }
    return;
  }
}

// Tables of other fields than the RF field of an axially symmetric cavity,
// recognised by their limits record or their column titles.
void reject_wrong_kind(std::string_view limits_a, const HeaderTail& t,
                       const std::string& file) {
  const std::size_t r = limits_a.find("Rmin");
  if (r != std::string_view::npos && r < limits_a.find("Zmin")) {
    throw TableRejected(
        file,
        "its limits record names Rmin before Zmin, as static-field tables "
        "do (columns R Z Er Ez |E| V); only RF field tables with the columns "
        "Z R Ez Er |E| H can be converted");
  }
  static constexpr std::string_view kTitles[] = {"Z",  "R",   "Ez",
                                                 "Er", "|E|", "H"};
  for (const auto& rec : t.records) {
    const auto w = words(rec);
    if (w.empty() ||
        (w[0] != "Z" && w[0] != "R" && w[0] != "X" && w[0] != "Y")) {
      continue;
    }
    bool rf = w.size() >= 6;
    for (std::size_t k = 0; rf && k < 6; ++k)
      rf = w[k] == kTitles[k];
    if (!rf) {
      std::string names;
      for (std::size_t k = 0; k < w.size() && k < 6; ++k) {
        names += (k > 0 ? " " : "") + std::string(w[k]);
      }
      throw TableRejected(file, "its columns are " + names +
                                    "; only tables with the columns Z R Ez "
                                    "Er |E| H can be converted");
    }
    return;
  }
}

// Every node record holds six numbers of at least one character, each
// followed by at least a blank or the line end (the last one of the file
// perhaps by nothing).
constexpr int64_t kMinNodeBytes = 12;

// A table whose header announces more node records than the `rest` bytes
// after the header can hold (node_bytes each at least) ends here, before
// the map is sized for them.
void check_room_for_nodes(const RunState& s, const TextIn& in,
                          const std::string& file, int64_t rest,
                          int64_t node_bytes) {
  const int64_t nodes = int64_t{s.Nr} * s.Nz;
  const int64_t need = nodes * node_bytes - 1;
  if (rest < need) {
    throw IoError(2, file, "table too short for its nodes",
                  "the header announces " + std::to_string(s.Nr) + " x " +
                      std::to_string(s.Nz) + " = " + std::to_string(nodes) +
                      " node records, at least " + std::to_string(need) +
                      " bytes, but " + std::to_string(rest) +
                      " bytes follow the header",
                  in.line());
  }
}

// Node count from an interval count, kept within 32 bits.
int32_t node_count(int32_t intervals, const std::string& file,
                   const char* axis) {
  if (intervals == INT32_MAX) {
    throw TableRejected(
        file, std::string("the ") + axis + " interval count is too large");
  }
  return intervals + 1;
}

// The table's grid in cm as read: the header limits (converted when the
// table is in mm) and the node counts.
FieldTable table_grid(const TableHeader& h, int32_t Nz, int32_t Nr) {
  FieldTable t;
  t.header = h;
  t.Zmin = h.Zmin;
  t.Rmin = h.Rmin;
  t.Zmax = h.Zmax;
  t.Rmax = h.Rmax;
  if (h.unit == TableHeader::LengthUnit::Mm) {
    t.Zmin = t.Zmin / 10.0;
    t.Rmin = t.Rmin / 10.0;
    t.Zmax = t.Zmax / 10.0;
    t.Rmax = t.Rmax / 10.0;
  }
  t.Nz = Nz;
  t.Nr = Nr;
  return t;
}

// Centres the z range on 0 unless it is centred already: the nodes keep
// their values, so the whole map moves along z.
void centre_z(FieldTable& t) {
  t.Zmin_centred = t.Zmin;
  t.Zmax_centred = t.Zmax;
  if (!(t.Zmin == -t.Zmax)) {
    const double h = (t.Zmax - t.Zmin) / 2.0;
    t.shifted = true;
    t.Zmax_centred = h;
    t.Zmin_centred = -h;
  }
}

// Refuses a map that cannot be held before any node is read, centres the
// z range and logs it, refuses a table whose nodes the `rest` bytes after
// the header cannot hold (unless rest < 0) where the node reads would have
// failed, and sizes the map once for its completed form (mirror image
// included).
void size_and_centre(RunState& s, FieldTable& t, const std::string& file,
                     const TextIn& in, int64_t rest, int64_t node_bytes) {
  const int64_t nz_full = completed_nz(s.Nz, s.isym_z);
  reject_unsupported(s, file, nz_full);
  centre_z(t);
  s.Zmin = t.Zmin_centred;
  s.Zmax = t.Zmax_centred;
  log_centred_z(s.log, t);
  if (rest >= 0)
    check_room_for_nodes(s, in, file, rest, node_bytes);
  try {
    s.Er2D.allocate(s.Nr, static_cast<int32_t>(nz_full));
    s.Ez2D.allocate(s.Nr, static_cast<int32_t>(nz_full));
    s.B2D.allocate(s.Nr, static_cast<int32_t>(nz_full));
  } catch (const std::bad_alloc&) {
    throw IoError(2, file, "out of memory",
                  "while reading the field table: no room for the map of " +
                      std::to_string(s.Nr) + " x " + std::to_string(nz_full) +
                      " nodes",
                  in.line());
  }
}

// The run state's input grid: the limits and node counts as the table
// gives them (before centring).
void set_input_grid(RunState& s, const FieldTable& t) {
  s.Zmin = t.Zmin;
  s.Zmax = t.Zmax;
  s.Rmin = t.Rmin;
  s.Rmax = t.Rmax;
  s.Nz = t.Nz;
  s.Nr = t.Nr;
}

// Where the header puts each node record, in the table's own length unit
// and before centring: the k-th record of r block i at
// R = Rmin + (i - 1) dr and Z = Zmin + (k - 1) dz (Zmax - (k - 1) dz when
// the rows run in decreasing z).  A record counts as off its node when Z
// or R is more than half a step away.
class NodeGridCheck {
 public:
  NodeGridCheck(const TableHeader& h, int32_t Nz, int32_t Nr, int32_t ReverseZ,
                std::string file)
      : h_(h),
        reverse_(ReverseZ != 0),
        file_(std::move(file)),
        dz_(Nz > 1 ? (h.Zmax - h.Zmin) / (Nz - 1) : 0.0),
        dr_(Nr > 1 ? (h.Rmax - h.Rmin) / (Nr - 1) : 0.0),
        // A single node in z (or r) has no step to be off by.
        half_dz_(Nz > 1 ? dz_ / 2.0 : kUnbounded),
        half_dr_(Nr > 1 ? dr_ / 2.0 : kUnbounded) {}

  // Record k of r block i, its Z on table line `line`.  The first record
  // waits for the second: rows in the wrong z order for ReverseZ say so
  // before any record is found off its node.  Every record of a table is
  // checked, so the comparison stays inline and the words are built only
  // for the record that is off.
  void record(int32_t i, int32_t k, double Z, double R, long line) {
    if (i == 1 && k <= 2) {
      first_records(k, Z, R, line);
      return;
    }
    check(i, k, Z, R, line);
  }

 private:
  static constexpr double kUnbounded = std::numeric_limits<double>::infinity();

  struct Seen {
    double Z = 0.0, R = 0.0;
    long line = 0;
  };

  double node_r(int32_t i) const { return h_.Rmin + (i - 1) * dr_; }
  double node_z(int32_t k) const {
    return reverse_ ? h_.Zmax - (k - 1) * dz_ : h_.Zmin + (k - 1) * dz_;
  }

  void first_records(int32_t k, double Z, double R, long line) {
    if (k == 1) {
      first_ = {Z, R, line};
      return;
    }
    if (!reverse_ && Z < first_.Z)
      stop_run("zereduv: the rows of \"" + file_ +
               "\" run in decreasing z, but ReverseZ (record 11 of "
               "zereduv.dat) is 0: set it to 1");
    if (reverse_ && Z > first_.Z)
      stop_run("zereduv: the rows of \"" + file_ +
               "\" run in increasing z, but ReverseZ (record 11 of "
               "zereduv.dat) is not 0: set it to 0");
    check(1, 1, first_.Z, first_.R, first_.line);
    check(1, 2, Z, R, line);
  }

  void check(int32_t i, int32_t k, double Z, double R, long line) const {
    if (std::fabs(R - node_r(i)) > half_dr_ ||
        std::fabs(Z - node_z(k)) > half_dz_)
      off_grid(i, k, Z, R, line);
  }

  [[noreturn]] void off_grid(int32_t i, int32_t k, double Z, double R,
                             long line) const {
    stop_run("zereduv: the node record on line " + std::to_string(line) +
             " of \"" + file_ + "\" (Z = " + num(Z) + ", R = " + num(R) +
             ") is off the header's grid, which puts it at Z = " +
             num(node_z(k)) + ", R = " + num(node_r(i)) +
             ": each r must hold its Nz rows in a block, z varying "
             "fastest, as the header's limits and interval counts say");
  }

  const TableHeader& h_;
  bool reverse_;
  std::string file_;
  double dz_, dr_;
  double half_dz_, half_dr_;
  Seen first_;
};

}  // namespace

void log_input_grid(TextOut& log, const FieldTable& t) {
  if (t.header.unit == TableHeader::LengthUnit::Mm)
    log.list({kMmConverted});
  log.list({kInputGridHeading});
  log.list({kInputZLabel, t.Zmin, t.Zmax, t.Nz});
  log.list({kInputRLabel, t.Rmin, t.Rmax, t.Nr});
  log.list({kSeparator});
}

void log_centred_z(TextOut& log, const FieldTable& t) {
  if (t.shifted) {
    log.list({kCentredZLabel, t.Zmin_centred, t.Zmax_centred});
    log.list({kSeparator});
  }
}

FieldTable READ_FIELD_TABLE(RunState& s) {
  const std::string file(trimmed(s.FieldFileName));

  // Name the table, then open it (the name is shown even when the open
  // fails, so the user sees which file was missing).
  s.console.list({kReadingFileLabel, file});
  s.log.list({kReadingFileLabel, file});
  TextIn in(2, file);
  in.open(s.path(file));

  // A table in the T7 form opens with three records of numbers alone (z
  // range, frequency, r range); it carries no length unit, no titles and
  // no node coordinates.
  T7Table t7(in);
  if (const auto h = t7.header(file)) {
    TableHeader header;
    header.variant = TableHeader::Variant::T7;
    header.limits_line = 1;
    header.first_node_line = 4;
    header.Zmin = h->Zmin;
    header.Zmax = h->Zmax;
    header.Rmin = h->Rmin;
    header.Rmax = h->Rmax;
    header.z_intervals = h->z_intervals;
    header.r_intervals = h->r_intervals;
    header.frequency_MHz = h->frequency_MHz;
    FieldTable t = table_grid(header, node_count(h->z_intervals, file, "z"),
                              node_count(h->r_intervals, file, "r"));
    set_input_grid(s, t);
    report_t7(s, *h);
    log_input_grid(s.log, t);
    // Four numbers a node, each of one character and a separator at least.
    size_and_centre(s, t, file, in, t7.remaining(), 8);
    t7.nodes(s);
    in.close();
    return t;
  }

  // Header: the first record holding "Zmin" gives Zmin, Rmin; the next
  // Zmax, Rmax; the next the z and r interval counts.
  TableHeader header;
  std::string limits_a;
  do {
    limits_a = in.read_text(kHeaderWidth, "a limits record holding \"Zmin\"");
  } while (limits_a.find("Zmin") == std::string::npos);
  header.limits_line = in.line();
  in.read_from(
      std::string_view(limits_a).substr(kLimitsFrom),
      {real_item(header.Zmin, "Zmin"), real_item(header.Rmin, "Rmin")});

  std::string rec;

  rec = in.read_text(kHeaderWidth, "the limits record of Zmax, Rmax");
  in.read_from(
      std::string_view(rec).substr(kLimitsFrom),
      {real_item(header.Zmax, "Zmax"), real_item(header.Rmax, "Rmax")});

  rec = in.read_text(kHeaderWidth, "the record of the interval counts");
  in.read_from(std::string_view(rec).substr(counts_start(rec)),
               {int_item(header.z_intervals, "number of z intervals"),
                int_item(header.r_intervals, "number of r intervals")});
  header.wide_counts = counts_start(rec) < kCountsFrom;
  const int32_t Nz = node_count(header.z_intervals, file, "z");
  const int32_t Nr = node_count(header.r_intervals, file, "r");

  // The records up to the first node tell the length unit and the kind of
  // table, both needed before the grid is reported.  A file that ends among
  // them fails where the reading of these records would have failed, after
  // the report.
  const HeaderTail tail = read_header_tail(in);
  describe_tail(tail, header);
  if (!tail.ended && !in.at_end())
    header.first_node_line = in.line() + 1;
  FieldTable t = table_grid(header, Nz, Nr);
  set_input_grid(s, t);
  log_input_grid(s.log, t);

  // Refuse what cannot be held before reading any node, then centre the
  // map and size it.
  reject_wrong_kind(limits_a, tail, file);
  // (A file that ended among the column titles says so when they are read.)
  size_and_centre(s, t, file, in,
                  tail.ended ? -1 : static_cast<int64_t>(in.remaining()),
                  kMinNodeBytes);

  // Blank, column-title and units records: already read.
  if (tail.ended)
    in.skip("the column titles");

  // Nodes in blocks of Nz records of equal r; a table written in
  // decreasing z is stored in increasing z when ReverseZ is set.
  // E in MV/m to V/cm, H in A/m to B in Gauss; |E| is not used, Z and R
  // only to check that each record stands where the header puts it.
  // Records in the tables' plain form are read by the quick path; any
  // other goes to the general scanner, which gives the same values and
  // reports the faults.
  double v[6] = {};
  double& ez = v[2];
  double& er = v[3];
  double& h = v[5];
  const ReadItem node[] = {real_item(v[0], "Z"),   real_item(v[1], "R"),
                           real_item(ez, "Ez"),    real_item(er, "Er"),
                           real_item(v[4], "|E|"), real_item(h, "H")};
  NodeGridCheck on_grid(t.header, s.Nz, s.Nr, s.ReverseZ, file);
  for (int32_t i = 1; i <= s.Nr; ++i) {
    for (int32_t n = 1; n <= s.Nz; ++n) {
      const int32_t j = s.ReverseZ != 0 ? s.Nz - n + 1 : n;
      const long line = in.line() + 1;  // each node read starts a record
      if (!in.read_plain_reals(v))
        in.read_list(node);
      on_grid.record(i, n, v[0], v[1], line);
      s.Er2D(i, j) = er * 10000.0;
      s.Ez2D(i, j) = ez * 10000.0;
      s.B2D(i, j) = h * s.mu1;
    }
  }

  in.close();
  return t;
}

}  // namespace zereduv
