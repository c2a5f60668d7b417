// Check of the map against the Ampere-Maxwell law, with sign correction.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "run/run_state.h"

namespace zereduv {

/// One z slice of the check.
struct MaxwellSlice {
  int32_t iz = 0;
  double zz = 0.0;     // z of the slice [cm]
  double I_H = 0.0;    // 2 pi Rc H(Rc) [A]
  double I_E = 0.0;    // -eps0 omega times the flux of Ez through r < Rc [A]
  double ratio = 0.0;  // I_E / I_H (0 or +-1 where I_H = 0)
};

/// What the check does to the map after its statistics.
enum class MaxwellSwitch { None, E, B };

/// The check's statistics and its decision, as CHECK_MAXWELL logs and acts
/// on them.
struct MaxwellCheck {
  std::vector<MaxwellSlice> slices;  // iz = 1..Nz
  double sum = 0.0;                  // sum of the ratios, in slice order
  double avg = 0.0;                  // sum / Nz: avg_rRL1
  double max = 0.0;                  // largest |ratio|: max_rRL1
  double min = 9000000000.0;         // smallest |ratio|: min_rRL1
  // Slices with field (I_H or I_E not 0) and the mean of their ratios.
  int32_t with_field = 0;
  double avg_f = 0.0;  // 0 when every slice is empty
  // avg_f decides instead of avg: some but not all slices are empty, and
  // leaving them out moves the mean into another class of the decision.
  bool empty_left_out = false;
  double decided = 0.0;    // the mean the decision rests on
  bool stop = false;       // |decided| > 2 (or not a number): run ends
  bool warn_high = false;  // |decided| > 1.5
  bool warn_low = false;   // the run goes on with |decided| < 0.5
  MaxwellSwitch switched = MaxwellSwitch::None;  // decided < 0
  // The axial search for the first maximum of |Ez|, when a switch is made;
  // it starts at the first node where Ez on the axis is not 0.
  double mxEz = 0.0;  // |Ez| there [V/cm]
  double mxsg = 0.0;  // sign of Ez there (0 when Ez is 0)
};

/// The labels of the statistics records in the log, each followed by its
/// mean (or extreme) ratio: the mean over all slices, the largest and
/// smallest |ratio|, and the mean over the slices with field when that one
/// decides.
inline constexpr std::string_view kAvgRatioLabel = " avg_rRL1= ";
inline constexpr std::string_view kMaxRatioLabel = " max_rRL1= ";
inline constexpr std::string_view kMinRatioLabel = " min_rRL1= ";
inline constexpr std::string_view kAvgWithFieldLabel =
    " Empty slices left out: avg_rRL1= ";

/// The opening of a slice's record, before iz, zz, I_H, I_E and the ratio.
inline constexpr std::string_view kSliceLabel = "  iz, zz, I_H, I_E, ratio= ";

/// The texts of the check's other log records: its heading, the two
/// warnings (which go to standard error as well), the record of a sign
/// switch, the label of the axial maximum of Ez and its sign, and the
/// switch made.
inline constexpr std::string_view kMaxwellHeading =
    " Checking Maxwell Equations ... ";
inline constexpr std::string_view kMaxwellWarnHigh =
    " Warning: Maxwell Equations: Ratio > 1.5 ";
inline constexpr std::string_view kMaxwellWarnLow =
    " Warning: Maxwell Equations: Ratio < 0.5 ";
inline constexpr std::string_view kSignsNotCompatible =
    " Maxwell Equations: E and B Signs Not Compatible";
inline constexpr std::string_view kFirstMaxLabel =
    " 1st Max of Ez: mxEz, mxsg = ";
inline constexpr std::string_view kSwitchingE =
    " Maxwell Equations: -> Switching E-field sign";
inline constexpr std::string_view kSwitchingB =
    " Maxwell Equations: -> Switching B-field sign";

/// The text of the stop when the map fails the check.
inline constexpr std::string_view kMaxwellStop =
    " Maxwell Equations Not Verified: Ratio > 2 ";

/// The check's slices, statistics and decision for the map as it stands;
/// logs nothing and changes nothing.
MaxwellCheck maxwell_statistics(const RunState& s);

/// Compares, slice by slice in z, the line integral of H on the circle of
/// radius Rgrid(Nr/2) with the displacement current through it; logs every
/// slice and the ratio statistics; stops the run when |mean ratio| > 2, warns
/// above 1.5 and below 0.5 (in the log and on standard error), and for a
/// negative mean negates E (Er2D, Ez2D) or B2D so that Ez is positive at its
/// first maximum on the axis.  Slices without any field do not decide when
/// leaving them out changes the decision.
void CHECK_MAXWELL(RunState& s);

/// The 94-character log line of one z slice: the label, then iz (I5), zz
/// (F14.6), I_H and I_E (E14.6) with two blanks before each, and the ratio
/// (F14.6).
std::string maxwell_slice_line(int32_t iz, double zz, double I_H, double I_E,
                               double ratio);

}  // namespace zereduv
