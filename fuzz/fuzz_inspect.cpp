// zereduv-inspect's readers and reports on any bytes.  The first byte
// chooses: a field table (with or without a frequency and an isym_z key),
// a field file taken as it is, or a layout-0 field file of the right frame
// whose numbers the rest of the input patches (so that the reports see
// well-framed files full of NaNs, infinities and wild grids).  Ends with the
// reports in every form, an I/O error on the table's unit, a rejected table
// or a damaged field file; anything else is a finding.
//
// The fuzz build compiles the program's library only, so the inspection
// sources come in here.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "../inspect/field_inspect.cpp"
#include "../inspect/numfmt.cpp"
#include "../inspect/report_json.cpp"
#include "../inspect/report_svg.cpp"
#include "../inspect/report_text.cpp"
#include "../inspect/svg.cpp"
#include "../inspect/table_inspect.cpp"
#include "../inspect/transit.cpp"
#include "run/errors.h"
#include "scratch_dir.h"

using namespace zereduv;
using namespace zereduv::inspect;

namespace {

// A well-framed layout-0 file: every record its length, zero data, the
// header integer and the end marker in place.
std::string framed_layout0() {
  std::string f(kLayout0Bytes, '\0');
  for (std::size_t k = 0; k < kLayout0Records.size(); ++k) {
    const auto len = static_cast<int32_t>(kLayout0Records[k].bytes);
    const std::size_t at = layout0_record_offset(k);
    std::memcpy(&f[at], &len, 4);
    std::memcpy(&f[at + kFrameBytes + kLayout0Records[k].bytes], &len, 4);
  }
  const int32_t marker = kEndMarker;
  std::memcpy(&f[layout0_record_offset(11) + kFrameBytes], &marker, 4);
  return f;
}

void render(const TableReport& r) {
  table_text(r);
  table_json(r).dump(2, ' ', false,
                     nlohmann::ordered_json::error_handler_t::replace);
  table_csv(r);
  table_svg(r);
}

void render(const FieldReport& r) {
  field_text(r);
  field_json(r).dump(2, ' ', false,
                     nlohmann::ordered_json::error_handler_t::replace);
  field_csv(r);
  field_svg(r);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string dir = fuzz_scratch_dir("inspect");
  static std::string layout0 = framed_layout0();
  if (size < 1)
    return 0;
  const uint8_t mode = data[0];
  const char* rest = reinterpret_cast<const char*>(data + 1);
  const std::size_t n = size - 1;

  switch (mode % 3) {
  case 0: {
    {
      std::ofstream f(dir + "/table.txt", std::ios::binary | std::ios::trunc);
      f.write(rest, static_cast<std::streamsize>(n));
    }
    TableOptions opt;
    if (mode & 0x04)
      opt.frequency = 1.3e9;
    const int32_t keys[] = {0, 1, -1, 2, -2, 7};
    if (mode & 0x08)
      opt.isym = keys[(mode >> 4) % 6];
    try {
      render(inspect_table(dir + "/table.txt", opt));
    } catch (const IoError& e) {
      if (e.unit != 2)
        std::abort();
    } catch (const TableRejected&) {
    }
    break;
  }
  case 1:
    try {
      render(field_report("fuzz", parse_field_file(std::string_view(rest, n))));
    } catch (const FieldFileDamaged&) {
    }
    break;
  case 2: {
    // Patches: a 4-byte offset into the data after the first frame, a
    // length of at most 16, the bytes.  They are made in place on the
    // 6 MB image and undone afterwards, in reverse order.
    std::string& f = layout0;
    std::vector<std::pair<std::size_t, std::string>> undo;
    std::size_t k = 0;
    const std::size_t span = f.size() - 2 * kFrameBytes;
    while (k + 5 <= n) {
      uint32_t off;
      std::memcpy(&off, rest + k, 4);
      const std::size_t at = kFrameBytes + off % span;
      const std::size_t len =
          std::min({std::size_t{static_cast<uint8_t>(rest[k + 4]) % 17u},
                    n - k - 5, f.size() - at});
      undo.emplace_back(at, f.substr(at, len));
      f.replace(at, len, rest + k + 5, len);
      k += 5 + len;
    }
    try {
      render(field_report("fuzz", parse_field_file(f)));
    } catch (const FieldFileDamaged&) {
    }
    for (auto u = undo.rbegin(); u != undo.rend(); ++u)
      f.replace(u->first, u->second.size(), u->second);
    break;
  }
  }
  return 0;
}
