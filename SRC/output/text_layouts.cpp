#include "output/text_layouts.h"

#include <cstddef>
#include <string>

#include "output/field_layout.h"
#include "output/field_sink.h"
#include "run/list_layout.h"

namespace zereduv {

namespace {

// The output side of list-directed statements on a text field file: the
// characters go straight into the block buffer, every line ends with CR LF.
class FieldFileLines {
 public:
  explicit FieldFileLines(BlockWriter& out) : out_(out) {}
  char* room(std::size_t n) { return out_.room(n); }
  void advance(char* end) { out_.advance(end); }
  void end_line() {
    char* p = out_.room(2);
    p[0] = '\r';
    p[1] = '\n';
    out_.advance(p + 2);
  }

 private:
  BlockWriter& out_;
};

using ListWriter = ListStatement<FieldFileLines>;

// Opens the field file, lets `body` write its statements, and puts the file
// in place once all of it is written and closed.
template <class Body>
void write_text_file(RunState& s, Body body) {
  const std::string name(trimmed(s.OutFileName));
  FieldSink sink(s.path(name), kFieldFileUnit, name);
  BlockWriter block(sink, s.big->take_array<char>(BlockWriter::kBlock));
  FieldFileLines lines(block);
  ListWriter out(lines);
  body(out);
  block.flush();
  sink.commit();
}

}  // namespace

void WRITE_LAYOUT1(RunState& s) {
  write_text_file(s, [&s](ListWriter& out) {
    // 1-2. Element length, aperture and header integer; the keys.
    out.real(s.ElementLength);
    out.real(s.Aperture);
    out.integer(s.HeaderInt);
    out.end();
    out.integer(s.SymX);
    out.integer(s.SymY);
    out.integer(s.SymZ);
    out.end();

    // 3-5. The grid coordinates, one statement per axis.
    out.reals(s.XOut.v.data(), s.XOut.v.size());
    out.end();
    out.reals(s.YOut.v.data(), s.YOut.v.size());
    out.end();
    out.reals(s.ZOut.v.data(), s.ZOut.v.size());
    out.end();

    // 6-11. Each component in one statement, x fastest as stored, so an x
    //       line of the grid runs on across line ends.
    for (const Field3D* f :
         {&s.Ex3D, &s.Ey3D, &s.Ez3D, &s.Bx3D, &s.By3D, &s.Bz3D}) {
      out.reals(f->data(), kOutPoints);
      out.end();
    }

    // 12. The end marker.
    out.integer(s.EndMarker);
    out.end();
  });
}

void WRITE_LAYOUT2(RunState& s) {
  write_text_file(s, [&s](ListWriter& out) {
    // 1-4. Limits with the point counts, then the keys.
    out.real(s.XminOut);
    out.real(s.XmaxOut);
    out.integer(kNx);
    out.end();
    out.real(s.YminOut);
    out.real(s.YmaxOut);
    out.integer(kNy);
    out.end();
    out.real(s.ZminOut);
    out.real(s.ZmaxOut);
    out.integer(kNzOut);
    out.end();
    out.integer(s.SymX);
    out.integer(s.SymY);
    out.integer(s.SymZ);
    out.end();

    // 5... One statement per node, z fastest: the E line, then the B line.
    const double* ex = s.Ex3D.data();
    const double* ey = s.Ey3D.data();
    const double* ez = s.Ez3D.data();
    const double* bx = s.Bx3D.data();
    const double* by = s.By3D.data();
    const double* bz = s.Bz3D.data();
    for (int32_t ix = 1; ix <= kNx; ++ix) {
      for (int32_t iy = 1; iy <= kNy; ++iy) {
        for (int32_t iz = 1; iz <= kNzOut; ++iz) {
          const std::size_t n = Field3D::index(ix, iy, iz);
          out.real(ex[n]);
          out.real(ey[n]);
          out.real(ez[n]);
          out.real(bx[n]);
          out.real(by[n]);
          out.real(bz[n]);
          out.end();
        }
      }
    }
  });
}

}  // namespace zereduv
