#include "table_map.h"

#include "field/maxwell_check.h"
#include "input/field_table.h"
#include "input/symmetry.h"
#include "output/resample.h"
#include "run/control.h"
#include "run/errors.h"
#include "run/system/platform.h"

namespace zereduv::inspect {

TableMap table_map(const std::filesystem::path& file, const TableOptions& opt,
                   int32_t reverse_z) {
  // The table's own report decides the key and the frequency a run with
  // it would most likely use.
  const TableReport rep = inspect_table(file, opt);
  TableMap m;
  m.isym = rep.isym;
  m.frequency = rep.tt_frequency;
  m.frequency_source = rep.tt_frequency_source;
  m.s = std::make_unique<RunState>();
  RunState& s = *m.s;
  const std::filesystem::path dir = file.parent_path();
  s.WorkDir = dir.empty() ? std::filesystem::path(".") : dir;
  const std::string name = file.filename().string();
  s.FieldFileName = name + std::string(80 - name.size(), ' ');
  s.isym_z = m.isym;
  s.Frequency = m.frequency > 0.0 ? m.frequency : kReferenceFrequency;
  s.ReverseZ = reverse_z;
  s.FieldScale = 1.0;
  DERIVE_CONSTANTS(s);
  read_field_table(s, platform::shown_path(file));
  COMPLETE_SYMMETRY(s);
  // The check switches the sign of E or B as the run does; a map the run
  // would stop on is still shown as it stands.
  try {
    CHECK_MAXWELL(s);
  } catch (const RunStop&) {
  }
  return m;
}

FieldFile resample_on_grid(TableMap& m, const FieldFile& grid) {
  RunState& s = *m.s;
  for (int32_t i = 1; i <= kNx; ++i)
    s.XOut(i) = grid.X[static_cast<std::size_t>(i - 1)];
  for (int32_t i = 1; i <= kNy; ++i)
    s.YOut(i) = grid.Y[static_cast<std::size_t>(i - 1)];
  for (int32_t i = 1; i <= kNzOut; ++i)
    s.ZOut(i) = grid.Z[static_cast<std::size_t>(i - 1)];
  RESAMPLE(s);
  FieldFile f;
  f.layout = -1;
  f.X = grid.X;
  f.Y = grid.Y;
  f.Z = grid.Z;
  f.SymX = grid.SymX;
  f.SymY = grid.SymY;
  f.SymZ = grid.SymZ;
  const Field3D* arrays[6] = {&s.Ex3D, &s.Ey3D, &s.Ez3D,
                              &s.Bx3D, &s.By3D, &s.Bz3D};
  for (std::size_t a = 0; a < 6; ++a) {
    f.comp[a].resize(kOutPoints);
    for (int32_t iz = 1; iz <= kNzOut; ++iz)
      for (int32_t iy = 1; iy <= kNy; ++iy)
        for (int32_t ix = 1; ix <= kNx; ++ix)
          f.comp[a][FieldFile::index(ix, iy, iz)] = (*arrays[a])(ix, iy, iz);
  }
  return f;
}

}  // namespace zereduv::inspect
