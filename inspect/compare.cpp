#include "compare.h"

#include <algorithm>
#include <cmath>

#include "numfmt.h"

namespace zereduv::inspect {

namespace {

/// Two coordinates are the same grid line when they agree to well within
/// the 15 digits the text layouts carry, relative to the axis's extent.
template <std::size_t N>
void check_axis(const std::array<double, N>& a, const std::array<double, N>& b,
                const char* axis) {
  const double span =
      std::max(std::abs(a.back() - a.front()), std::abs(a.back()));
  const double tol = 1e-12 * (span > 0 ? span : 1.0);
  for (std::size_t k = 0; k < N; ++k)
    if (!(std::abs(a[k] - b[k]) <= tol))
      throw GridMismatch{std::string("the ") + axis +
                         " coordinates differ: point " + std::to_string(k + 1) +
                         " is " + num(a[k], 15) + " cm in the first and " +
                         num(b[k], 15) + " cm in the second"};
}

}  // namespace

CompareReport compare_fields(const FieldFile& a, const FieldFile& b,
                             double tolerance) {
  check_axis(a.X, b.X, "x");
  check_axis(a.Y, b.Y, "y");
  check_axis(a.Z, b.Z, "z");
  CompareReport r;
  r.tolerance = tolerance;
  for (std::size_t c = 0; c < 6; ++c) {
    ComponentDiff& d = r.comp[c];
    double sq = 0;
    for (int iz = 1; iz <= kNzOut; ++iz)
      for (int iy = 1; iy <= kNy; ++iy)
        for (int ix = 1; ix <= kNx; ++ix) {
          const std::size_t at = FieldFile::index(ix, iy, iz);
          const double va = a.comp[c][at], vb = b.comp[c][at];
          d.peak = std::max(d.peak, std::abs(va));
          const double diff = std::abs(vb - va);
          sq += diff * diff;
          if (diff > d.max_abs ||
              (std::isnan(diff) && !std::isnan(d.max_abs))) {
            d.max_abs = diff;
            d.ix = ix;
            d.iy = iy;
            d.iz = iz;
            d.a = va;
            d.b = vb;
          }
        }
    d.x = a.X[static_cast<std::size_t>(d.ix - 1)];
    d.y = a.Y[static_cast<std::size_t>(d.iy - 1)];
    d.z = a.Z[static_cast<std::size_t>(d.iz - 1)];
    d.rms = std::sqrt(sq / static_cast<double>(kOutPoints));
    // A component that is zero in the reference is measured against the
    // other map's peak, so that any field there counts as all of it.
    double ref = d.peak;
    if (ref == 0)
      for (double v : b.comp[c])
        ref = std::max(ref, std::abs(v));
    d.max_rel = d.max_abs == 0 ? 0.0 : ref > 0 ? d.max_abs / ref : d.max_abs;
    if (!(d.max_rel <= r.worst_rel)) {
      r.worst_rel = d.max_rel;
      r.worst = static_cast<int>(c);
    }
  }
  r.within = r.worst_rel <= tolerance;
  return r;
}

std::string compare_text(const CompareReport& r) {
  std::string o;
  o += "First (reference):  " + r.file_a + " (" + r.kind_a + ")\n";
  o += "Second:             " + r.file_b + " (" + r.kind_b + ")\n";
  o += "Largest difference of each component, relative to its peak in the "
       "first,\nwith where it is (x, y, z in cm) and the rms of the "
       "difference over the grid:\n";
  o += "  comp  unit         peak     max |diff|   rel [%]      rms     "
       "at (x, y, z)\n";
  auto pad = [](std::string s, std::size_t w) {
    if (s.size() < w)
      s.insert(0, w - s.size(), ' ');
    return s;
  };
  for (std::size_t c = 0; c < 6; ++c) {
    const ComponentDiff& d = r.comp[c];
    o += "  " + std::string(kComponentNames[c]) + "    " +
         std::string(kComponentUnits[c]) +
         std::string(6 - std::string(kComponentUnits[c]).size(), ' ') +
         pad(num(d.peak, 6), 13) + pad(num(d.max_abs, 6), 14) +
         pad(num_fixed(100.0 * d.max_rel, 4), 10) + pad(num(d.rms, 4), 11) +
         (d.max_abs == 0 ? std::string("   -")
                         : "   (" + num(d.x, 6) + ", " + num(d.y, 6) + ", " +
                               num(d.z, 6) + ")") +
         "\n";
  }
  o += "Largest relative difference: " + num_fixed(100.0 * r.worst_rel, 4) +
       " % of the peak " + kComponentNames[static_cast<std::size_t>(r.worst)] +
       "; tolerance " + num(100.0 * r.tolerance, 6) +
       " %: " + (r.within ? "within" : "beyond") + "\n";
  return o;
}

#ifdef ZEREDUV_HAVE_JSON
nlohmann::ordered_json compare_json(const CompareReport& r) {
  nlohmann::ordered_json j;
  j["first"] = {{"file", r.file_a}, {"kind", r.kind_a}};
  j["second"] = {{"file", r.file_b}, {"kind", r.kind_b}};
  nlohmann::ordered_json comps = nlohmann::ordered_json::array();
  for (std::size_t c = 0; c < 6; ++c) {
    const ComponentDiff& d = r.comp[c];
    comps.push_back({{"component", kComponentNames[c]},
                     {"unit", kComponentUnits[c]},
                     {"peak", d.peak},
                     {"max_abs_difference", d.max_abs},
                     {"max_relative_difference", d.max_rel},
                     {"rms_difference", d.rms},
                     {"at_index", {d.ix, d.iy, d.iz}},
                     {"at_cm", {d.x, d.y, d.z}},
                     {"first_value", d.a},
                     {"second_value", d.b}});
  }
  j["components"] = comps;
  j["largest_relative_difference"] = r.worst_rel;
  j["largest_in"] = kComponentNames[static_cast<std::size_t>(r.worst)];
  j["tolerance"] = r.tolerance;
  j["within_tolerance"] = r.within;
  return j;
}
#endif

}  // namespace zereduv::inspect
