#include <cmath>
#include <vector>

#include "numfmt.h"
#include "report.h"
#include "svg.h"

namespace zereduv::inspect {

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
  ColourMap m;
  m.title = "|E| over (z, r)";
  m.xlabel = "z [cm]";
  m.ylabel = "r [cm]";
  m.unit = "|E| [MV/m]";
  m.xc = r.zgrid;
  m.yc = r.rgrid;
  m.v = r.absE;
  ColourMap b = m;
  b.title = "|B_phi| over (z, r)";
  b.unit = "|B_phi| [Gauss]";
  b.v = r.absB;
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
  p.ylabel = "Ez [V/cm]";
  p.x.assign(f.Z.begin(), f.Z.end());
  p.y.assign(r.axis_ez.begin(), r.axis_ez.end());
  ColourMap m;
  m.title = "|E| in the plane y = " +
            num(f.Y[static_cast<std::size_t>(r.plane_iy - 1)]) + " cm";
  m.xlabel = "z [cm]";
  m.ylabel = "x [cm]";
  m.unit = "|E| [V/cm]";
  m.xc.assign(f.Z.begin(), f.Z.end());
  m.yc.assign(f.X.begin(), f.X.end());
  ColourMap b = m;
  b.title = "|B| in the plane y = " +
            num(f.Y[static_cast<std::size_t>(r.plane_iy - 1)]) + " cm";
  b.unit = "|B| [Gauss]";
  for (int ix = 1; ix <= kNx; ++ix)
    for (int iz = 1; iz <= kNzOut; ++iz) {
      std::size_t at = FieldFile::index(ix, r.plane_iy, iz);
      double ex = f.comp[0][at], ey = f.comp[1][at], ez = f.comp[2][at];
      double bx = f.comp[3][at], by = f.comp[4][at], bz = f.comp[5][at];
      m.v.push_back(std::sqrt(ex * ex + ey * ey + ez * ez));
      b.v.push_back(std::sqrt(bx * bx + by * by + bz * bz));
    }
  std::string heading = "Field file " + short_name(r.file) + " (layout " +
                        std::to_string(f.layout) + ")";
  return svg_picture(heading, p, {m, b});
}

}  // namespace zereduv::inspect
