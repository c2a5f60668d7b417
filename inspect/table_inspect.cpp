#include "table_inspect.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <system_error>

#include "field/maxwell_check.h"
#include "input/field_table.h"
#include "input/symmetry.h"
#include "run/control.h"
#include "run/errors.h"
#include "run/run_state.h"

namespace zereduv::inspect {

namespace {

constexpr std::string_view kMmLine = "Table lengths in mm converted to cm";

std::string read_whole(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), {});
}

/// A run state that has read the table, as the program would with these
/// keys; everything it logs stays in memory.
std::unique_ptr<RunState> read_table(const std::filesystem::path& file,
                                     int32_t isym, double frequency,
                                     const TableHeader& header,
                                     TableReport& rep) {
  auto s = std::make_unique<RunState>();
  std::filesystem::path dir = file.parent_path();
  s->WorkDir = dir.empty() ? std::filesystem::path(".") : dir;
  std::string name = file.filename().string();
  if (name.size() > 80)
    throw TableRejected(file.string(),
                        "file name longer than 80 characters; rename it");
  s->FieldFileName = name + std::string(80 - name.size(), ' ');
  s->isym_z = isym;
  s->Frequency = frequency;
  s->ReverseZ = 0;
  s->FieldScale = 1.0;
  DERIVE_CONSTANTS(*s);
  READ_FIELD_TABLE(*s);
  // Tables of the wrong kind, should the reader have let them through:
  // their r and z, or their fields, would be taken for others.
  if (header.poisson)
    throw TableRejected(file.string(),
                        "static (Poisson) table: the limits record names Rmin "
                        "before Zmin (columns R Z Er Ez |E| V)");
  static const std::vector<std::string> kColumns = {"Z",  "R",   "Ez",
                                                    "Er", "|E|", "H"};
  if (!header.columns.empty() &&
      !std::equal(kColumns.begin(), kColumns.end(), header.columns.begin(),
                  header.columns.begin() +
                      static_cast<std::ptrdiff_t>(
                          std::min(header.columns.size(), kColumns.size()))))
    throw TableRejected(file.string(),
                        "columns are not Z R Ez Er |E| H");
  rep.mm_converted_by_reader =
      s->log.memory().find(kMmLine) != std::string::npos;
  if (header.length_unit == "mm" && !rep.mm_converted_by_reader) {
    // A reader that does not know mm tables yet: the lengths are converted
    // here, so that the field and the check see centimetres.
    s->Zmin /= 10.0;
    s->Zmax /= 10.0;
    s->Rmin /= 10.0;
    s->Rmax /= 10.0;
    rep.mm_converted_here = true;
  }
  return s;
}

/// The value of a list-directed statistics line " label= value".
bool log_value(std::string_view log, std::string_view label, double& v) {
  std::size_t p = log.find(label);
  if (p == std::string_view::npos) return false;
  p += label.size();
  while (p < log.size() && log[p] == ' ') ++p;
  const char* b = log.data() + p;
  auto r = std::from_chars(b, log.data() + log.size(), v);
  return r.ec == std::errc();
}

double field_value(std::string_view line, std::size_t col, std::size_t w,
                   bool& ok) {
  ok = false;
  if (line.size() < col + w - 1) return 0.0;
  std::string_view f = line.substr(col - 1, w);
  std::size_t b = f.find_first_not_of(' ');
  if (b == std::string_view::npos) return 0.0;
  f.remove_prefix(b);
  double v = 0.0;
  auto r = std::from_chars(f.data(), f.data() + f.size(), v);
  ok = r.ec == std::errc();
  return v;
}

/// The statistics of the check, read back from what it logged.
void read_check_log(std::string_view log, MaxwellStats& m) {
  constexpr std::string_view kSlice = "  iz, zz, I_H, I_E, ratio= ";
  double sum = 0.0;
  std::size_t pos = 0;
  while (pos < log.size()) {
    std::size_t e = log.find('\n', pos);
    if (e == std::string_view::npos) e = log.size();
    std::string_view line = log.substr(pos, e - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = e + 1;
    if (line.substr(0, kSlice.size()) != kSlice) continue;
    ++m.slices;
    bool ok_h = false, ok_r = false;
    double ih = field_value(line, 51, 14, ok_h);
    double ratio = field_value(line, 81, 14, ok_r);
    // A slice without H on the circle has a ratio that does not scale with
    // the frequency (0 or +-1): it says nothing about the frequency.
    if (ok_h && ih == 0.0) continue;
    if (!ok_r) continue;
    ++m.scaling_slices;
    sum += ratio;
  }
  if (m.scaling_slices > 0) m.scaling_mean = sum / m.scaling_slices;
  log_value(log, " avg_rRL1= ", m.avg);
  log_value(log, " max_rRL1= ", m.max);
  log_value(log, " min_rRL1= ", m.min);
  m.warning = log.find(" Warning: Maxwell Equations: Ratio > 1.5 ") !=
              std::string_view::npos;
  if (log.find(" Maxwell Equations: -> Switching E-field sign") !=
      std::string_view::npos)
    m.switched = "E";
  else if (log.find(" Maxwell Equations: -> Switching B-field sign") !=
           std::string_view::npos)
    m.switched = "B";
}

}  // namespace

