// The three layouts of the field file, described once: the records of the
// unformatted layout 0, the line kinds and line runs of the text layouts 1
// and 2, and the file sizes they add up to.  The writers, the inspection
// tool and the tests' reader take their numbers from here.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "run/run_state.h"           // kNx, kNy, kNzOut, kOutPoints
#include "run/text/list_layout.h"    // kLineWidth
#include "run/text/number_fields.h"  // kIntWidth, kDoubleWidth

namespace zereduv {

/// The I/O unit the field file is written on (named in its error reports).
inline constexpr int kFieldFileUnit = 7;

/// The integers in the first and last record of layouts 0 and 1.
inline constexpr int32_t kHeaderInteger = 0;
inline constexpr int32_t kEndMarker = -99;

// ---------------------------------------------------------------------------
// Layout 0: length-framed records, every number little-endian.

inline constexpr std::size_t kInt32Bytes = 4;
inline constexpr std::size_t kDoubleBytes = 8;
/// The length field before and after the data of each record.
inline constexpr std::size_t kFrameBytes = 4;

struct Layout0Record {
  const char* what;   // its content, as the inspection messages name it
  std::size_t bytes;  // L: the data bytes between the two length fields
};

inline constexpr std::size_t kArrayRecordBytes = kDoubleBytes * kOutPoints;

/// The twelve records in file order.
inline constexpr std::array<Layout0Record, 12> kLayout0Records = {{
    {"ElementLength, Aperture and the header integer",
     2 * kDoubleBytes + kInt32Bytes},
    {"symmetry keys", 3 * kInt32Bytes},
    {"x coordinates", kDoubleBytes* kNx},
    {"y coordinates", kDoubleBytes* kNy},
    {"z coordinates", kDoubleBytes* kNzOut},
    {"Ex values", kArrayRecordBytes},
    {"Ey values", kArrayRecordBytes},
    {"Ez values", kArrayRecordBytes},
    {"Bx values", kArrayRecordBytes},
    {"By values", kArrayRecordBytes},
    {"Bz values", kArrayRecordBytes},
    {"end marker", kInt32Bytes},
}};

/// Byte offset at which record k (0-based) begins; k = 12 gives the size.
constexpr std::size_t layout0_record_offset(std::size_t k) {
  std::size_t off = 0;
  for (std::size_t r = 0; r < k; ++r) {
    off += kLayout0Records[r].bytes + 2 * kFrameBytes;
  }
  return off;
}

/// The largest record's data, the most a writer holds at once.
constexpr std::size_t layout0_largest_record() {
  std::size_t n = 0;
  for (const auto& r : kLayout0Records)
    n = r.bytes > n ? r.bytes : n;
  return n;
}

inline constexpr std::uintmax_t kLayout0Bytes =
    layout0_record_offset(kLayout0Records.size());

// ---------------------------------------------------------------------------
// Layouts 1 and 2: list-directed lines of fixed-width fields, CR LF ends.

/// The kinds of line the text layouts consist of: on each, the doubles come
/// first and the integers after them.
enum class LineKind { D3, D1, DDI, III, I };

struct LineShape {
  int doubles;
  int integers;
  const char* text;  // for the inspection messages
};

constexpr LineShape line_shape(LineKind k) {
  switch (k) {
  case LineKind::D3:
    return {3, 0, "three 24-character numbers"};
  case LineKind::D1:
    return {1, 0, "one 24-character number"};
  case LineKind::DDI:
    return {2, 1, "two 24-character numbers and a 12-character integer"};
  case LineKind::III:
    return {0, 3, "three 12-character integers"};
  case LineKind::I:
    return {0, 1, "one 12-character integer"};
  }
  return {0, 0, ""};
}

/// Characters of a line before its CR LF.
constexpr std::size_t line_width(LineKind k) {
  const LineShape s = line_shape(k);
  return static_cast<std::size_t>(s.doubles * kDoubleWidth +
                                  s.integers * kIntWidth);
}

/// Column (0-based) where the n-th field of a line begins, doubles first.
constexpr std::size_t field_column(LineKind k, int n) {
  const LineShape s = line_shape(k);
  return n < s.doubles ? static_cast<std::size_t>(n * kDoubleWidth)
                       : static_cast<std::size_t>(s.doubles * kDoubleWidth +
                                                  (n - s.doubles) * kIntWidth);
}

inline constexpr std::size_t kLineEndBytes = 2;  // CR LF

/// `lines` consecutive lines of one kind.
struct LineRun {
  LineKind kind;
  std::size_t lines;
  const char* what;  // their content, as the inspection messages name it
};

// A list-directed statement puts at most three doubles on a line, so an
// axis of 25 points takes eight full lines and one of a single value, the
// 201 z coordinates and each array fill whole lines, and a node's six
// components take two lines.
static_assert(3 * kDoubleWidth <= kLineWidth && 4 * kDoubleWidth > kLineWidth);
static_assert(2 * kDoubleWidth + kIntWidth <= kLineWidth);
static_assert(kNx % 3 == 1 && kNy % 3 == 1 && kNzOut % 3 == 0 &&
              kOutPoints % 3 == 0);

/// Layout 1, the text twin of layout 0, in file order.
inline constexpr std::array<LineRun, 14> kLayout1Lines = {{
    {LineKind::DDI, 1, "ElementLength, Aperture, header integer"},
    {LineKind::III, 1, "symmetry keys"},
    {LineKind::D3, kNx / 3, "x coordinates"},
    {LineKind::D1, 1, "x coordinates"},
    {LineKind::D3, kNy / 3, "y coordinates"},
    {LineKind::D1, 1, "y coordinates"},
    {LineKind::D3, kNzOut / 3, "z coordinates"},
    {LineKind::D3, kOutPoints / 3, "Ex values"},
    {LineKind::D3, kOutPoints / 3, "Ey values"},
    {LineKind::D3, kOutPoints / 3, "Ez values"},
    {LineKind::D3, kOutPoints / 3, "Bx values"},
    {LineKind::D3, kOutPoints / 3, "By values"},
    {LineKind::D3, kOutPoints / 3, "Bz values"},
    {LineKind::I, 1, "end marker"},
}};

/// Layout 2, node by node, in file order: each node record is an E line and
/// a B line.
inline constexpr std::array<LineRun, 5> kLayout2Lines = {{
    {LineKind::DDI, 1, "x limits and point count"},
    {LineKind::DDI, 1, "y limits and point count"},
    {LineKind::DDI, 1, "z limits and point count"},
    {LineKind::III, 1, "symmetry keys"},
    {LineKind::D3, 2 * kOutPoints, "node records (E line, B line)"},
}};

template <std::size_t N>
constexpr std::size_t line_count(const std::array<LineRun, N>& runs) {
  std::size_t n = 0;
  for (const auto& r : runs)
    n += r.lines;
  return n;
}

template <std::size_t N>
constexpr std::uintmax_t text_bytes(const std::array<LineRun, N>& runs) {
  std::uintmax_t n = 0;
  for (const auto& r : runs)
    n += r.lines * (line_width(r.kind) + kLineEndBytes);
  return n;
}

inline constexpr std::uintmax_t kLayout1Bytes = text_bytes(kLayout1Lines);
inline constexpr std::uintmax_t kLayout2Bytes = text_bytes(kLayout2Lines);

/// Layout 2: the header (limit and key lines) and one node record [bytes].
inline constexpr std::size_t kLayout2HeaderBytes =
    3 * (line_width(LineKind::DDI) + kLineEndBytes) +
    line_width(LineKind::III) + kLineEndBytes;
inline constexpr std::size_t kLayout2NodeBytes =
    2 * (line_width(LineKind::D3) + kLineEndBytes);

/// The size every field file of `layout` (0, 1 or 2) has; 0 for any other.
constexpr std::uintmax_t layout_bytes(int layout) {
  switch (layout) {
  case 0:
    return kLayout0Bytes;
  case 1:
    return kLayout1Bytes;
  case 2:
    return kLayout2Bytes;
  default:
    return 0;
  }
}

/// The largest of the three sizes.
inline constexpr std::uintmax_t kLargestLayoutBytes =
    std::max({kLayout0Bytes, kLayout1Bytes, kLayout2Bytes});

static_assert(kLayout0Bytes == 6'032'140);
static_assert(kLayout1Bytes == 18'598'808);
static_assert(kLayout2Bytes == 18'592'724);
static_assert(kLayout2HeaderBytes + kOutPoints * kLayout2NodeBytes ==
              kLayout2Bytes);

}  // namespace zereduv
