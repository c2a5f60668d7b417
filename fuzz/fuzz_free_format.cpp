// Free-format reading: any bytes as a record set, read as lists of integers
// and reals.  Must end in values or an I/O error, never a crash.  Wherever
// the node-record quick path reads the first record, the general reader must
// read it to the same bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "run/errors.h"
#include "run/text/channels.h"
#include "run/text/fast_d24.h"
#include "run/text/number_fields.h"

using namespace zereduv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  // The first byte picks the item kinds of the list.
  const unsigned kinds = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  TextIn in(2, "fuzz");
  in.open_memory(text);
  int32_t iv[4] = {};
  double rv[4] = {};
  ReadItem items[4] = {
      (kinds & 1) ? int_item(iv[0], "a") : real_item(rv[0], "a"),
      (kinds & 2) ? int_item(iv[1], "b") : real_item(rv[1], "b"),
      (kinds & 4) ? int_item(iv[2], "c") : real_item(rv[2], "c"),
      (kinds & 8) ? int_item(iv[3], "d") : real_item(rv[3], "d"),
  };
  const std::size_t n = 1 + ((kinds >> 4) & 3);
  try {
    for (int k = 0; k < 64 && !in.at_end(); ++k)
      in.read_list(std::span<const ReadItem>(items, n));
  } catch (const IoError&) {
  }
  // The quick path of node records against the general reader.
  double quick[6] = {}, general[6] = {};
  const char* const e =
      scan_plain_reals(text.data(), text.data() + text.size(), quick);
  if (e != nullptr) {
    TextIn g(2, "fuzz");
    g.open_memory(text);
    const ReadItem six[] = {
        real_item(general[0], "Z"),   real_item(general[1], "R"),
        real_item(general[2], "Ez"),  real_item(general[3], "Er"),
        real_item(general[4], "|E|"), real_item(general[5], "H")};
    try {
      g.read_list(six);
    } catch (const IoError&) {
      std::abort();
    }
    const std::size_t nl = text.find('\n');
    if (g.line() != 1 ||
        e != text.data() + (nl == std::string::npos ? text.size() : nl + 1) ||
        std::memcmp(quick, general, sizeof quick) != 0)
      std::abort();
  }
  // The same bytes as one range.
  try {
    TextIn r(2, "fuzz");
    r.read_from(text, std::span<const ReadItem>(items, n));
  } catch (const IoError&) {
  }
  return 0;
}