EndPlane classify_plane(double ez, double er, double h) {
  EndPlane p;
  p.ez = ez;
  p.er = er;
  p.h = h;
  if (ez < kFieldFreeLevel && er < kFieldFreeLevel && h < kFieldFreeLevel) {
    p.kind = "no field";
  } else if (er < kZeroLevel) {
    p.kind = "mirror, Ez even";
    p.key = 2;
  } else if (ez < kZeroLevel && h < kZeroLevel) {
    p.kind = "mirror, Ez odd";
    p.key = 1;
  } else {
    p.kind = "open";
  }
  return p;
}

int32_t suggest_isym(const EndPlane& first, const EndPlane& last,
                     std::string& why) {
  auto parity = [](int key) { return key == 2 ? "Ez even" : "Ez odd"; };
  if (first.key != 0 && last.key == 0) {
    why = std::string("upper half: mirror plane at the first z node, ") +
          parity(first.key);
    return first.key;
  }
  if (last.key != 0 && first.key == 0) {
    why = std::string("lower half: mirror plane at the last z node, ") +
          parity(last.key);
    return -last.key;
  }
  if (first.key == 0) {
    why = "no mirror plane at either end: the table is the whole map";
    return 0;
  }
  why = std::string("both end planes are symmetry planes (") +
        parity(first.key) + " at the first, " + parity(last.key) +
        " at the last): the table is a whole cavity or cell bounded by them; "
        "use " + std::to_string(first.key) + " or " +
        std::to_string(-last.key) +
        " only if it is one half of a longer structure";
  return 0;
}

