// Text for the console as this system ends its lines.
#pragma once

#include <string>
#include <string_view>

namespace zereduv {

/// `text` with every LF replaced by the system's console line end (CR LF on
/// Windows, LF elsewhere); the programs make their console lines with LF.
std::string console_text(std::string_view text);

}  // namespace zereduv
