#include "core/text_operations.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <random>
#include <vector>

namespace vt {
namespace {

std::vector<std::string> members(const TextArray& a) {
    std::vector<std::string> out;
    for (const Text& t : a) out.emplace_back(t.view());
    return out;
}

constexpr std::optional<std::int32_t> absent = std::nullopt;

struct FindCase {
    const char* text;
    const char* what;
    std::optional<std::int32_t> start;
    bool ignore_case;
    std::int32_t expected;
};

TEST(FindText, PositionsWindowsAndCase) {
    const FindCase cases[] = {
        {"abcabc", "c", 4, false, 6},
        {"abc", "c", 0, false, 3},
        {"abc", "c", -5, false, 3},
        {"abc", "c", 4, false, -1},
        {"abc", "", 2, false, 1},  // empty needle: 1, not start
        {"abc", "", 4, false, -1},
        {"", "", absent, false, -1},
        {"ABC", "b", absent, true, 2},
        {"ABC", "b", absent, false, -1},
        {"abc", "abcd", absent, false, -1},
        {"abc", "c", INT32_MAX, false, -1},  // no wrap near the top
        // 0x41 ('A') as the second byte of the pair B0 41 is not an 'A'.
        {"\xB0\x41", "A", absent, false, -1},
        {"\xB0\x41" "A", "A", absent, false, 3},
        {"\xB0\x41" "a", "A", absent, true, 3},
        // A start inside a pair begins the walk there.
        {"\xB0\x41", "A", 2, false, 2},
        // The two-byte needle B8 A3 (GBK for the fortune character) is found
        // only where it begins a character.
        {"\xB0\xB8\xA3", "\xB8\xA3", absent, false, -1},
        {"\xB0\xB8\xB8\xA3", "\xB8\xA3", absent, false, 3},
        // Begun on a second byte, the walk pairs A3 with the next B8 and
        // so steps over the second occurrence.
        {"\xB8\xA3\xB8\xA3", "\xB8\xA3", 2, false, -1},
        {"\xB8\xA3\xB8\xA3", "\xB8\xA3", 3, false, 3},
        // Searching past a lone final lead byte ends the walk.
        {"a\xB0", "\xB0", absent, false, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find_text(Text(c.text), Text(c.what), c.start, c.ignore_case), c.expected)
            << "'" << c.text << "' '" << c.what << "' start " << c.start.value_or(-99);
    }
}

TEST(FindTextReverse, OccurrenceMustEndBeforeStart) {
    const FindCase cases[] = {
        {"a.b.c", ".", 5, false, 4},
        {"a.b.c", ".", 4, false, 2},
        {"a.b.", ".", 4, false, 2},
        {"a.b.", ".", absent, false, 4},
        {"a.b.", ".", 1, false, -1},   // start 1 or less: empty window
        {"a.b.", ".", 0, false, -1},
        {"a.b.", ".", INT32_MIN, false, -1},
        {"a.b.", ".", 99, false, 4},
        {"abc", "", 2, false, 1},
        {"abc", "", 1, false, -1},
        {"aXa", "x", absent, true, 2},
        {"\xB0\x2E" ".", ".", absent, false, 3},  // 2E inside a pair is not a dot
        {"abab", "ab", 4, false, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find_text_reverse(Text(c.text), Text(c.what), c.start, c.ignore_case), c.expected)
            << "'" << c.text << "' '" << c.what << "' start " << c.start.value_or(-99);
    }
}

TEST(Cutting, CountsBytes) {
    EXPECT_EQ(text_left(Text("abc"), 5), Text("abc"));
    EXPECT_EQ(text_left(Text("abc"), 0), Text(""));
    EXPECT_EQ(text_left(Text("abc"), -1), Text(""));
    EXPECT_EQ(text_right(Text("abc"), 0), Text(""));
    EXPECT_EQ(text_right(Text("abc"), 2), Text("bc"));
    EXPECT_EQ(text_right(Text("abc"), INT32_MAX), Text("abc"));
    EXPECT_EQ(text_mid(Text("abcdef"), 3, 2), Text("cd"));
    EXPECT_EQ(text_mid(Text("abc"), 3, 5), Text("c"));
    EXPECT_EQ(text_mid(Text("abc"), 3, INT32_MAX), Text("c"));
    EXPECT_EQ(text_mid(Text("abc"), 4, 1), Text(""));
    EXPECT_EQ(text_mid(Text("abc"), 0, 2), Text(""));
    EXPECT_EQ(text_mid(Text("abc"), 2, 0), Text(""));
    EXPECT_EQ(text_left(Text("\xB0\x41z"), 1), Text("\xB0"));  // may halve a pair
}

struct ReplaceCase {
    const char* text;
    const char* what;
    std::optional<Text> with;
    std::optional<std::int32_t> start;
    std::optional<std::int32_t> count;
    bool case_sensitive;
    const char* expected;
};

TEST(ReplaceText, NonOverlappingAndNeverRescanned) {
    const ReplaceCase cases[] = {
        {"a-b-c", "-", std::nullopt, absent, absent, true, "abc"},
        {"xXx", "x", Text("y"), absent, absent, false, "yyy"},
        {"x-x-x", "x", Text("y"), 2, 1, true, "x-y-x"},
        {"aa", "a", Text("aa"), absent, absent, true, "aaaa"},
        {"aaa", "aa", Text("b"), absent, absent, true, "ba"},
        {"abc", "b", Text("x"), 0, absent, true, "axc"},
        {"abc", "b", Text("x"), 4, absent, true, "abc"},
        {"abc", "b", Text("x"), absent, 0, true, "abc"},
        {"abc", "", Text("x"), absent, absent, true, "abc"},
        {"", "a", Text("x"), absent, absent, true, ""},
        {"abc", "b", Text("x"), INT32_MAX, absent, true, "abc"},
        // The second byte of B0 41 is not replaced.
        {"\xB0\x41" "A", "A", Text("z"), absent, absent, true, "\xB0\x41z"},
        {"\xB0\x41" "a", "A", Text("z"), absent, absent, false, "\xB0\x41z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replace_text(Text(c.text), Text(c.what), c.with, c.start, c.count, c.case_sensitive),
                  Text(c.expected))
            << "'" << c.text << "' '" << c.what << "'";
    }
}

TEST(TrimText, SpacesAndFullWidthSpacesOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"  a b  ", "a b"},
        {"\ta\r\n", "\ta\r\n"},
        {"\xA1\xA1" "a" "\xA1\xA1", "a"},
        {"   ", ""},
        {"\xA1\xA1 \xA1\xA1", ""},
        {"", ""},
        // B0 A1 is one character; the A1 A1 that straddles it is no blank.
        {"a\xB0\xA1\xA1", "a\xB0\xA1\xA1"},
        {"a\xB0\xA1\xA1\xA1", "a\xB0\xA1"},
        {"a\xB0\x20 ", "a\xB0\x20"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(trim_text(Text(in)), Text(out)) << "'" << in << "'";
}

TEST(ToLower, AsciiLettersOnly) {
    EXPECT_EQ(to_lower(Text("AbC-Z@[")), Text("abc-z@["));
    EXPECT_EQ(to_lower(Text("\xB0\x41" "A")), Text("\xB0\x41" "a"));
}

TEST(SplitText, KeepsEmptyMembersButNoEmptyLast) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a;;b", {"a", "", "b"}},
        {";a", {"", "a"}},
        {"a;b;", {"a", "b"}},
        {";", {""}},
        {";;", {"", ""}},
        // 3B as the second byte of B0 3B is no delimiter.
        {"\xB0;a;b", {"\xB0;a", "b"}},
    };
    for (const auto& [in, expected] : cases) EXPECT_EQ(members(split_text(Text(in), Text(";"))), expected) << in;
    EXPECT_EQ(members(split_text(Text("a\r\n\r\nb"), Text("\r\n"))), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(members(split_text(Text("a\nb"), Text("\r\n"))), (std::vector<std::string>{"a\nb"}));
    EXPECT_EQ(members(split_text(Text("a;b"), Text(""))), (std::vector<std::string>{"a;b"}));
    // The full-width semicolon A3 BB as delimiter; its bytes inside other
    // pairs (B0 A3, BB B0) do not split.
    EXPECT_EQ(members(split_text(Text("\xB0\xA3\xBB\xB0" "a\xA3\xBB" "b"), Text("\xA3\xBB"))),
              (std::vector<std::string>{"\xB0\xA3\xBB\xB0" "a", "b"}));
}

TEST(TextToInt, FoldsWrapsAndNeverOverflows) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {" -12x", -12},
        {"abc", 0},
        {"", 0},
        {"+7", 7},
        {"\t\n\v\f\r 5", 5},
        {"2147483647", 2147483647},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"4294967296", 0},
        {"123456789012345678901234567890", 1312754386},  // the value modulo 2^32
        {"-123456789012345678901234567890", -1312754386},
        {"\xA3\xB1\xA3\xB2", 12},              // full-width 1 and 2
        {"\xA1\xA1\xA3\xAD\xA3\xB3", -3},      // full-width space, minus, 3
        {"1\xB0\x31", 1},                       // 31 inside a pair is no digit
        {"- 5", 0},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(text_to_int(Text(in)), out) << "'" << in << "'";
}

