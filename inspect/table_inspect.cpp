#include "table_inspect.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "field/maxwell_check.h"
#include "input/field_table.h"
#include "input/symmetry.h"
#include "numfmt.h"
#include "run/control.h"
#include "run/errors.h"
#include "run/run_state.h"
#include "run/system/platform.h"

namespace zereduv::inspect {

namespace {

/// A run state that has read the table, as the program would with these
/// keys; everything it logs stays in memory.
std::unique_ptr<RunState> read_table(const std::filesystem::path& file,
                                     int32_t isym, double frequency,
                                     TableHeader& header) {
  auto s = std::make_unique<RunState>();
  std::filesystem::path dir = file.parent_path();
  s->WorkDir = dir.empty() ? std::filesystem::path(".") : dir;
  std::string name = platform::shown_path(file.filename());
  if (name.size() > 80)
    throw TableRejected(platform::shown_path(file),
                        "file name longer than 80 characters; rename it");
  s->FieldFileName = name + std::string(80 - name.size(), ' ');
  s->isym_z = isym;
  s->Frequency = frequency;
  s->ReverseZ = 0;
  s->FieldScale = 1.0;
  set_constants(*s, physical_constants(s->Frequency));
  header = read_field_table(*s, platform::shown_path(file)).header;
  return s;
}

}  // namespace

FieldTable read_field_table(RunState& s, const std::string& file) {
  try {
    return READ_FIELD_TABLE(s);
  } catch (const RunStop& stop) {
    std::string problem = stop.message;
    constexpr std::string_view kProgram = "zereduv: ";
    if (problem.starts_with(kProgram))
      problem.erase(0, kProgram.size());
    throw TableRejected(file, problem);
  }
}

namespace {

/// The frequency the table implies: the least-squares fit of I_E = rho I_H
/// over the slices with field, each slice weighted by its current, so that
/// the slices where the field is weak (the ends of a window, a stretch of
/// pipe) count little; and the median of the slice ratios beside it.
void implied_frequency(MaxwellStats& m) {
  double num = 0.0, den = 0.0;
  std::vector<double> ratios;
  for (const MaxwellSlice& sl : m.check.slices) {
    if (sl.I_H == 0.0 && sl.I_E == 0.0)
      continue;
    ++m.field_slices;
    num += sl.I_E * sl.I_H;
    den += sl.I_H * sl.I_H;
    if (sl.I_H != 0.0)
      ratios.push_back(sl.ratio);
  }
  if (den > 0.0)
    m.fit_ratio = num / den;
  if (m.fit_ratio != 0.0 && std::isfinite(m.fit_ratio)) {
    m.implied_ok = true;
    m.implied_frequency = m.frequency / std::abs(m.fit_ratio);
  }
  m.ratio_slices = static_cast<int32_t>(ratios.size());
  if (!ratios.empty()) {
    std::sort(ratios.begin(), ratios.end());
    const std::size_t n = ratios.size();
    m.median_ratio =
        n % 2 == 1 ? ratios[n / 2] : (ratios[n / 2 - 1] + ratios[n / 2]) / 2.0;
    if (m.median_ratio != 0.0)
      m.median_frequency = m.frequency / std::abs(m.median_ratio);
  }
}

}  // namespace

std::string variant_name(const TableHeader& h) {
  switch (h.variant) {
  case TableHeader::Variant::Plain:
    return "plain";
  case TableHeader::Variant::Ezero:
    return "EZERO";
  case TableHeader::Variant::Other:
    break;
  case TableHeader::Variant::T7:
    return "T7";
  }
  return "other";
}

std::string variant_text(const TableHeader& h) {
  const std::string gap =
      std::to_string(h.records_between) +
      " records between the interval counts and the first node";
  std::string t;
  switch (h.variant) {
  case TableHeader::Variant::Plain:
    t = "plain: " + gap;
    break;
  case TableHeader::Variant::Ezero:
    t = "EZERO variant (written with the Parmela command): " + gap;
    break;
  case TableHeader::Variant::Other:
    t = "unusual: " + gap;
    break;
  case TableHeader::Variant::T7:
    return "T7 form: z range, frequency " + num(h.frequency_MHz, 12) +
           " MHz, r range, then Ez Er |E| H per node";
  }
  if (h.wide_counts)
    t += "; interval counts of 1000 or more";
  return t;
}

std::string unit_name(const TableHeader& h) {
  return h.unit == TableHeader::LengthUnit::Mm ? "mm" : "cm";
}

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
  why = std::string("both end planes look like mirror planes (") +
        parity(first.key) + " at the first, " + parity(last.key) +
        " at the last)";
  return 0;
}

