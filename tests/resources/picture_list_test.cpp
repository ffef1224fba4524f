// Checks the form of the built-in picture list on the bytes the program
// carries: the refresh draws line numbers 1 to 423 and sends each line
// unencoded after a query, so any slip in count, separators or characters
// would send broken requests.
#include "resources/builtin_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"

namespace vt {
namespace {

constexpr std::size_t LIST_BYTES = 34814;
constexpr std::size_t LIST_LINES = 423;

std::string_view list_chars() {
    return {reinterpret_cast<const char*>(PICTURE_LIST.data()), PICTURE_LIST.size()};
}

// Every piece between CR LF separators, an empty last piece included.
std::vector<std::string_view> split_at_crlf(std::string_view all) {
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t end = all.find("\r\n", start);
        pieces.push_back(all.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return pieces;
        start = end + 2;
    }
}

struct Line {
    std::string_view whole;
    std::string host;
    bool app_shape = false;
    bool has_suffix = false;
    std::string second_address;  // as stored, still encoded
};

bool all_of_class(std::string_view s, std::string_view allowed) {
    return s.find_first_not_of(allowed) == std::string_view::npos;
}

constexpr std::string_view LOWER_HEX = "0123456789abcdef";
constexpr std::string_view DIGITS = "0123456789";

// "/" and 16 lowercase hex digits.
bool is_short_path(std::string_view path) {
    return path.size() == 17 && path[0] == '/' && all_of_class(path.substr(1), LOWER_HEX);
}

// "/app/a/", 9 digits, "/", hex groups of 16, 16 and 32 joined by "-", ".jpg".
bool is_app_path(std::string_view path) {
    return path.size() == 87 && path.starts_with("/app/a/") && all_of_class(path.substr(7, 9), DIGITS) &&
           path[16] == '/' && all_of_class(path.substr(17, 16), LOWER_HEX) && path[33] == '-' &&
           all_of_class(path.substr(34, 16), LOWER_HEX) && path[50] == '-' &&
           all_of_class(path.substr(51, 32), LOWER_HEX) && path.substr(83) == ".jpg";
}

// "https://" host path, with an optional "&durl=" and a second address.
std::vector<Line> parse_lines() {
    constexpr std::string_view scheme = "https://";
    constexpr std::string_view suffix = "&durl=";
    std::vector<Line> lines;
    for (const std::string_view piece : split_at_crlf(list_chars())) {
        Line line;
        line.whole = piece;
        const std::size_t path_start = piece.find('/', scheme.size());
        if (!piece.starts_with(scheme) || path_start == std::string_view::npos) {
            ADD_FAILURE() << "not an absolute https address: " << piece;
            continue;
        }
        const std::size_t suffix_start = piece.find(suffix);
        const std::string_view host = piece.substr(scheme.size(), path_start - scheme.size());
        const std::string_view path = piece.substr(path_start, suffix_start - path_start);
        line.host = host;
        line.app_shape = is_app_path(path);
        line.has_suffix = suffix_start != std::string_view::npos;
        if (line.has_suffix) line.second_address = piece.substr(suffix_start + suffix.size());
        const bool in_form = !host.empty() && all_of_class(host, "abcdefghijklmnopqrstuvwxyz0123456789.-") &&
                             (line.app_shape || is_short_path(path));
        EXPECT_TRUE(in_form) << "line out of form: " << piece;
        lines.push_back(std::move(line));
    }
    return lines;
}

bool is_reserved_example_host(std::string_view host) {
    for (const std::string_view reserved : {"example", "example.com", "example.net", "example.org"}) {
        if (host == reserved) return true;
        if (host.size() > reserved.size() && host.ends_with(reserved) && host[host.size() - reserved.size() - 1] == '.') {
            return true;
        }
    }
    return false;
}

TEST(PictureList, BytesAndSeparators) {
    const std::string_view all = list_chars();
    EXPECT_EQ(all.size(), LIST_BYTES);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const char c = all[i];
        if (c == '\r' || c == '\n') {
            // CR and LF come only as the pair CR LF.
            const bool in_pair = c == '\r' ? i + 1 < all.size() && all[i + 1] == '\n' : i > 0 && all[i - 1] == '\r';
            EXPECT_TRUE(in_pair) << "stray line break at " << i;
            continue;
        }
        // Printable ASCII leaves out NUL, tab and space by itself.
        EXPECT_TRUE(c > ' ' && c < 0x7F && c != '?' && c != '#') << "byte " << int(c) << " at " << i;
    }
    // Nothing is lost when the list becomes text.
    EXPECT_EQ(text_length(bytes_to_text(Bytes(PICTURE_LIST))), static_cast<std::int32_t>(LIST_BYTES));
}

TEST(PictureList, LinesDistinctNonEmptyAndNoneAfterTheLast) {
    const std::vector<std::string_view> pieces = split_at_crlf(list_chars());
    EXPECT_EQ(pieces.size(), LIST_LINES);
    for (std::size_t i = 0; i < pieces.size(); ++i) EXPECT_FALSE(pieces[i].empty()) << "empty line " << i + 1;
    EXPECT_EQ(std::set<std::string_view>(pieces.begin(), pieces.end()).size(), pieces.size());
}

TEST(PictureList, ShapesHostsAndLengths) {
    const std::vector<Line> lines = parse_lines();
    int short_shape = 0, app_shape = 0, short_with_suffix = 0, app_with_suffix = 0;
    std::set<std::string> hosts;
    std::size_t shortest = SIZE_MAX, longest = 0;
    for (const Line& line : lines) {
        ++(line.app_shape ? app_shape : short_shape);
        if (line.has_suffix) ++(line.app_shape ? app_with_suffix : short_with_suffix);
        hosts.insert(line.host);
        const std::size_t n = line.whole.size();
        if (line.has_suffix) {
            EXPECT_TRUE(n >= 98 && n <= 320) << n << ": " << line.whole;
        } else {
            EXPECT_TRUE(n >= 47 && n <= 113) << n << ": " << line.whole;
        }
        shortest = std::min(shortest, n);
        longest = std::max(longest, n);
    }
    EXPECT_EQ(short_shape, 379);
    EXPECT_EQ(app_shape, 44);
    EXPECT_EQ(short_with_suffix, 78);
    EXPECT_EQ(app_with_suffix, 22);
    EXPECT_EQ(shortest, 47u);
    EXPECT_EQ(longest, 320u);
    EXPECT_EQ(hosts.size(), 12u);
    for (const std::string& host : hosts) EXPECT_TRUE(is_reserved_example_host(host)) << host;
}

TEST(PictureList, SecondAddresses) {
    // '%' may only open one of these escapes; the characters they stand for
    // never appear raw, and no '&' starts a further parameter.
    const std::set<std::string> allowed_escapes = {"%3A", "%2F", "%3F", "%3D", "%21", "%25"};
    std::set<std::string> escapes_used;
    int http = 0, https = 0;
    for (const Line& line : parse_lines()) {
        if (!line.has_suffix) continue;
        const std::string& second = line.second_address;
        if (second.starts_with("http%3A%2F%2F")) ++http;
        if (second.starts_with("https%3A%2F%2F")) ++https;
        EXPECT_TRUE(second.size() >= 45 && second.size() <= 267) << second.size() << ": " << second;
        EXPECT_NE(second.find("%25"), std::string::npos) << second;
        EXPECT_EQ(second.find_first_of(":/=!&"), std::string::npos) << second;
        for (std::size_t at = second.find('%'); at != std::string::npos; at = second.find('%', at + 1)) {
            escapes_used.insert(second.substr(at, 3));
        }
    }
    EXPECT_EQ(http, 92);
    EXPECT_EQ(https, 8);
    EXPECT_EQ(escapes_used, allowed_escapes);
}

}  // namespace
}  // namespace vt