// Plain readings of the walking rules, one character at a time, for checking
// the searches that skip ahead to candidates.
std::size_t step_at(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]) >= 0x80 ? 2 : 1; }

bool same_here(std::string_view s, std::size_t i, std::string_view w, bool ignore_case) {
    // The program sets no locale, so tolower changes A to Z alone.
    const auto fold = [&](char c) { return ignore_case && c > 0 ? std::tolower(c) : static_cast<unsigned char>(c); };
    for (std::size_t k = 0; k < w.size(); ++k) {
        if (fold(s[i + k]) != fold(w[k])) return false;
    }
    return true;
}

std::int32_t walked_find(std::string_view s, std::string_view w, std::size_t from, bool ignore_case) {
    for (std::size_t i = from; i + w.size() <= s.size(); i += step_at(s, i)) {
        if (same_here(s, i, w, ignore_case)) return static_cast<std::int32_t>(i + 1);
    }
    return -1;
}

std::vector<std::string> walked_split(std::string_view s, std::string_view d) {
    std::vector<std::string> out;
    std::size_t piece = 0;
    std::size_t i = 0;
    while (i + d.size() <= s.size()) {
        if (same_here(s, i, d, false)) {
            out.emplace_back(s.substr(piece, i - piece));
            i += d.size();
            piece = i;
        } else {
            i += step_at(s, i);
        }
    }
    if (piece < s.size()) out.emplace_back(s.substr(piece));
    return out;
}

