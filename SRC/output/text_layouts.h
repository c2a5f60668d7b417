// The two text layouts of the field file.
#pragma once

#include "run/run_state.h"

namespace zereduv {

/// Layout 1: the text twin of layout 0 (twelve groups, arrays x fastest).
void write_layout1(RunState& s);
/// Layout 2: grid limits, keys, then one E line and one B line per node,
/// z fastest.
void write_layout2(RunState& s);

}  // namespace zereduv
