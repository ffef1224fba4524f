file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.\n"
  "#include <cstdint>\n#include <span>\nnamespace vt {\n"
  "alignas(16) static const std::uint8_t ${SYMBOL}_bytes[] = {\n${bytes}0};\n"
  "extern const std::span<const std::uint8_t> ${SYMBOL};\n"
  "const std::span<const std::uint8_t> ${SYMBOL}{${SYMBOL}_bytes, ${size}};\n"
  "}  // namespace vt\n")
