// Reading a field table in the solver's T7 form: three grid records (z range
// and intervals, the RF frequency, r range and intervals), then one stream of
// numbers, Ez Er |E| H per node, z varying fastest.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "run/run_state.h"

namespace zereduv {

/// The three records that open an RF T7 table, as written (lengths in cm).
struct T7Header {
  double Zmin = 0.0, Zmax = 0.0;
  int32_t z_intervals = 0;
  double frequency_MHz = 0.0;  // the solved RF frequency
  double Rmin = 0.0, Rmax = 0.0;
  int32_t r_intervals = 0;
};

/// The reader of one T7 table, over the input channel open on it.
class T7Table {
 public:
  explicit T7Table(TextIn& in) : in_(in) {}

  /// Looks at the first records.  Three numbers, one number, three numbers:
  /// an RF T7 table, whose three records are read and returned.  Two
  /// records of three numbers each: a static-field T7 table, rejected
  /// (TableRejected).  Anything else: no T7 table; at most records holding
  /// numbers alone have been consumed.
  std::optional<T7Header> header(const std::string& file);

  /// Reads the Nr x Nz nodes that follow the header into Er2D, Ez2D [V/cm]
  /// and B2D [Gauss]: r slowest, z reversed when ReverseZ, the values taken
  /// as one stream of numbers whatever the line layout.
  void nodes(RunState& s);

  /// Bytes not yet taken: the rest of the record being taken apart and of
  /// the file after it.
  int64_t remaining() const {
    return static_cast<int64_t>((pending_ ? rec_.size() - pos_ : 0) +
                                in_.remaining());
  }

 private:
  std::optional<std::string_view> peek() const;
  void take();
  double number(std::string_view what);
  /// Reports the damaged grid record k (0, 1, 2) of a T7 header.
  [[noreturn]] void refuse_header_record(int k, const std::string& line);

  TextIn& in_;
  std::string_view rec_;  // the record being taken apart
  std::size_t pos_ = 0;   // where its next line or number begins
  bool pending_ = false;  // rec_ holds text not yet taken
};

/// The label of the log record of a T7 table, before its frequency [MHz].
inline constexpr std::string_view kT7FrequencyLabel =
    " Table read as T7: frequency [MHz] = ";

/// Logs that the table was read as T7, with its frequency, and warns in the
/// log and on standard error when the control file's Frequency is more than
/// 1 % away from it.
void report_t7(RunState& s, const T7Header& h);

}  // namespace zereduv
