// The 24-character list-directed field of a double, built without
// std::to_chars: the field files hold millions of them.  Byte for byte the
// field of put_d24_reference (number_fields.h).
#pragma once

namespace zereduv {

/// Writes the 24-character list-directed field of `v` at `out`; returns
/// out + 24.
char* put_d24(char* out, double v);

}  // namespace zereduv
