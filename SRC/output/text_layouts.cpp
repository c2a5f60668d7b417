#include "output/text_layouts.h"

#include <cstddef>
#include <string>

#include "output/field_layout.h"
#include "output/field_sink.h"
#include "run/text_io.h"

namespace zereduv {

namespace {

// List-directed output statements on a text field file, formatted straight
// into the block buffer.  Each statement begins a new line; a number that
// does not fit in the 80 columns left on its line begins the next one (so a
// line holds at most three doubles); every line ends with CR LF.
class ListWriter {
 public:
  explicit ListWriter(BlockWriter& out) : out_(out) {}

  void real(double v) { out_.advance(put_d24(place(kDoubleWidth), v)); }
  void integer(int32_t v) { out_.advance(put_i12(place(kIntWidth), v)); }
  void reals(const double* v, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) real(v[k]);
  }
  /// Ends the statement, and with it its last line.
  void end() {
    char* p = out_.room(2);
    p[0] = '\r';
    p[1] = '\n';
    out_.advance(p + 2);
    col_ = 0;
  }

 private:
  char* place(int width) {
    if (col_ + width > kLineWidth) end();
    col_ += width;
    // The line end that may follow is reserved too.
    return out_.room(static_cast<std::size_t>(width) + 2);
  }

  BlockWriter& out_;
  int col_ = 0;
};

// Opens the field file, lets `body` write its statements, and puts the file
// in place once all of it is written and closed.
template <class Body>
void write_text_file(RunState& s, Body body) {
  const std::string name(trimmed(s.OutFileName));
  FieldSink sink(s.path(name), kFieldFileUnit, name);
  BlockWriter block(sink);
  ListWriter out(block);
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
