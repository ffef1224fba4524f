#include "http/cookie_merge.h"

#include <gtest/gtest.h>

#include "core/text_operations.h"

namespace vt {
namespace {

TEST(CookieMerge, WorkedExamples) {
    const struct {
        const char* sent;
        const char* returned;
        const char* merged;
        const char* returned_after;
    } cases[] = {
        {"a=1; b=2", "b=3; c=4", "b=3; c=4;a=1", "b=3; c=4"},
        {"a=1; b=2", "b=deleted", "a=1", "b=deleted"},
        {"a=1; b=2", "", "a=1; b=2", ""},
        {"", "x=1; y=2", "x=1; y=2", "x=1; y=2"},
        {"", "", "", ""},
        {"", "x=1;x=1", "x=1", "x=1;x=1"},
        {"a=1;a=2", "", "a=1", ""},
        {"a=1", "  c=1 ", "c=1;a=1", "c=1"},
        {"  a=1  ", "", "a=1", ""},
    };
    for (const auto& c : cases) {
        Text sent(c.sent);
        Text returned(c.returned);
        const Text merged = merge_cookies(sent, returned);
        EXPECT_EQ(merged, Text(c.merged)) << c.sent << " | " << c.returned;
        EXPECT_EQ(sent, Text(c.merged)) << "the sent cookies become the merge";
        EXPECT_EQ(returned, Text(c.returned_after)) << "the returned cookies are left trimmed";
    }
}

TEST(CookieMerge, Helpers) {
    EXPECT_EQ(dedupe_members(Text("a;b;a;;c;"), Text(";")), Text("a;b;;c"));
    EXPECT_EQ(dedupe_members(Text(" a=1;a=1"), Text(";")), Text(" a=1;a=1"));
    EXPECT_EQ(dedupe_members(Text("x, y, x"), Text(", ")), Text("x, y"));
    EXPECT_EQ(dedupe_members(Text(""), Text(";")), Text(""));
    const TextArray list = split_text(Text("a;b;b"), Text(";"));
    EXPECT_EQ(find_member(list, Text("b")), 2);
    EXPECT_EQ(find_member(list, Text("B")), -1);
    EXPECT_EQ(find_member(TextArray(), Text("")), -1);
    const TextArray cookies = split_text(Text("a=1; b=2"), Text(";"));
    EXPECT_TRUE(has_cookie(cookies, Text("b")));
    EXPECT_FALSE(has_cookie(cookies, Text(" b")));
    EXPECT_FALSE(has_cookie(TextArray(), Text("")));
}

}  // namespace
}  // namespace vt
