// Cutting one fuzz input into the several arguments of a call. Numbers come
// first, little-endian; texts follow, each ended by a zero byte (a text can
// hold none, so nothing is lost). An input used up reads as zeros and empty
// texts, so every input, even the empty one, gives a full set of arguments.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "core/text.h"

namespace vt::fuzz {

class FuzzInput {
public:
    explicit FuzzInput(std::span<const std::uint8_t> bytes) : rest_(bytes) {}

    std::uint8_t byte() {
        if (rest_.empty()) return 0;
        const std::uint8_t b = rest_.front();
        rest_ = rest_.subspan(1);
        return b;
    }

    std::int32_t int32() {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) value |= std::uint32_t{byte()} << shift;
        return static_cast<std::int32_t>(value);
    }

    // The bytes up to the next zero byte, which is consumed; all the rest
    // when there is none.
    Text text() {
        const std::string_view chars(reinterpret_cast<const char*>(rest_.data()), rest_.size());
        const std::size_t end = chars.find('\0');
        if (end == std::string_view::npos) {
            rest_ = {};
            return Text(chars);
        }
        rest_ = rest_.subspan(end + 1);
        return Text(chars.substr(0, end));
    }

    std::span<const std::uint8_t> rest() {
        const auto all = rest_;
        rest_ = {};
        return all;
    }

private:
    std::span<const std::uint8_t> rest_;
};

// A rule every result must keep. Breaking it is a finding: the process
// stops at once, as a sanitizer would, so the fuzzer saves the input.
inline void require(bool holds, const char* rule) {
    if (holds) return;
    std::fprintf(stderr, "fuzz rule broken: %s\n", rule);
    std::abort();
}

}  // namespace vt::fuzz
