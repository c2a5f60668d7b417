#include <cmath>
#include <string>

#include "control_inspect.h"
#include "numfmt.h"
#include "report.h"

namespace zereduv::inspect {

namespace {

std::string pad(std::string s, std::size_t w) {
  if (s.size() < w)
    s.append(w - s.size(), ' ');
  return s;
}
std::string rpad(std::string s, std::size_t w) {
  if (s.size() < w)
    s.insert(0, w - s.size(), ' ');
  return s;
}

std::string line(std::string_view label, const std::string& value) {
  return pad(std::string(label), 20) + value + "\n";
}

std::string mhz(double hz) {
  return num(hz / 1e6, 9) + " MHz";
}

std::string plane_text(const EndPlane& p) {
  return p.kind + "  (largest |Ez|, |Er|, |H| on the plane: " + num(p.ez, 3) +
         ", " + num(p.er, 3) + ", " + num(p.h, 3) + " of their peaks)";
}

}  // namespace

std::string table_text(const TableReport& r) {
  const TableHeader& h = r.header;
  std::string o;
  o += "Field table \"" + r.file + "\"\n";
  o += line("Header", variant_text(h));
  std::string unit = unit_name(h);
  if (h.unit == TableHeader::LengthUnit::Mm)
    unit += " (units record \"(mm)\"; lengths converted to cm)";
  else if (!h.unit_stated)
    unit += " (no units record: taken as cm)";
  o += line("Length unit", unit);
  if (!h.columns.empty()) {
    std::string c;
    for (const auto& w : h.columns)
      c += (c.empty() ? "" : " ") + w;
    o += line("Columns", c);
  }
  o += line("Grid", std::to_string(r.nz_table) + " z x " +
                        std::to_string(r.nr) + " r nodes");
  o += line("  z", num(h.Zmin) + " .. " + num(h.Zmax) + " " + unit_name(h) +
                       " in the table; " + num(r.zmin) + " .. " + num(r.zmax) +
                       " cm centred; dz = " + num(r.dz) + " cm");
  o += line("  r", num(r.rmin) + " .. " + num(r.rmax) +
                       " cm; dr = " + num(r.dr) + " cm");
  o += line("First z plane", plane_text(r.first));
  o += line("Last z plane", plane_text(r.last));
  if (r.half_isym != 0) {
    const std::string half = std::to_string(r.half_isym);
    o += line("Suggested isym_z",
              "0 or " + half + "  (" + r.suggestion +
                  ": 0 if the table is a whole cavity bounded by walls "
                  "there, " +
                  half + " if it is one half of the cavity)");
    o += line("  which one", r.symmetry_question +
                                 (r.isym_given ? ""
                                               : "; the map below is "
                                                 "analysed with 0, give "
                                                 "--isym " +
                                                     half + " for the half"));
  } else {
    o += line("Suggested isym_z",
              std::to_string(r.suggested_isym) + "  (" + r.suggestion + ")");
  }
  o += line("Map analysed", "isym_z = " + std::to_string(r.isym) +
                                (r.isym_given ? " (given)" : " (suggested)") +
                                ": " + std::to_string(r.nz_full) +
                                " z nodes, " + num(r.zmin_full) + " .. " +
                                num(r.zmax_full) + " cm");
  o += line("Peak |E|", num(r.peak_E) + " MV/m at z = " + num(r.peak_E_z) +
                            " cm, r = " + num(r.peak_E_r) + " cm");
  if (r.axis_in_map) {
    o += line("Ez on the axis", "min " + num(r.ez_min) +
                                    " MV/m at z = " + num(r.ez_min_z) +
                                    " cm, max " + num(r.ez_max) +
                                    " MV/m at z = " + num(r.ez_max_z) + " cm");
  } else {
    o += line("Ez on the axis", "the axis r = 0 is not in the map (Rmin = " +
                                    num(r.rmin) + " cm)");
  }

  const MaxwellStats& m = r.maxwell;
  const MaxwellCheck& c = m.check;
  if (m.frequency_given) {
    o += "Maxwell check at " + mhz(m.frequency) + ", " +
         std::to_string(c.slices.size()) + " slices:\n";
    o += line("  mean ratio", num(c.avg, 15));
    o += line("  largest |ratio|", num(c.max, 15));
    o += line("  smallest |ratio|", num(c.min, 15));
    if (c.empty_left_out)
      o += line("  mean with field", num(c.avg_f, 15) + "  (over the " +
                                         std::to_string(c.with_field) +
                                         " slices with field: it decides)");
    if (c.stop)
      o += "  the program would stop: |mean ratio| > 2 (\"" +
           std::string(kMaxwellStop) + "\")\n";
    else if (c.warn_high)
      o += "  the program warns: |mean ratio| > 1.5\n";
    else if (c.warn_low)
      o += "  the program warns: |mean ratio| < 0.5\n";
    if (c.switched == MaxwellSwitch::E)
      o += "  E and B signs not compatible: the program switches the sign of "
           "E (Er, Ez)\n";
    else if (c.switched == MaxwellSwitch::B)
      o += "  E and B signs not compatible: the program switches the sign of "
           "B\n";
  }
  if (m.implied_ok) {
    o += line("Implied frequency",
              mhz(m.implied_frequency) + "  (least-squares ratio " +
                  num(m.fit_ratio, 8) + " over the " +
                  std::to_string(m.field_slices) + " slices with field)");
    if (m.median_frequency > 0.0)
      o += line("  from the median", mhz(m.median_frequency) +
                                         "  (median ratio " +
                                         num(m.median_ratio, 8) + " over the " +
                                         std::to_string(m.ratio_slices) +
                                         " slices with H on the check circle)");
    if (m.mismatch)
      o += std::string(r.tt_frequency_source == "T7 file"
                           ? "Warning: the T7 file's frequency, "
                           : "Warning: the frequency given, ") +
           mhz(m.frequency) +
           ", differs from the frequency the table implies by " +
           num(m.mismatch_percent, 3) + " %\n";
  } else {
    o += line("Implied frequency",
              "none (H is zero on the check circle in every slice)");
  }

  if (!r.gains.empty()) {
    o += "Transit-time factor on the axis at " + mhz(r.tt_frequency) + " (" +
         r.tt_frequency_source +
         "); integral |Ez| dz = " + num(r.axis_voltage) + " MV\n";
    o += "   beta       T(beta)   gain [MV]\n";
    for (const auto& g : r.gains)
      o += "  " + rpad(num_fixed(g.beta, 2), 5) + "  " +
           rpad(num_fixed(g.T, 6), 12) + "  " + rpad(num(g.gain, 6), 10) + "\n";
    o += line("Best gain", num(r.best.gain) +
                               " MV at beta = " + num_fixed(r.best.beta, 4) +
                               " (T = " + num_fixed(r.best.T, 6) + ")");
  }
  return o;
}

std::string field_text(const FieldReport& r) {
  const FieldFile& f = r.f;
  std::string o;
  o += "Field file \"" + r.file + "\"\n";
  o +=
      line("Layout", std::to_string(f.layout) + ", " + std::to_string(f.bytes) +
                         " bytes, structure complete");
  if (f.has_lengths)
    o += line("Element", "ElementLength " + num(f.ElementLength) +
                             " cm, Aperture " + num(f.Aperture) + " cm");
  o += line("Symmetry keys", "SymX " + std::to_string(f.SymX) + ", SymY " +
                                 std::to_string(f.SymY) + ", SymZ " +
                                 std::to_string(f.SymZ));
  auto axis = [&](const char* name, const double* c, int n) {
    double d = (c[n - 1] - c[0]) / (n - 1);
    o += line(std::string("  ") + name, num(c[0]) + " .. " + num(c[n - 1]) +
                                            " cm, " + std::to_string(n) +
                                            " points, step " + num(d) + " cm");
  };
  o += "Grid\n";
  axis("x", f.X.data(), 25);
  axis("y", f.Y.data(), 25);
  axis("z", f.Z.data(), 201);
  o += "Components            min                  max                  rms\n";
  for (std::size_t a = 0; a < 6; ++a) {
    const auto& s = r.stats[a];
    o += "  " +
         pad(std::string(kComponentNames[a]) + " [" + kComponentUnits[a] + "]",
             12) +
         rpad(num(s.min, 8), 21) + rpad(num(s.max, 8), 21) +
         rpad(num(s.rms, 8), 21) + "\n";
  }
  o += line("Zero points", std::to_string(r.zero_points) + " of " +
                               std::to_string(r.points) +
                               " grid points have all six components 0 "
                               "(outside the map, or no field)");
  o += line("Phase convention", kPhaseConvention);
  if (r.frequency > 0)
    o += line("Crest phase", num_fixed(r.crest_deg, 2) + " deg at " +
                                 num(r.frequency / 1e6, 10) +
                                 " MHz, beta = " + num_fixed(r.best.beta, 4) +
                                 " (V = " + num(r.best.gain, 8) +
                                 " MV, T = " + num(r.best.T, 6) +
                                 "): Ez cos(wt + phi) at its crest for phi = "
                                 "this, entering at z = " +
                                 num(r.f.Z[0]) + " cm at t = 0");
  else
    o += line("Crest phase", "give --frequency for the best beta and crest");
  o += "Ez on the axis line x = " + num(r.axis_x) + ", y = " + num(r.axis_y) +
       " cm (every 10th plane):\n";
  o += "      z [cm]      Ez [V/cm]\n";
  for (int iz = 1; iz <= 201; iz += 10)
    o += "  " + rpad(num(f.Z[static_cast<std::size_t>(iz - 1)], 6), 10) + "  " +
         rpad(num(r.axis_ez[static_cast<std::size_t>(iz - 1)], 8), 16) + "\n";
  return o;
}

std::string table_csv(const TableReport& r) {
  std::string o = "z_cm,Ez_MV_per_m\n";
  for (std::size_t j = 0; j < r.axis_ez.size() && j < r.zgrid.size(); ++j)
    o += num_exact(r.zgrid[j]) + "," + num_exact(r.axis_ez[j]) + "\n";
  return o;
}

std::string field_csv(const FieldReport& r) {
  std::string o = "z_cm,Ez_V_per_cm\n";
  for (std::size_t k = 0; k < 201; ++k)
    o += num_exact(r.f.Z[k]) + "," + num_exact(r.axis_ez[k]) + "\n";
  return o;
}

}  // namespace zereduv::inspect