TableReport inspect_table(const std::filesystem::path& file,
                          const TableOptions& opt) {
  TableReport rep;
  rep.file = file.string();
  rep.header = scan_table_header(read_whole(file));
  const double fcheck = opt.frequency.value_or(kReferenceFrequency);

  // 1. The table as read, with the key asked for (or none yet).
  int32_t key = opt.isym.value_or(0);
  auto s = read_table(file, key, fcheck, rep.header, rep);
  rep.nz_table = s->Nz;
  rep.nr = s->Nr;
  rep.zmin = s->Zmin;
  rep.zmax = s->Zmax;
  rep.rmin = s->Rmin;
  rep.rmax = s->Rmax;
  rep.dz = s->Nz > 1 ? (s->Zmax - s->Zmin) / (s->Nz - 1) : 0.0;
  rep.dr = s->Nr > 1 ? (s->Rmax - s->Rmin) / (s->Nr - 1) : 0.0;

  // 2. End planes, measured against each component's peak over the table.
  double pez = 0, per = 0, pb = 0;
  for (int32_t i = 1; i <= s->Nr; ++i)
    for (int32_t j = 1; j <= s->Nz; ++j) {
      pez = std::max(pez, std::abs(s->Ez2D(i, j)));
      per = std::max(per, std::abs(s->Er2D(i, j)));
      pb = std::max(pb, std::abs(s->B2D(i, j)));
    }
  auto rel = [](double v, double peak) { return peak > 0.0 ? v / peak : 0.0; };
  auto plane = [&](int32_t j) {
    double ez = 0, er = 0, b = 0;
    for (int32_t i = 1; i <= s->Nr; ++i) {
      ez = std::max(ez, std::abs(s->Ez2D(i, j)));
      er = std::max(er, std::abs(s->Er2D(i, j)));
      b = std::max(b, std::abs(s->B2D(i, j)));
    }
    return classify_plane(rel(ez, pez), rel(er, per), rel(b, pb));
  };
  rep.first = plane(1);
  rep.last = plane(s->Nz);
  rep.suggested_isym = suggest_isym(rep.first, rep.last, rep.suggestion);

  // 3. The map the program would use: completed with the key given, or
  //    with the suggested one (read again, sized for the completion).
  rep.isym_given = opt.isym.has_value();
  rep.isym = rep.isym_given ? *opt.isym : rep.suggested_isym;
  if (rep.isym != key) s = read_table(file, rep.isym, fcheck, rep.header, rep);
  COMPLETE_SYMMETRY(*s);
  rep.nz_full = s->Nz;
  rep.zmin_full = s->Zmin;
  rep.zmax_full = s->Zmax;
  for (int32_t j = 1; j <= s->Nz; ++j) rep.zgrid.push_back(s->Zgrid(j));
  for (int32_t i = 1; i <= s->Nr; ++i) rep.rgrid.push_back(s->Rgrid(i));

  // 4. Field level, before the check may switch a sign (V/cm to MV/m).
  rep.absE.resize(static_cast<std::size_t>(s->Nr) *
                  static_cast<std::size_t>(s->Nz));
  for (int32_t i = 1; i <= s->Nr; ++i)
    for (int32_t j = 1; j <= s->Nz; ++j) {
      double er = s->Er2D(i, j) / 1e4, ez = s->Ez2D(i, j) / 1e4;
      double e = std::sqrt(er * er + ez * ez);
      rep.absE[static_cast<std::size_t>(i - 1) *
                   static_cast<std::size_t>(s->Nz) +
               static_cast<std::size_t>(j - 1)] = e;
      if (e > rep.peak_E) {
        rep.peak_E = e;
        rep.peak_E_z = s->Zgrid(j);
        rep.peak_E_r = s->Rgrid(i);
      }
    }
  // |B_phi| [Gauss] for the picture.
  rep.absB.reserve(rep.absE.size());
  for (int32_t i = 1; i <= s->Nr; ++i)
    for (int32_t j = 1; j <= s->Nz; ++j) rep.absB.push_back(std::fabs(s->B2D(i, j)));
  rep.axis_in_map = s->Nr >= 1 && s->Rgrid(1) == 0.0;
  if (rep.axis_in_map) {
    for (int32_t j = 1; j <= s->Nz; ++j) {
      double ez = s->Ez2D(1, j) / 1e4;
      rep.axis_ez.push_back(ez);
      if (j == 1 || ez < rep.ez_min) {
        rep.ez_min = ez;
        rep.ez_min_z = s->Zgrid(j);
      }
      if (j == 1 || ez > rep.ez_max) {
        rep.ez_max = ez;
        rep.ez_max_z = s->Zgrid(j);
      }
    }
  }

  // 5. The Maxwell check, exactly as the program runs it; its stop only
  //    ends the check here.
  MaxwellStats& m = rep.maxwell;
  m.frequency_given = opt.frequency.has_value();
  m.frequency = fcheck;
  std::size_t log_from = s->log.memory().size();
  try {
    CHECK_MAXWELL(*s);
  } catch (const RunStop& stop) {
    m.stopped = true;
    m.stop_message = stop.message;
  }
  read_check_log(std::string_view(s->log.memory()).substr(log_from), m);
  if (m.scaling_slices > 0 && m.scaling_mean != 0.0) {
    m.implied_ok = true;
    m.implied_frequency = fcheck / std::abs(m.scaling_mean);
    if (m.frequency_given) {
      m.mismatch_percent =
          100.0 * (fcheck - m.implied_frequency) / m.implied_frequency;
      m.mismatch = std::abs(m.mismatch_percent) > 1.0;
    }
  }

  // 6. Transit-time factor at the given frequency, else at the implied one.
  if (m.frequency_given) {
    rep.tt_frequency = fcheck;
    rep.tt_frequency_source = "given";
  } else if (m.implied_ok) {
    rep.tt_frequency = m.implied_frequency;
    rep.tt_frequency_source = "implied";
  }
  if (rep.axis_in_map && rep.tt_frequency > 0.0 && rep.zgrid.size() >= 2) {
    std::vector<double> zm;
    for (double z : rep.zgrid) zm.push_back(z / 100.0);
    const double omega = 2.0 * s->pi * rep.tt_frequency;
    std::vector<double> betas;
    for (int n = 1; n <= 20; ++n) betas.push_back(n / 20.0);
    rep.axis_voltage = axis_voltage(zm, rep.axis_ez);
    rep.gains = gain_table(zm, rep.axis_ez, omega, s->c, betas);
    rep.best = best_gain(zm, rep.axis_ez, omega, s->c);
  }
  return rep;
}

}  // namespace zereduv::inspect