int32_t half_reading(const EndPlane& first, const EndPlane& last,
                     double zmin_table, double zmax_table,
                     std::string& question) {
  question.clear();
  if (first.key == 0 || last.key == 0)
    return 0;
  // The mirror plane of a half table is the plane at z = 0 of the table:
  // its last node for a lower half that ends there, else its first node.
  const bool lower = zmax_table == 0.0 && zmin_table < 0.0;
  const int32_t key = lower ? -last.key : first.key;
  const std::string plane = lower ? "last" : "first";
  const std::string at = (lower || zmin_table == 0.0)
                             ? "z = 0, the table's " + plane + " node"
                             : "the table's " + plane + " node";
  question = "is the plane at " + at +
             ", a wall of the cavity (0) or its "
             "middle plane, with the other half its mirror image (" +
             std::to_string(key) +
             ")?  The field cannot tell, the ratio and the frequency being "
             "the same either way: the geometry of the solver's problem "
             "decides";
  return key;
}

namespace {

// The table as read, before the completion: grid, end planes and the key
// they suggest.  The planes are taken in the table's own order (the map's
// turned round when it was read with ReverseZ).
void describe_as_read(const RunState& st, TableReport& rep) {
  const RunState* s = &st;
  rep.nz_table = s->Nz;
  rep.nr = s->Nr;
  rep.zmin = s->Zmin;
  rep.zmax = s->Zmax;
  rep.rmin = s->Rmin;
  rep.rmax = s->Rmax;
  rep.dz = s->Nz > 1 ? (s->Zmax - s->Zmin) / (s->Nz - 1) : 0.0;
  rep.dr = s->Nr > 1 ? (s->Rmax - s->Rmin) / (s->Nr - 1) : 0.0;

  // End planes, measured against each component's peak over the table.
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
  const bool turned = s->ReverseZ != 0;
  rep.first = plane(turned ? s->Nz : 1);
  rep.last = plane(turned ? 1 : s->Nz);
  rep.suggested_isym = suggest_isym(rep.first, rep.last, rep.suggestion);
  rep.half_isym = half_reading(rep.first, rep.last, rep.header.Zmin,
                               rep.header.Zmax, rep.symmetry_question);
}

// The map completed with s.isym_z, analysed: field level, axis, the
// Maxwell check's statistics and the implied frequency, the transit-time
// factor.  The check runs at `fcheck`.
void analyse_completed(RunState& st, TableReport& rep, bool frequency_given,
                       bool t7_frequency, double fcheck) {
  RunState* s = &st;
  COMPLETE_SYMMETRY(*s);
  rep.nz_full = s->Nz;
  rep.zmin_full = s->Zmin;
  rep.zmax_full = s->Zmax;
  for (int32_t j = 1; j <= s->Nz; ++j)
    rep.zgrid.push_back(s->Zgrid(j));
  for (int32_t i = 1; i <= s->Nr; ++i)
    rep.rgrid.push_back(s->Rgrid(i));
  // Field level, before the check may switch a sign (V/cm to MV/m).
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
    for (int32_t j = 1; j <= s->Nz; ++j)
      rep.absB.push_back(std::fabs(s->B2D(i, j)));
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

  // The Maxwell check's statistics and decision, exactly as the program
  // takes them.
  MaxwellStats& m = rep.maxwell;
  m.frequency_given = frequency_given;
  m.frequency = fcheck;
  m.check = maxwell_statistics(*s);
  implied_frequency(m);
  if (m.implied_ok && m.frequency_given) {
    m.mismatch_percent =
        100.0 * (fcheck - m.implied_frequency) / m.implied_frequency;
    m.mismatch = std::abs(m.mismatch_percent) > 1.0;
  }

  // Transit-time factor at the given frequency, else at the implied one.
  if (m.frequency_given) {
    rep.tt_frequency = fcheck;
    rep.tt_frequency_source = t7_frequency ? "T7 file" : "given";
  } else if (m.implied_ok) {
    rep.tt_frequency = m.implied_frequency;
    rep.tt_frequency_source = "implied";
  }
  if (rep.axis_in_map && rep.tt_frequency > 0.0 && rep.zgrid.size() >= 2) {
    std::vector<double> zm;
    for (double z : rep.zgrid)
      zm.push_back(z / 100.0);
    const double omega = 2.0 * s->pi * rep.tt_frequency;
    std::vector<double> betas;
    for (int n = 1; n <= 20; ++n)
      betas.push_back(n / 20.0);
    rep.axis_voltage = axis_voltage(zm, rep.axis_ez);
    rep.gains = gain_table(zm, rep.axis_ez, omega, s->c, betas);
    rep.best = best_gain(zm, rep.axis_ez, omega, s->c, rep.gains);
  }
}

}  // namespace

