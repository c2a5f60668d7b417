// Start of the run: the log, the control file "zereduv.dat", the physical
// constants and their log block.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "run/run_state.h"

namespace zereduv {

/// Opens (creates or truncates) the log "zereduv.log" on unit 8.
void OPEN_LOG(RunState& s);

/// Reads the twelve records of "zereduv.dat" (unit 1) into the control
/// parameters: records 1-2 skipped, 3 the field-table name (80 characters),
/// 4-12 free-format values.  The file is closed when they are read.
void READ_CONTROL(RunState& s);

/// The same reading from the control file `name` in the working directory
/// (a pre-flight look at a control file of another name).  Returns the
/// warnings about values the user plainly did not mean, one line each: a
/// decimal comma in Frequency, ElementLength, Aperture or FieldScale (the
/// value read stands), a FieldScale of 0, a Frequency below 1 MHz.
/// READ_CONTROL writes them to standard error.
std::vector<std::string> read_control_file(RunState& s, std::string_view name);

/// Writes one warning line to standard error; a standard error that cannot
/// take it does not end the run.
void write_warning(RunState& s, std::string_view line);

/// The constant block's labels and units in the log, each label followed
/// by its value and the value by its unit.
inline constexpr std::string_view kMu0Label = " mu0 = ";
inline constexpr std::string_view kMu0Unit = " T*m/A ";
inline constexpr std::string_view kMu1Label = " mu1 = ";
inline constexpr std::string_view kMu1Unit = " Gs*m/A ";
inline constexpr std::string_view kEps0Label = " eps0= ";
inline constexpr std::string_view kEps0Unit = " F/m ";
inline constexpr std::string_view kOmegLabel = " omeg= ";
inline constexpr std::string_view kOmegUnit = " Hz ";

/// The physical constants of a run.  Only omeg depends on the input.
struct Constants {
  double pi = 0.0;    // [-]
  double c = 0.0;     // speed of light [m/s]
  double mu0 = 0.0;   // [T*m/A]
  double mu1 = 0.0;   // [Gs*m/A]
  double eps0 = 0.0;  // [F/m]
  double omeg = 0.0;  // [rad/s]
};

/// pi and c, then mu0, mu1, eps0 and omeg from them, each product taken
/// left to right in double precision.
Constants physical_constants(double Frequency);

/// Stores the constants in the run state.
void set_constants(RunState& s, const Constants& k);

/// Writes the constant block (four lines and the separator) to the log.
void log_constants(TextOut& log, const Constants& k);

/// Derives the constants from Frequency, stores them and writes their
/// block to the log.
void DERIVE_CONSTANTS(RunState& s);

}  // namespace zereduv
