// One numbered line of a text whose lines are separated by CR LF.
#pragma once

#include <cstdint>

#include "core/text.h"

namespace vt {

// Line `line_number` (1 for the first) without its separator; empty when the
// number is outside 1 to the number of lines. Splits the whole text afresh on
// every call.
Text pick_line(const Text& text, std::int32_t line_number);

}  // namespace vt
