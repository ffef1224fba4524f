#include "pictures/pick_line.h"

#include "core/text_operations.h"

namespace vt {

Text pick_line(const Text& text, std::int32_t line_number) {
    const TextArray lines = split_text(text, Text("\r\n"));
    if (line_number <= 0 || line_number > array_size(lines)) return Text();
    return array_get(lines, line_number);
}

}  // namespace vt