TEST(Walking, SkippingAheadAgreesWithAStepByStepWalk) {
    // Few distinct bytes, so that needles recur, straddle pairs and sit as
    // second bytes; B0 and A1 are lead bytes, 'n' and ';' also second bytes.
    constexpr std::string_view alphabet = "nN;a\xB0\xA1";
    std::mt19937 random(20190101);
    const auto random_text = [&](std::size_t max_length) {
        std::string text(random() % (max_length + 1), ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        return text;
    };
    for (int round = 0; round < 4000; ++round) {
        const std::string s = random_text(14);
        std::string w = random_text(3);
        if (w.empty()) w = "n";
        const bool ignore_case = round % 2 == 1;
        const auto start = static_cast<std::int32_t>(random() % 18) - 2;
        const std::size_t from = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
        const std::int32_t expected = from < s.size() ? walked_find(s, w, from, ignore_case) : -1;
        ASSERT_EQ(find_text(Text(s), Text(w), start, ignore_case), expected)
            << "'" << s << "' '" << w << "' start " << start << " ignore_case " << ignore_case;
        ASSERT_EQ(members(split_text(Text(s), Text(w))), walked_split(s, w)) << "'" << s << "' on '" << w << "'";
    }
}

TEST(SmallBuilders, BlanksCodesNumbers) {
    EXPECT_EQ(int_to_text(-5), Text("-5"));
    EXPECT_EQ(int_to_text(0), Text("0"));
    EXPECT_EQ(int_to_text(INT32_MIN), Text("-2147483648"));
    EXPECT_EQ(char_from_code(0), Text(""));
    EXPECT_EQ(char_from_code(0xB0), Text("\xB0"));
    EXPECT_EQ(blank_text(3), Text("   "));
    EXPECT_EQ(blank_text(0), Text(""));
    EXPECT_EQ(bit_or(INT32_MIN, 0x10), static_cast<std::int32_t>(0x80000010));
    EXPECT_EQ(real_mod(-3, 2), -1);
    EXPECT_EQ(real_mod(7, 2), 1);
}

}  // namespace
}  // namespace vt
