#include "core/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "core/fatal_error.h"
#include "core/text_operations.h"

namespace vt {
namespace {

TEST(Text, NeverHoldsAZeroByteAndMissingIsEmpty) {
    EXPECT_EQ(Text(std::string_view("a\0b", 3)), Text("a"));
    EXPECT_EQ(Text(nullptr), Text(""));
    EXPECT_EQ(text_length(Text(nullptr)), 0);
    Text t("x");
    t.append(std::string_view("y\0z", 3));
    EXPECT_EQ(t, Text("xy"));
    EXPECT_EQ(bytes_to_text(Bytes(std::string_view("a\0b", 3))), Text("a"));
    EXPECT_EQ(bytes_to_text(Bytes(std::string_view("\0b", 2))), Text(""));
    EXPECT_EQ(bytes_to_text(Bytes(std::string_view("ab"))), Text("ab"));
}

TEST(Text, CompareIsUnsignedBytewise) {
    EXPECT_LT(compare_text(Text("a"), Text("ab")), 0);
    EXPECT_GT(compare_text(Text("b"), Text("ab")), 0);
    EXPECT_EQ(compare_text(Text(nullptr), Text("")), 0);
    EXPECT_GT(compare_text(Text("\xB0"), Text("a")), 0);  // 0xB0 above 'a'
    EXPECT_LT(compare_text(Text("A"), Text("a")), 0);
}

TEST(Text, Concatenation) {
    EXPECT_EQ(concat_text(Text("a"), Text(""), Text("b")), Text("ab"));
    EXPECT_EQ(concat_text(Text(""), ""), Text(""));
    EXPECT_EQ(concat_text(Text("x"), "=", std::string_view("1")), Text("x=1"));
}

TEST(Bytes, OperationsAndBounds) {
    EXPECT_EQ(bytes_length(blank_bytes(0)), 0);
    EXPECT_EQ(blank_bytes(3), Bytes(std::string_view("\0\0\0", 3)));
    EXPECT_EQ(bytes_length(blank_bytes(-2)), 0);
    EXPECT_EQ(bytes_left(Bytes(std::string_view("abc")), 2), Bytes(std::string_view("ab")));
    EXPECT_EQ(bytes_left(Bytes(std::string_view("abc")), 9), Bytes(std::string_view("abc")));
    EXPECT_TRUE(bytes_left(Bytes(std::string_view("abc")), 0).empty());
    EXPECT_TRUE(concat_bytes(Bytes(), Bytes()).empty());
    EXPECT_EQ(concat_bytes(Bytes(std::string_view("a\0", 2)), Bytes(std::string_view("b"))),
              Bytes(std::string_view("a\0b", 3)));
    EXPECT_TRUE(bytes_equal(Bytes(), Bytes(std::string_view(""))));
    EXPECT_FALSE(bytes_equal(Bytes(std::string_view("a")), Bytes(std::string_view("a\0", 2))));
    EXPECT_EQ(text_to_bytes(Text("hi")), Bytes(std::string_view("hi")));
}

TEST(Bytes, GrowingInPlaceKeepsTheBuffer) {
    Bytes body;
    body = concat_bytes(std::move(body), Bytes(std::string_view("abc")));
    const std::uint8_t* before = nullptr;
    for (int i = 0; i < 64; ++i) body = concat_bytes(std::move(body), Bytes(std::string_view("x")));
    before = body.data();
    // Grown in place: moving the body through concat_bytes does not copy it.
    Bytes same = concat_bytes(std::move(body), Bytes());
    EXPECT_EQ(same.data(), before);
    EXPECT_EQ(bytes_length(same), 67);
}

TEST(Bytes, GrowingByItsOwnBytes) {
    Bytes body(std::string_view("ab\0c", 4));
    body = concat_bytes(std::move(body), body);  // the growth moves the storage being read
    EXPECT_EQ(body, Bytes(std::string_view("ab\0cab\0c", 8)));
}

TEST(TextArray, AppendAndGet) {
    TextArray a;
    EXPECT_EQ(array_size(a), 0);
    array_append(a, Text("x"));
    array_append(a, Text(""));
    EXPECT_EQ(array_size(a), 2);
    EXPECT_EQ(array_get(a, 1), Text("x"));
    EXPECT_EQ(array_get(a, 2), Text(""));
}

using ArrayGetDeathTest = ::testing::Test;

TEST(ArrayGetDeathTest, OutOfRangeEndsWithStatus255AndTheFault) {
    const TextArray empty;
    // Below 1 is tested first: index 0 of an empty array is code 4.
    EXPECT_EXIT(array_get(empty, 0), ::testing::ExitedWithCode(255), "code: 4\n.*below 1");
    EXPECT_EXIT(array_get(empty, INT32_MIN), ::testing::ExitedWithCode(255), "code: 4");
    const TextArray two = split_text(Text("a;b"), Text(";"));
    EXPECT_EXIT(array_get(two, 3), ::testing::ExitedWithCode(255), "code: 1\n.*above");
    EXPECT_EXIT(fatal_error("the window layout data could not be loaded"), ::testing::ExitedWithCode(255),
                "run-time error occurred.\nthe window layout data could not be loaded");
}

bool box_on_stderr(const char* caption, const char* message) {
    std::fprintf(stderr, "[box] %s | %s [closed]", caption, message);
    return true;
}

bool no_display(const char*, const char*) { return false; }

TEST(FatalErrorDeathTest, ShowsTheInstalledBoxOrFallsBackToStandardError) {
    EXPECT_EXIT(
        {
            install_error_box(box_on_stderr);
            fatal_runtime_error(1);
        },
        ::testing::ExitedWithCode(255),
        "^\\[box\\] Error \\| A run-time error occurred.\nError code: 1\n"
        "An array index is above the array's defined range. \\[closed\\]$");
    // A box that cannot be shown leaves the same text on standard error.
    EXPECT_EXIT(
        {
            install_error_box(no_display);
            fatal_error("a platform function could not be bound");
        },
        ::testing::ExitedWithCode(255), "^Error: A run-time error occurred.\na platform function could not be bound\n$");
}

TEST(FatalErrorDeathTest, EndsAtOnceWithoutExitHandlersDestructorsOrFlushes) {
    struct SaysWhenDestroyed {
        ~SaysWhenDestroyed() { std::fputs("destructor ran", stderr); }
    };
    const auto ends_abruptly = [] {
        static char buffer[256];
        std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);  // only a flush would show what follows
        std::fputs("buffered output", stderr);
        std::atexit([] { std::fputs("exit handler ran", stderr); });
        static SaysWhenDestroyed kept_until_exit;
        SaysWhenDestroyed in_scope;
        fatal_runtime_error(4);
    };
    using ::testing::HasSubstr;
    using ::testing::Not;
    EXPECT_EXIT(ends_abruptly(), ::testing::ExitedWithCode(255),
                ::testing::AllOf(HasSubstr("Error code: 4\nAn array index is below 1."), Not(HasSubstr("buffered")),
                                 Not(HasSubstr("ran"))));
}

}  // namespace
}  // namespace vt
