// The number fields of list-directed output and the formatted edits: pure
// functions that fill a caller's buffer or return a string, no I/O.
//
//   integer  12 characters, right-justified, a minus sign and no plus sign;
//   double   24 characters: fixed-point with 15 significant digits in the
//            first 19 characters and 5 blanks, when the value rounded to 15
//            digits lies in [0.1, 1e15); otherwise (and for any zero) the
//            exponent form d.dddddddddddddddE+ddd (16 digits) right-justified.
//            Digits are correctly rounded, ties to even on the exact binary
//            value; a zero of either sign prints as 0.000000000000000E+000.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zereduv {

inline constexpr int kIntWidth = 12;
inline constexpr int kDoubleWidth = 24;

/// The field of both zeros.
inline constexpr std::string_view kZero24 = "  0.000000000000000E+000";
static_assert(kZero24.size() == kDoubleWidth);

/// The 24-character field of `v` built the slow, obvious way from
/// std::to_chars; returns out + 24.  put_d24 (fast_d24.h) must agree with it
/// byte for byte.
char* put_d24_reference(char* out, double v);
/// Writes the 12-character field of `v` at `out`; returns out + 12.
char* put_i12(char* out, int32_t v);
std::string d24(double v);
std::string i12(int32_t v);

/// Formatted edits.  All give exactly w characters (w asterisks when the
/// value does not fit).  An exact zero prints without a sign.
std::string edit_A(std::string_view text, int w);  // Aw: first w chars, padded
std::string edit_I(int64_t v, int w, int m = 1);   // Iw / Iw.m
std::string edit_F(double v, int w, int d);        // Fw.d, with leading 0
std::string edit_E(double v, int w, int d);        // Ew.d: 0.ddd E+dd
std::string edit_X(int n);                         // nX

}  // namespace zereduv
