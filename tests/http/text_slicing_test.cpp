#include "http/text_slicing.h"

#include <gtest/gtest.h>

namespace vt {
namespace {

TEST(TextSlicing, TextBetween) {
    const struct {
        const char* text;
        const char* left;
        const char* right;
        const char* expected;
    } cases[] = {
        {"Set-Cookie: a=1; path=/", "Set-Cookie:", ";", " a=1"},
        {"Set-Cookie: a=1", "Set-Cookie:", ";", ""},
        {"https://a.b/c", "https://", "/", "a.b"},
        {"ab", "a", "b", ""},
        {"a\"q\"b", QUOTE_MARKER, QUOTE_MARKER, "q"},
        {"abc", "a", "", ""},
        {"x.y.z", ".", ".", "y"},
        {"no markers", "[", "]", ""},
        {"]x[", "[", "]", ""},  // the right marker is only looked for after the left
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text_between(Text(c.text), Text(c.left), Text(c.right)), Text(c.expected)) << c.text;
    }
    const Text left(QUOTE_MARKER);
    text_between(Text("a\"q\"b"), left, left);
    EXPECT_EQ(left, Text(QUOTE_MARKER)) << "the caller's markers stay";
}

TEST(TextSlicing, AfterColonBeforeAndCookieName) {
    EXPECT_EQ(text_after_colon(Text("Content-Type:  text/html ")), Text("text/html"));
    EXPECT_EQ(text_after_colon(Text("a:b:c")), Text("b:c"));
    EXPECT_EQ(text_after_colon(Text("abc")), Text(""));
    EXPECT_EQ(text_after_colon(Text("abc:")), Text(""));
    EXPECT_EQ(text_after_colon(Text("a:\tb\r\n")), Text("\tb\r\n"));

    EXPECT_EQ(text_before(Text("Set-Cookie: a=1"), Text(": ")), Text("Set-Cookie"));
    EXPECT_EQ(text_before(Text("a:b:c"), Text(":"), 3), Text("a:b"));
    EXPECT_EQ(text_before(Text(":x"), Text(":")), Text(""));
    EXPECT_EQ(text_before(Text("abc"), Text(":")), Text(""));
    EXPECT_EQ(text_before(Text("a:b"), Text(":"), -4), Text("a"));

    const std::pair<const char*, const char*> names[] = {
        {" a=1", "a"}, {"b", "b"}, {" path = / ", "path"}, {"=x", ""}, {"a==1", "a"}, {"", ""},
    };
    for (const auto& [member, name] : names) EXPECT_EQ(cookie_name(Text(member)), Text(name)) << member;
}

}  // namespace
}  // namespace vt