TableReport inspect_table(const std::filesystem::path& file,
                          const TableOptions& opt) {
  TableReport rep;
  rep.file = platform::shown_path(file);
  double fcheck = opt.frequency.value_or(kReferenceFrequency);

  // The table as read, with the key asked for (or none yet).  A T7
  // table states its frequency: the check runs at it unless one is given.
  int32_t key = opt.isym.value_or(0);
  auto s = read_table(file, key, fcheck, rep.header);
  const bool t7_frequency = !opt.frequency &&
                            rep.header.variant == TableHeader::Variant::T7 &&
                            rep.header.frequency_MHz > 0.0;
  if (t7_frequency) {
    fcheck = rep.header.frequency_MHz * 1.0e6;
    s->Frequency = fcheck;
    s->omeg = (s->pi * 2.0) * s->Frequency;
  }
  describe_as_read(*s, rep);

  // The map the program would use: completed with the key given, or
  // with the suggested one (read again, sized for the completion).
  rep.isym_given = opt.isym.has_value();
  rep.isym = rep.isym_given ? *opt.isym : rep.suggested_isym;
  if (rep.isym != key)
    s = read_table(file, rep.isym, fcheck, rep.header);
  analyse_completed(*s, rep, opt.frequency.has_value() || t7_frequency,
                    t7_frequency, fcheck);
  return rep;
}

TableReport inspect_read_table(RunState& s, const TableHeader& header,
                               const std::string& file,
                               std::optional<double> frequency) {
  TableReport rep;
  rep.file = file;
  rep.header = header;
  // The check of the report runs at its own frequency; the run state keeps
  // the run's.
  const double run_frequency = s.Frequency;
  const double run_omeg = s.omeg;
  double fcheck = frequency.value_or(kReferenceFrequency);
  const bool t7_frequency = !frequency &&
                            header.variant == TableHeader::Variant::T7 &&
                            header.frequency_MHz > 0.0;
  if (t7_frequency)
    fcheck = header.frequency_MHz * 1.0e6;
  s.Frequency = fcheck;
  s.omeg = (s.pi * 2.0) * s.Frequency;
  describe_as_read(s, rep);
  rep.isym_given = true;
  rep.isym = s.isym_z;
  analyse_completed(s, rep, frequency.has_value() || t7_frequency, t7_frequency,
                    fcheck);
  s.Frequency = run_frequency;
  s.omeg = run_omeg;
  return rep;
}

}  // namespace zereduv::inspect
