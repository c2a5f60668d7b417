#include "output/field_file.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "output/field_layout.h"
#include "output/text_layouts.h"
#include "run/errors.h"
#include "run/system/field_sink.h"
#include "run/text/number_fields.h"

namespace zereduv {

namespace {

constexpr const char* kTemplate = "eh_ZIV.#";

static_assert(std::numeric_limits<double>::is_iec559,
              "layout 0 stores IEEE 754 doubles");

// One length-framed record of layout 0: 4-byte length, the data items packed
// without padding, the length again.  Every number is stored little-endian
// byte by byte, so the file is the same whatever the byte order of the host.
class Record {
 public:
  /// Room for max_data bytes of data in the run's write room.
  Record(std::size_t max_data, RunState& s)
      : buf_(reinterpret_cast<unsigned char*>(s.write_room(max_data + 8))) {}

  void begin() { n_ = 4; }
  void int32(int32_t v) { le(static_cast<uint32_t>(v), 4); }
  void real(double v) { le(std::bit_cast<uint64_t>(v), 8); }
  void reals(const double* v, std::size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
      // The host's own doubles are already the file's bytes: one copy.
      std::memcpy(buf_ + n_, v, 8 * count);
      n_ += 8 * count;
    } else {
      for (std::size_t k = 0; k < count; ++k)
        real(v[k]);
    }
  }
  /// Frames the data gathered since begin() and writes the record.
  void write_to(FieldSink& sink) {
    const auto length = static_cast<uint32_t>(n_ - 4);
    const std::size_t end = n_;
    n_ = 0;
    le(length, 4);
    n_ = end;
    le(length, 4);
    sink.write(buf_, n_);
  }

 private:
  void le(uint64_t u, int bytes) {
    for (int k = 0; k < bytes; ++k) {
      buf_[n_++] = static_cast<unsigned char>(u >> (8 * k));
    }
  }

  unsigned char* buf_;
  std::size_t n_ = 0;
};

// What each record below gathers is what the layout says it holds.
static_assert(kLayout0Records[0].bytes == 2 * sizeof(double) + sizeof(int32_t));
static_assert(kLayout0Records[1].bytes == 3 * sizeof(int32_t));
static_assert(kLayout0Records[2].bytes == sizeof(OutCoord<kNx>::v));
static_assert(kLayout0Records[3].bytes == sizeof(OutCoord<kNy>::v));
static_assert(kLayout0Records[4].bytes == sizeof(OutCoord<kNzOut>::v));
static_assert(kLayout0Records[5].bytes == kOutPoints * sizeof(double));
static_assert(kLayout0Records[11].bytes == sizeof(int32_t));

}  // namespace

std::string field_file_name(const RunState& s) {
  // The template, then FileNumber in two digits (I2.2); a number outside
  // 0..99 gives two asterisks.
  return kTemplate + edit_I(s.FileNumber, 2, 2);
}

void WRITE_FIELD_FILE(RunState& s) {
  const std::string name = field_file_name(s);
  s.OutFileName = name;
  s.OutFileName.resize(80, ' ');
  s.console.list({kOutputNameLabel, name});

  s.HeaderInt = kHeaderInteger;
  s.EndMarker = kEndMarker;

  // The log so far goes to disk before the field file is begun: a log that
  // cannot be written (a full disk) ends the run here, with the field file
  // of an earlier run still in place, not after it has been replaced.
  s.log.flush();

  switch (s.FieldFormat) {
  case 0:
    write_layout0(s);
    break;
  case 1:
    write_layout1(s);
    break;
  case 2:
    write_layout2(s);
    break;
  default:
    stop_run(kFormatStop);
  }
}

void write_layout0(RunState& s) {
  const std::string name(trimmed(s.OutFileName));
  FieldSink sink(s.path(name), kFieldFileUnit, name);
  Record rec(layout0_largest_record(), s);

  // Record 1: element length and aperture as read, and the header
  // integer.
  rec.begin();
  rec.real(s.ElementLength);
  rec.real(s.Aperture);
  rec.int32(s.HeaderInt);
  rec.write_to(sink);

  // Record 2: the symmetry keys as read.
  rec.begin();
  rec.int32(s.SymX);
  rec.int32(s.SymY);
  rec.int32(s.SymZ);
  rec.write_to(sink);

  // Records 3-5: the grid coordinates.
  rec.begin();
  rec.reals(s.XOut.v.data(), s.XOut.v.size());
  rec.write_to(sink);
  rec.begin();
  rec.reals(s.YOut.v.data(), s.YOut.v.size());
  rec.write_to(sink);
  rec.begin();
  rec.reals(s.ZOut.v.data(), s.ZOut.v.size());
  rec.write_to(sink);

  // Records 6-11: the six components, each one record, x fastest (the
  // storage order of the arrays).
  for (const Field3D* f :
       {&s.Ex3D, &s.Ey3D, &s.Ez3D, &s.Bx3D, &s.By3D, &s.Bz3D}) {
    rec.begin();
    rec.reals(f->data(), kOutPoints);
    rec.write_to(sink);
  }

  // Record 12: the end marker.
  rec.begin();
  rec.int32(s.EndMarker);
  rec.write_to(sink);

  sink.commit();
}

}  // namespace zereduv
