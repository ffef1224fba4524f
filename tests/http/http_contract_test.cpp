// What http_request passes to each transport operation and how it reads
// the answers, recorded by the fake transport beside this executable.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "core/text_operations.h"
#include "http/http_request.h"
#include "shell/binding/platform_functions.h"
#include "tests/http/fake_transport/fake_transport.h"

namespace vt {
namespace {

std::vector<std::string> run(const fake::Settings& settings, const Text& url, const HttpRequestOptions& options = {},
                             Bytes* result = nullptr) {
    // The fake is bound through the table, like the real transport.
    auto* library = static_cast<void*>(PLATFORM_FUNCTIONS[PF_INTERNET_OPEN].library_handle.load());
    if (!library) {
        platform_function_address(PF_INTERNET_OPEN);
        library = PLATFORM_FUNCTIONS[PF_INTERNET_OPEN].library_handle.load();
    }
    reinterpret_cast<fake::ResetFunction*>(dlsym(library, "fake_transport_reset"))(settings);
    Bytes body = http_request(url, options);
    if (result) *result = std::move(body);
    return *reinterpret_cast<fake::LogFunction*>(dlsym(library, "fake_transport_log"))();
}

const std::string AGENT = "\"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\"";

TEST(HttpContract, UrlOnlyHttpCall) {
    const fake::Settings served{.body = std::string(2500, 'b'), .header_block = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\n"};
    Bytes body;
    const auto log = run(served, Text("http://img.example.com/p?q=1"), {}, &body);
    const std::vector<std::string> expected = {
        "open " + AGENT + " 1 none none 0",
        "connect 1 \"img.example.com\" 80 none none 3 0 0",
        "request 2 \"GET\" \"/p?q=1\" \"HTTP/1.1\" none none 0x80004010 0",
        "send 3 \"Accept: */*\r\nReferer: http://img.example.com/p?q=1\r\nAccept-Language: zh-cn\" 74 \"\" 0",
        "read 1024 1024",
        "read 1024 1024",
        "read 1024 452",
        "read 1024 0",
        "query 22 5000 none",
        "close 3",
        "close 2",
        "close 1",
    };
    EXPECT_EQ(log, expected);
    EXPECT_EQ(body, Bytes(std::string_view(served.body)));
}

TEST(HttpContract, ReadCountBeyondTheBufferEndsTheBody) {
    // A transport that claims more bytes than the buffer holds must not make
    // the body read past it.
    const fake::Settings served{.body = "abc", .claimed_count = 4096};
    Bytes body(std::string_view("keep"));
    const auto log = run(served, Text("http://a.example/"), {}, &body);
    EXPECT_EQ(log[4], "read 1024 4096");
    EXPECT_EQ(log[5], "query 22 5000 none");
    EXPECT_EQ(body, Bytes());
}

TEST(HttpContract, FlagsPortsAndProxies) {
    const fake::Settings served{};
    auto log = run(served, Text("HTTPS://a.example/x"));
    EXPECT_EQ(log[1], "connect 1 \"a.example\" 443 none none 3 0 0");
    EXPECT_NE(log[2].find(" 0x80800010 "), std::string::npos) << log[2];
    // No scheme, five letters "https": port 443, but plain http flags.
    log = run(served, Text("httpsfoo.example/x"));
    EXPECT_EQ(log[1], "connect 1 \"httpsfoo.example\" 443 none none 3 0 0");
    EXPECT_NE(log[2].find(" 0x80004010 "), std::string::npos) << log[2];
    Text cookies;
    log = run(served, Text("http://a.example/"), {.send_cookies = &cookies, .no_redirect = true});
    EXPECT_NE(log[2].find(" 0x80284010 "), std::string::npos) << log[2];
    log = run(served, Text("http://a.example/"), {.proxy = Text("proxy.example.com:3128")});
    EXPECT_EQ(log[0], "open " + AGENT + " 3 \"http=proxy.example.com:3128\" \"\" 0");
    log = run(served, Text("https://a.example/"), {.proxy = Text("proxy.example.com:3128")});
    EXPECT_EQ(log[0], "open " + AGENT + " 3 \"proxy.example.com:3128\" \"\" 0");
}

TEST(HttpContract, VerbsAndBodies) {
    const fake::Settings served{};
    auto log = run(served, Text("http://a.example/"), {.method = 8});
    EXPECT_NE(log[2].find("\"GET\""), std::string::npos);
    EXPECT_TRUE(log[3].ends_with("\"\" 0")) << log[3];
    log = run(served, Text("http://a.example/"), {.method = HTTP_POST});
    EXPECT_NE(log[3].find("\r\nContent-Type: application/x-www-form-urlencoded\""), std::string::npos) << log[3];
    EXPECT_TRUE(log[3].ends_with(" none 0")) << log[3];
    Bytes body;
    log = run(served, Text("http://a.example/"), {.method = HTTP_PUT, .body_text = Text("a=1"), .body_bytes = &body});
    EXPECT_TRUE(log[3].ends_with(" \"a=1\" 3")) << log[3];
    EXPECT_EQ(log[3].find("Content-Type"), std::string::npos);
    EXPECT_EQ(body, Bytes(std::string_view("a=1")));
}

TEST(HttpContract, HeaderBlockRules) {
    const fake::Settings served{};
    Text extra("accept: text/html");
    run(served, Text("http://a.example/"), {.extra_headers = &extra});
    EXPECT_EQ(extra, Text("accept: text/html\r\nAccept: */*\r\nReferer: http://a.example/\r\nAccept-Language: zh-cn"));
    extra = Text("User-Agent: Foo/1.0");
    auto log = run(served, Text("http://a.example/"), {.extra_headers = &extra});
    EXPECT_EQ(log[0], "open \"Foo/1.0\" 1 none none 0");
    extra = Text("User-Agent:");
    log = run(served, Text("http://a.example/"), {.extra_headers = &extra});
    EXPECT_EQ(log[0], "open \"\" 1 none none 0");
    extra = Text("Accept: a\r\nuser-agent: Foo");
    log = run(served, Text("http://a.example/"), {.extra_headers = &extra});
    EXPECT_EQ(log[0], "open \"a\r\nuser-agent: Foo\" 1 none none 0");
    Text cookies("a=1; b=2");
    extra = Text();
    run(served, Text("http://a.example/"), {.send_cookies = &cookies, .extra_headers = &extra});
    EXPECT_TRUE(std::string(extra.view()).ends_with("\r\nCookie: a=1; b=2"));
    cookies = Text("Cookie: a=1");
    extra = Text();
    run(served, Text("http://a.example/"), {.send_cookies = &cookies, .extra_headers = &extra});
    EXPECT_TRUE(std::string(extra.view()).ends_with("zh-cn\r\nCookie: a=1"));
}

TEST(HttpContract, FailedOpensCloseInReverseAndWriteNothing) {
    const struct {
        fake::Settings settings;
        std::vector<std::string> closes;
    } cases[] = {
        {{.fail_open = true}, {}},
        {{.fail_connect = true}, {"close 1"}},
        {{.fail_open_request = true}, {"close 2", "close 1"}},
    };
    for (const auto& c : cases) {
        Text extra("X: 1"), headers("keep"), cookies("keep");
        Bytes body(std::string_view("keep"));
        const auto log = run(c.settings, Text("http://a.example/"),
                             {.method = HTTP_POST, .returned_cookies = &cookies, .extra_headers = &extra,
                              .returned_headers = &headers, .body_bytes = &body});
        std::vector<std::string> closes;
        for (const auto& line : log)
            if (line.starts_with("close")) closes.push_back(line);
        EXPECT_EQ(closes, c.closes);
        EXPECT_EQ(extra, Text("X: 1"));
        EXPECT_EQ(headers, Text("keep"));
        EXPECT_EQ(cookies, Text("keep"));
        EXPECT_EQ(body, Bytes(std::string_view("keep")));
    }
}

TEST(HttpContract, ResponseHeadersAndCookies) {
    Text headers, cookies;
    fake::Settings served{.header_block =
                              "HTTP/1.1 200 OK\r\nSet-Cookie: lang=zh; path=/; HttpOnly\r\nset-cookie: y=2\r\nSet-Cookie: x=1\r\n\r\n"};
    run(served, Text("http://a.example/"), {.returned_cookies = &cookies, .returned_headers = &headers});
    EXPECT_EQ(cookies, Text("lang=zh; x=1"));
    EXPECT_EQ(headers, Text(served.header_block.c_str()));

    served.header_block = "HTTP/1.1 200 OK\r\nX: " + std::string(5000, 'x') + "\r\nSet-Cookie: a=1\r\n\r\n";
    run(served, Text("http://a.example/"), {.returned_cookies = &cookies, .returned_headers = &headers});
    EXPECT_EQ(headers, blank_text(5000)) << "too large for 5000 bytes";
    EXPECT_EQ(cookies, Text(""));

    Text sent("a=1; b=2");
    served.header_block = "HTTP/1.1 200 OK\r\nSet-Cookie: b=3\r\nSet-Cookie: c=4\r\n\r\n";
    run(served, Text("http://a.example/"), {.send_cookies = &sent, .returned_cookies = &cookies});
    EXPECT_EQ(cookies, Text("b=3; c=4;a=1"));
    EXPECT_EQ(sent, Text("b=3; c=4;a=1"));
    // Given empty is not left out: no Cookie line, the store is bypassed and
    // the merge still runs.
    sent = Text();
    Text extra;
    const auto log = run(served, Text("http://a.example/"),
                         {.send_cookies = &sent, .returned_cookies = &cookies, .extra_headers = &extra});
    EXPECT_NE(log[2].find(" 0x80084010 "), std::string::npos) << log[2];
    EXPECT_EQ(find_text(extra, Text("Cookie:"), std::nullopt, false), -1);
    EXPECT_EQ(sent, Text("b=3; c=4"));
    sent = Text("a=1");
    run(served, Text("http://a.example/"), {.send_cookies = &sent, .returned_cookies = &cookies, .merge_returned_cookies = false});
    EXPECT_EQ(cookies, Text("b=3; c=4"));
    EXPECT_EQ(sent, Text("a=1"));
}

}  // namespace
}  // namespace vt
