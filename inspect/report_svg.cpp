#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "numfmt.h"
#include "report.h"
#include "svg.h"

namespace zereduv::inspect {

namespace {

// One set of units in every picture: E in MV/m, B in mT.
constexpr double kMVmPerVcm = 1e-4;
constexpr double kMilliTeslaPerGauss = 0.1;

constexpr const char* kNoFieldTable = "no field (metal, or outside the map)";
constexpr const char* kNoFieldFile =
    "no field (all six components 0: outside the map)";

/// The |E| picture over (z, r) of a map, before its axes and values.
ColourMap map_picture() {
  ColourMap m;
  m.title = "|E| over (z, r)";
  m.xlabel = "z [cm]";
  m.ylabel = "r [cm]";
  m.unit = "|E| [MV/m]";
  m.none_label = kNoFieldTable;
  return m;
}

/// |E| and |B_phi| over (z, r) of a map in the run's units (V/cm, Gauss),
/// with its nodes without field marked.
std::vector<ColourMap> map_pictures(const RunState& s) {
  ColourMap m = map_picture();
  for (int32_t j = 1; j <= s.Nz; ++j)
    m.xc.push_back(s.Zgrid(j));
  for (int32_t i = 1; i <= s.Nr; ++i)
    m.yc.push_back(s.Rgrid(i));
  ColourMap b = m;
  b.title = "|B_phi| over (z, r)";
  b.unit = "|B_phi| [mT]";
  for (int32_t i = 1; i <= s.Nr; ++i)
    for (int32_t j = 1; j <= s.Nz; ++j) {
      const double er = s.Er2D(i, j), ez = s.Ez2D(i, j), bp = s.B2D(i, j);
      m.v.push_back(std::sqrt(er * er + ez * ez) * kMVmPerVcm);
      b.v.push_back(std::abs(bp) * kMilliTeslaPerGauss);
      const unsigned char none = er == 0 && ez == 0 && bp == 0;
      m.none.push_back(none);
      b.none.push_back(none);
    }
  return {m, b};
}

}  // namespace

std::string table_svg(const TableReport& r) {
  LinePlot p;
  p.title =
      r.axis_in_map ? "Ez on the axis" : "Ez on the axis (axis not in the map)";
  p.xlabel = "z [cm]";
  p.ylabel = "Ez [MV/m]";
  if (r.axis_in_map) {
    p.x = r.zgrid;
    p.y = r.axis_ez;
  }
  ColourMap m = map_picture();
  m.xc = r.zgrid;
  m.yc = r.rgrid;
  m.v = r.absE;
  ColourMap b = m;
  b.title = "|B_phi| over (z, r)";
  b.unit = "|B_phi| [mT]";
  b.v = r.absB;
  for (double& v : b.v)
    v *= kMilliTeslaPerGauss;
  // A node with neither E nor B is metal, or zero-filled outside the
  // solver's region.
  for (std::size_t k = 0; k < r.absE.size() && k < r.absB.size(); ++k) {
    const unsigned char none = r.absE[k] == 0 && r.absB[k] == 0;
    m.none.push_back(none);
    b.none.push_back(none);
  }
  std::string heading = "Field table " + short_name(r.file) +
                        " (isym_z = " + std::to_string(r.isym) + ")";
  return svg_picture(heading, p, {m, b});
}

std::string field_svg(const FieldReport& r) {
  const FieldFile& f = r.f;
  LinePlot p;
  p.title = "Ez on the axis line x = " + num(r.axis_x) +
            " cm, y = " + num(r.axis_y) + " cm";
  p.xlabel = "z [cm]";
  p.ylabel = "Ez [MV/m]";
  p.x.assign(f.Z.begin(), f.Z.end());
  for (double ez : r.axis_ez)
    p.y.push_back(ez * kMVmPerVcm);
  ColourMap m;
  m.title = "|E| in the plane y = " +
            num(f.Y[static_cast<std::size_t>(r.plane_iy - 1)]) + " cm";
  m.xlabel = "z [cm]";
  m.ylabel = "x [cm]";
  m.unit = "|E| [MV/m]";
  m.none_label = kNoFieldFile;
  m.xc.assign(f.Z.begin(), f.Z.end());
  m.yc.assign(f.X.begin(), f.X.end());
  ColourMap b = m;
  b.title = "|B| in the plane y = " +
            num(f.Y[static_cast<std::size_t>(r.plane_iy - 1)]) + " cm";
  b.unit = "|B| [mT]";
  for (int ix = 1; ix <= kNx; ++ix)
    for (int iz = 1; iz <= kNzOut; ++iz) {
      std::size_t at = FieldFile::index(ix, r.plane_iy, iz);
      double ex = f.comp[0][at], ey = f.comp[1][at], ez = f.comp[2][at];
      double bx = f.comp[3][at], by = f.comp[4][at], bz = f.comp[5][at];
      m.v.push_back(std::sqrt(ex * ex + ey * ey + ez * ez) * kMVmPerVcm);
      b.v.push_back(std::sqrt(bx * bx + by * by + bz * bz) *
                    kMilliTeslaPerGauss);
      const unsigned char none =
          ex == 0 && ey == 0 && ez == 0 && bx == 0 && by == 0 && bz == 0;
      m.none.push_back(none);
      b.none.push_back(none);
    }
  std::string heading = "Field file " + short_name(r.file) + " (layout " +
                        std::to_string(f.layout) + ")";
  return svg_picture(heading, p, {m, b});
}

std::string control_svg(const ControlReport& r, const TableMap& tm) {
  LinePlot p;
  p.title = r.axis_in_map ? "Ez on the axis after FieldScale"
                          : "Ez on the axis (axis not in the map)";
  p.xlabel = "z [cm]";
  p.ylabel = "Ez [MV/m]";
  if (r.axis_in_map) {
    p.x = r.axis_z;
    p.y = r.axis_ez;
  }
  std::vector<ColourMap> maps = map_pictures(*tm.s);
  // The map as the run resamples it: after FieldScale, as the axis line.
  for (ColourMap& m : maps) {
    for (double& v : m.v)
      v *= std::abs(r.FieldScale);
    m.title += " after FieldScale";
  }
  // The output grid in the (z, r) plane y = 0: its z planes (every tenth
  // drawn) and the radii |x| of its x lines, inside the box
  // z = ZminOut..ZmaxOut, r = 0..Aperture.
  GridOverlay g;
  g.xlo = r.zmin_out;
  g.xhi = r.zmax_out;
  g.ylo = 0.0;  // x starts at -Aperture or, with SymX, at 0
  g.yhi = std::max(std::abs(r.xmin), std::abs(r.xmax));
  for (int k = 10; k < kNzOut - 1; k += 10)
    g.xlines.push_back(r.zmin_out +
                       (r.zmax_out - r.zmin_out) * k / (kNzOut - 1));
  std::set<double> radii;
  for (int ix = 1; ix <= kNx; ++ix)
    radii.insert(std::abs(r.xmin + (r.xmax - r.xmin) * (ix - 1) / (kNx - 1)));
  g.ylines.assign(radii.begin(), radii.end());
  g.label = "output grid (every x line, every 10th z plane)";
  for (ColourMap& m : maps)
    m.overlay.push_back(g);
  std::string heading = "Control file " + short_name(r.file, 40) + ": table " +
                        short_name(r.table, 32) +
                        " (isym_z = " + std::to_string(r.isym_z) +
                        ") and the output grid";
  return svg_picture(heading, p, maps);
}

}  // namespace zereduv::inspect
