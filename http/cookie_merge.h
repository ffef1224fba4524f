// Folding the cookies a response set into the cookies that were sent.
// Cookie texts are members separated by ";", each name=value.
#pragma once

#include <cstdint>

#include "core/text.h"

namespace vt {

// Every returned cookie, then every sent cookie whose name the response did
// not use, less members ending in "=deleted", exact repeats removed. Both
// arguments are trimmed in place; send_cookies then holds the result.
Text merge_cookies(Text& send_cookies, Text& returned_cookies);
bool has_cookie(const TextArray& list, const Text& name);
std::int32_t find_member(const TextArray& list, const Text& text);
Text dedupe_members(const Text& text, const Text& separator);

}  // namespace vt
