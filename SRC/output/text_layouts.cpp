#include "output/text_layouts.h"

#include <cstddef>
#include <string>

#include "output/field_layout.h"
#include "output/text_parts.h"
#include "run/system/field_sink.h"
#include "run/text/list_layout.h"

namespace zereduv {

namespace {

using ListWriter = ListStatement<LineBuffer>;

// Each part of a text field file holds at most this many bytes: about
// 10,000 lines, so that both threads have parts to format from the start.
constexpr std::size_t kPartBytes = std::size_t{1} << 20;

// Opens the field file, writes its `n_parts` parts (each formatted by
// `part`), and puts the file in place once all of it is written and closed.
template <class Part>
void write_text_file(RunState& s, std::size_t n_parts, Part part) {
  const std::string name(trimmed(s.OutFileName));
  FieldSink sink(s.path(name), kFieldFileUnit, name);
  write_parts(sink, s.write_room(kPartBuffers * kPartBytes), n_parts,
              kPartBytes, [&part](std::size_t k, LineBuffer& lines) {
                ListWriter out(lines);
                part(k, out);
              });
  sink.commit();
}

// Layout 1 writes each component as one statement of kOutPoints reals,
// three to a line.  A statement cut after a whole line goes on the same on
// a new line, so each is written in kPiecesPerArray pieces of whole lines.
constexpr std::size_t kPiecesPerArray = 4;
constexpr std::size_t kArrayLines = kOutPoints / 3;

// The first value of piece `p` of an array (p = kPiecesPerArray: the end).
constexpr std::size_t piece_start(std::size_t p) {
  return 3 * (kArrayLines * p / kPiecesPerArray);
}
static_assert((kArrayLines / kPiecesPerArray + 1) * (3 * kDoubleWidth + 2) <=
              kPartBytes);

// Layout 2 writes one statement of two lines per node, in kNodeParts parts
// of consecutive nodes.
constexpr std::size_t kNodeParts = 24;
constexpr std::size_t node_start(std::size_t p) {
  return kOutPoints * p / kNodeParts;
}
static_assert((kOutPoints / kNodeParts + 1) * 2 * (3 * kDoubleWidth + 2) <=
              kPartBytes);

}  // namespace

void write_layout1(RunState& s) {
  const Field3D* const arrays[] = {&s.Ex3D, &s.Ey3D, &s.Ez3D,
                                   &s.Bx3D, &s.By3D, &s.Bz3D};
  const std::size_t n_pieces = 6 * kPiecesPerArray;
  write_text_file(s, n_pieces + 2, [&](std::size_t k, ListWriter& out) {
    if (k == 0) {
      // Statements 1-2: element length, aperture and header integer; the
      // keys.
      out.real(s.ElementLength);
      out.real(s.Aperture);
      out.integer(s.HeaderInt);
      out.end();
      out.integer(s.SymX);
      out.integer(s.SymY);
      out.integer(s.SymZ);
      out.end();

      // Statements 3-5: the grid coordinates, one per axis.
      out.reals(s.XOut.v.data(), s.XOut.v.size());
      out.end();
      out.reals(s.YOut.v.data(), s.YOut.v.size());
      out.end();
      out.reals(s.ZOut.v.data(), s.ZOut.v.size());
      out.end();
      return;
    }
    if (k == n_pieces + 1) {
      // Statement 12: the end marker.
      out.integer(s.EndMarker);
      out.end();
      return;
    }
    // Statements 6-11: each component in one statement, x fastest as
    // stored, so an x line of the grid runs on across line ends.
    const std::size_t a = (k - 1) / kPiecesPerArray;
    const std::size_t p = (k - 1) % kPiecesPerArray;
    const std::size_t first = piece_start(p);
    out.reals(arrays[a]->data() + first, piece_start(p + 1) - first);
    out.end();
  });
}

void write_layout2(RunState& s) {
  write_text_file(s, kNodeParts + 1, [&s](std::size_t k, ListWriter& out) {
    if (k == 0) {
      // Lines 1-4: limits with the point counts (x, y, z), then the keys.
      const struct {
        double lo, hi;
        int32_t n;
      } axes[] = {{s.XminOut, s.XmaxOut, kNx},
                  {s.YminOut, s.YmaxOut, kNy},
                  {s.ZminOut, s.ZmaxOut, kNzOut}};
      for (const auto& a : axes) {
        out.real(a.lo);
        out.real(a.hi);
        out.integer(a.n);
        out.end();
      }
      out.integer(s.SymX);
      out.integer(s.SymY);
      out.integer(s.SymZ);
      out.end();
      return;
    }
    // 5... One statement per node, z fastest: the E line, then the B line.
    const double* ex = s.Ex3D.data();
    const double* ey = s.Ey3D.data();
    const double* ez = s.Ez3D.data();
    const double* bx = s.Bx3D.data();
    const double* by = s.By3D.data();
    const double* bz = s.Bz3D.data();
    for (std::size_t t = node_start(k - 1); t < node_start(k); ++t) {
      // Node t in writing order: ix slowest, iz fastest.
      const auto iz = static_cast<int32_t>(t % kNzOut) + 1;
      const auto iy = static_cast<int32_t>(t / kNzOut % kNy) + 1;
      const auto ix = static_cast<int32_t>(t / (kNzOut * kNy)) + 1;
      const std::size_t n = Field3D::index(ix, iy, iz);
      out.real(ex[n]);
      out.real(ey[n]);
      out.real(ez[n]);
      out.real(bx[n]);
      out.real(by[n]);
      out.real(bz[n]);
      out.end();
    }
  });
}

}  // namespace zereduv
