// Taking a URL text apart the way the request routine needs it: the host
// (lower case), the port and the object (path and query). Works on the text
// alone: no decoding, no validation; every input gives a result.
#pragma once

#include <cstdint>
#include <optional>

#include "core/text.h"

namespace vt {

// `suffix_dots` given at all, even as 0, switches from the marker rule to
// the counting rule.
Text url_host(const Text& url_text, bool domain_only = false, bool keep_port = false,
              std::optional<std::int32_t> suffix_dots = std::nullopt);
std::int32_t url_port(const Text& url_text);
Text url_path(const Text& url_text);

}  // namespace vt
