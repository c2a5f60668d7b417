#include "onaxis.h"

#include <cmath>

#include "transit.h"

#include "numfmt.h"

namespace zereduv::inspect {

std::string onaxis_text(const std::vector<double>& z_m,
                        const std::vector<double>& ez_V_per_m,
                        double frequency_hz, const std::string& frequency_note,
                        const std::string& source) {
  std::string o = "# on-axis Ez: z [m], Ez [V/m]; frequency ";
  o +=
      frequency_hz > 0 ? num(frequency_hz, 12) + " Hz" : std::string("unknown");
  if (!frequency_note.empty())
    o += " (" + frequency_note + ")";
  o += "; source " + source + "\n";
  for (std::size_t k = 0; k < z_m.size() && k < ez_V_per_m.size(); ++k)
    o += num(z_m[k], 12) + " " + num(ez_V_per_m[k], 12) + "\n";
  return o;
}

std::string table_onaxis(const TableReport& r) {
  std::vector<double> z, ez;
  if (r.axis_in_map) {
    for (std::size_t j = 0; j < r.zgrid.size() && j < r.axis_ez.size(); ++j) {
      z.push_back(r.zgrid[j] / 100.0);
      ez.push_back(r.axis_ez[j] * 1.0e6);
    }
  }
  return onaxis_text(z, ez, r.tt_frequency, r.tt_frequency_source,
                     "field table " + r.file + ", isym_z " +
                         std::to_string(r.isym) + ", z centred on the map");
}

std::string field_onaxis(const FieldReport& r) {
  std::vector<double> z, ez;
  for (std::size_t k = 0; k < r.axis_ez.size(); ++k) {
    z.push_back(r.f.Z[k] / 100.0);
    ez.push_back(r.axis_ez[k] * 100.0);
  }
  return onaxis_text(z, ez, r.frequency, r.frequency > 0 ? "given" : "",
                     "field file " + r.file + ", line x = " + num(r.axis_x) +
                         " cm, y = " + num(r.axis_y) + " cm");
}

}  // namespace zereduv::inspect

namespace zereduv::inspect {

void field_crest(FieldReport& r, double frequency) {
  constexpr double kC = 299792458.0, kPi = 3.141592653589793;
  std::vector<double> z, ez;
  for (std::size_t k = 0; k < r.axis_ez.size(); ++k) {
    z.push_back(r.f.Z[k] / 100.0);
    ez.push_back(r.axis_ez[k] / 1.0e4);  // MV/m
  }
  r.frequency = frequency;
  const double omega = 2.0 * kPi * frequency;
  r.best = best_gain(z, ez, omega, kC);
  r.crest_deg =
      -stable_arg(axis_phasor(z, ez, omega, r.best.beta, kC)) * 180.0 / kPi;
  if (r.crest_deg <= -180.0)
    r.crest_deg += 360.0;
}

}  // namespace zereduv::inspect
