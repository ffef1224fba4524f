file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.\n"
  "extern const unsigned char ${SYMBOL}[];\nextern const int ${SYMBOL}_size;\n"
  "alignas(16) const unsigned char ${SYMBOL}[] = {\n${bytes}0};\n"
  "const int ${SYMBOL}_size = ${size};\n")
