#include "pictures/pick_line.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <string_view>

#include "resources/builtin_data.h"

namespace vt {
namespace {

TEST(PickLine, FirstAndLastLineOfThePictureList) {
    const std::string_view list(reinterpret_cast<const char*>(PICTURE_LIST.data()), PICTURE_LIST.size());
    const Text text(list);
    const std::string_view first = list.substr(0, list.find("\r\n"));
    const std::string_view last = list.substr(list.rfind("\r\n") + 2);
    EXPECT_EQ(pick_line(text, 1).view(), first);
    EXPECT_EQ(pick_line(text, 423).view(), last);
    for (const std::int32_t outside : {424, 0, -1, std::numeric_limits<std::int32_t>::min()}) {
        EXPECT_EQ(pick_line(text, outside).view(), "") << outside;
    }
}

TEST(PickLine, CountsLinesAsTheSplitDoes) {
    struct Case {
        std::string_view text;
        std::int32_t line;
        std::string_view expected;
    };
    const Case cases[] = {
        {"a\r\n\r\nb", 1, "a"},
        {"a\r\n\r\nb", 2, ""},  // two separators enclose an empty line
        {"a\r\n\r\nb", 3, "b"},
        {"a\r\n\r\nb", 4, ""},
        {"a\r\n", 1, "a"},
        {"a\r\n", 2, ""},  // no line after a final separator
        {"\r\nb", 1, ""},
        {"\r\nb", 2, "b"},
        {"a\nb", 1, "a\nb"},  // a lone LF separates nothing
        {"a\nb", 2, ""},
        {"a\rb\r\nc", 1, "a\rb"},
        {"", 1, ""},
        {"", 0, ""},
        {"\xb8\xa3\r\nx", 2, "x"},  // a two-byte character before the separator
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pick_line(Text(c.text), c.line).view(), c.expected)
            << "line " << c.line << " of \"" << std::string(c.text) << '"';
    }
}

}  // namespace
}  // namespace vt
