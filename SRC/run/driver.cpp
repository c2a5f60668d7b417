#include "run/driver.h"

#include <cmath>
#include <cstddef>
#include <string>
#include <utility>

#include "field/maxwell_check.h"
#include "input/field_table.h"
#include "input/symmetry.h"
#include "output/field_file.h"
#include "output/output_grid.h"
#include "output/resample.h"
#include "output/summary.h"
#include "run/control.h"
#include "run/errors.h"
#include "run/system/field_sink.h"
#include "run/system/platform.h"
#include "run/system/process.h"

namespace zereduv {

namespace {

// True when every one of the n values is finite.  No early exit: the loop
// stays a straight pass over the array.
bool all_finite(const double* v, std::size_t n) {
  bool ok = true;
  for (std::size_t k = 0; k < n; ++k)
    ok &= std::isfinite(v[k]);
  return ok;
}

// The field file and the log may not be one of the files the run reads,
// however they are named (a link, "..", a hard link): replacing the field
// file would lose the table being read, and the log, opened first, would
// already have cut it.
void check_outputs_apart(const RunState& s) {
  const std::string table(trimmed(s.FieldFileName));
  const std::string out = field_file_name(s);
  if (platform::same_file(s.path(table), s.path(s.log.name()))) {
    throw IoError(2, table, "cannot open file",
                  "it is the log \"" + s.log.name() +
                      "\" this run writes; name the field table in record 3 "
                      "of \"zereduv.dat\"");
  }
  const std::pair<std::string, std::string> inputs[] = {
      {table, "the field table \"" + table + "\""},
      {"zereduv.dat", "the control file \"zereduv.dat\""}};
  for (const auto& [name, what] : inputs) {
    if (platform::same_file(s.path(out), s.path(name))) {
      throw IoError(7, out, "cannot create file",
                    "it is " + what +
                        " this run reads; choose another FileNumber in "
                        "\"zereduv.dat\"");
    }
  }
}

}  // namespace

void check_finite_fields(const RunState& s) {
  const double scalars[] = {s.ElementLength, s.Aperture, s.XminOut, s.XmaxOut,
                            s.YminOut,       s.YmaxOut,  s.ZminOut, s.ZmaxOut,
                            s.DxOut,         s.DyOut,    s.DzOut};
  bool ok = all_finite(scalars, std::size(scalars)) &&
            all_finite(s.XOut.v.data(), s.XOut.v.size()) &&
            all_finite(s.YOut.v.data(), s.YOut.v.size()) &&
            all_finite(s.ZOut.v.data(), s.ZOut.v.size());
  for (const Field3D* f :
       {&s.Ex3D, &s.Ey3D, &s.Ez3D, &s.Bx3D, &s.By3D, &s.Bz3D}) {
    ok = ok && all_finite(f->data(), kOutPoints);
  }
  if (!ok) {
    stop_run(
        "zereduv: the field file would hold values that are not finite numbers "
        "(Infinity or NaN); check FieldScale, Aperture and ElementLength in "
        "\"zereduv.dat\"");
  }
}

void run_phases(RunState& s) {
  // An interruption ends the run between two phases, or inside the field
  // file's writing; once the field file is in place the run finishes.
  OPEN_LOG(s);
  check_interrupted();
  READ_CONTROL(s);
  check_outputs_apart(s);
  DERIVE_CONSTANTS(s);
  check_interrupted();
  try {
    READ_FIELD_TABLE(s);
  } catch (const IoError& e) {
    if (e.unit != 2 || e.kind != "file not found")
      throw;
    // Say where the table was looked for.
    throw IoError(e.unit, e.file, e.kind,
                  e.detail +
                      " (looked for in the working directory, beside "
                      "zereduv.dat)",
                  e.line);
  }
  check_interrupted();
  COMPLETE_SYMMETRY(s);
  CHECK_MAXWELL(s);
  // Taken from the map as checked, before FieldScale; said only once the
  // field file's values are known to be finite.
  const ZMirror mirror = z_mirror(s);
  check_interrupted();
  SCALE_AND_GRID(s);
  RESAMPLE(s);
  check_interrupted();
  check_finite_fields(s);
  for (const std::string& line : grid_warnings(s, mirror))
    write_warning(s, line);
  WRITE_FIELD_FILE(s);
  WRITE_SUMMARY(s);
}

}  // namespace zereduv
