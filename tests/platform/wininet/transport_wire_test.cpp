// http_request over the real transport library against loopback servers
// that record the raw request bytes.
#include <gtest/gtest.h>

#include "core/text_operations.h"
#include "http/http_request.h"
#include "tests/platform/wininet/raw_server.h"

namespace vt {
namespace {

std::string head_of(const std::string& request) { return request.substr(0, request.find("\r\n\r\n") + 4); }

TEST(TransportWire, UrlOnlyCallSendsTheDefaultRequest) {
    RawServer server(answer_with(RawServer::response(
        "200 OK", "Set-Cookie: lang=zh; path=/; HttpOnly\r\nset-cookie: y=2\r\nSet-Cookie: x=1\r\n", "picture")));
    const std::string url = server.url("/net/a/36/link?appid=36&url=https://i.example.com/0123456789abcdef");
    Text returned_headers;
    Text returned_cookies;
    const Bytes body = http_request(Text(url), {.returned_cookies = &returned_cookies, .returned_headers = &returned_headers});
    EXPECT_EQ(body, Bytes(std::string_view("picture")));
    ASSERT_EQ(server.requests().size(), 1u);
    const std::string expected_head =
        "GET /net/a/36/link?appid=36&url=https://i.example.com/0123456789abcdef HTTP/1.1\r\n"
        "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
        "Accept: */*\r\n"
        "Referer: " + url + "\r\n"
        "Accept-Language: zh-cn\r\n\r\n";
    EXPECT_EQ(head_of(server.requests()[0]), expected_head);
    EXPECT_TRUE(std::string(returned_headers.view()).starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(std::string(returned_headers.view()).ends_with("\r\n\r\n"));
    EXPECT_EQ(returned_cookies, Text("lang=zh; x=1"));
}

TEST(TransportWire, ObjectIsSentExactlyAsGiven) {
    RawServer server(answer_with(RawServer::response("200 OK", "", "")));
    // Dot segments, escapes in either case and raw GBK bytes (福) all as they stand.
    const std::string object = "/a/../b/./c?u=https://x.example/%25z&durl=http%3A%2F%2Fy&w=%e7&t=\xB8\xA3";
    http_request(Text(server.url(object).c_str()));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].starts_with("GET " + object + " HTTP/1.1\r\n")) << server.requests()[0];
}

TEST(TransportWire, BodiesByVerb) {
    RawServer server(answer_with(RawServer::response("200 OK", "", "ok")));
    http_request(Text(server.url("/post")), {.method = HTTP_POST});
    Bytes put_body;
    http_request(Text(server.url("/put")), {.method = HTTP_PUT, .body_text = Text("a=1"), .body_bytes = &put_body});
    http_request(Text(server.url("/post2")), {.method = HTTP_POST, .body_text = Text("k=v")});
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[0].find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    EXPECT_NE(requests[0].find("Content-Length: 0\r\n"), std::string::npos);
    EXPECT_TRUE(requests[1].starts_with("PUT /put HTTP/1.1\r\n"));
    EXPECT_EQ(requests[1].find("Content-Type"), std::string::npos) << requests[1];
    EXPECT_TRUE(requests[1].ends_with("\r\n\r\na=1"));
    EXPECT_EQ(put_body, Bytes(std::string_view("a=1")));
    EXPECT_TRUE(requests[2].ends_with("\r\n\r\nk=v"));
    for (const auto& r : requests) EXPECT_EQ(r.find("Expect:"), std::string::npos) << r;
}

TEST(TransportWire, HeadWaitsForNoBody) {
    // Claims a body it never sends: a HEAD must not wait for it.
    RawServer server([](const std::string&, int socket) {
        RawServer::send_all(socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
        char byte;
        ::recv(socket, &byte, 1, 0);  // until the client goes
    });
    Text headers;
    const Bytes body = http_request(Text(server.url()), {.method = HTTP_HEAD, .returned_headers = &headers});
    EXPECT_TRUE(body.empty());
    EXPECT_TRUE(std::string(headers.view()).starts_with("HTTP/1.1 200 OK"));
}

TEST(TransportWire, CookiesStoredSentAndKeptOutWhenTheCallerGivesItsOwn) {
    RawServer server([](const std::string& request, int socket) {
        const bool first = request.find("GET /set ") == 0;
        RawServer::send_all(socket, RawServer::response("200 OK", first ? "Set-Cookie: session=42; path=/\r\n" : "", ""));
    });
    http_request(Text(server.url("/set")));
    http_request(Text(server.url("/again")));
    Text own;  // given, even empty: the store stays out
    http_request(Text(server.url("/own")), {.send_cookies = &own});
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[1].find("session=42"), std::string::npos) << requests[0] << requests[1];
    EXPECT_EQ(requests[2].find("Cookie"), std::string::npos) << requests[2];
}

TEST(TransportWire, RedirectsFollowedOrNot) {
    RawServer target(answer_with(RawServer::response("200 OK", "", "final")));
    RawServer redirecting(answer_with(RawServer::response("302 Found", "Location: " + target.url("/there") + "\r\n", "moved")));
    Text headers;
    EXPECT_EQ(http_request(Text(redirecting.url()), {.returned_headers = &headers}), Bytes(std::string_view("final")));
    EXPECT_TRUE(std::string(headers.view()).starts_with("HTTP/1.1 200 OK")) << "headers of the final response only";
    EXPECT_EQ(http_request(Text(redirecting.url()), {.returned_headers = &headers, .no_redirect = true}),
              Bytes(std::string_view("moved")));
    EXPECT_TRUE(std::string(headers.view()).starts_with("HTTP/1.1 302 Found"));
}

TEST(TransportWire, NoContentDecoding) {
    const std::string not_gzip = "plain bytes, not gzip";
    RawServer server(answer_with(RawServer::response("200 OK", "Content-Encoding: gzip\r\n", not_gzip)));
    EXPECT_EQ(http_request(Text(server.url())), Bytes(std::string_view(not_gzip)));
}

TEST(TransportWire, FailuresGiveAnEmptyBodyAndBlankHeaders) {
    int free_port = 0;
    {
        RawServer closed(answer_with(""));
        free_port = closed.port();
    }
    const std::string urls[] = {"http://127.0.0.1:" + std::to_string(free_port) + "/x", "http://nothing.invalid/x"};
    for (const auto& url : urls) {
        Text headers("keep?");
        Text cookies("keep?");
        Text extra;
        const Bytes body = http_request(
            Text(url), {.returned_cookies = &cookies, .extra_headers = &extra, .returned_headers = &headers});
        EXPECT_TRUE(body.empty()) << url;
        EXPECT_EQ(headers, blank_text(5000)) << url;
        EXPECT_EQ(cookies, Text("")) << url;
        EXPECT_EQ(extra, Text(("Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn").c_str())) << url;
    }
}

TEST(TransportWire, HeaderBlockFitsOnlyWithItsZeroByte) {
    // Status line, padding header and the closing empty line, sized exactly.
    auto block_of_size = [](std::size_t size) {
        const std::string status = "HTTP/1.1 200 OK\r\n";
        const std::string fixed = "Content-Length: 2\r\nX-Pad: \r\n\r\n";
        return status + "Content-Length: 2\r\nX-Pad: " + std::string(size - status.size() - fixed.size(), 'p') +
               "\r\n\r\n";
    };
    for (const std::size_t size : {4999u, 5000u}) {
        RawServer server(answer_with(block_of_size(size) + "ok"));
        Text headers;
        const Bytes body = http_request(Text(server.url()), {.returned_headers = &headers});
        EXPECT_EQ(body, Bytes(std::string_view("ok"))) << "the body is read either way";
        if (size == 4999) {
            EXPECT_EQ(text_length(headers), 4999);
        } else {
            EXPECT_EQ(headers, blank_text(5000));
        }
    }
}

TEST(TransportWire, HttpOnlyProxyCarriesPlainHttp) {
    RawServer proxy(answer_with(RawServer::response("200 OK", "", "via proxy")));
    const Bytes body = http_request(Text("http://origin.example/p?q=1"), {.proxy = Text(("127.0.0.1:" + std::to_string(proxy.port())).c_str())});
    EXPECT_EQ(body, Bytes(std::string_view("via proxy")));
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_TRUE(proxy.requests()[0].starts_with("GET http://origin.example/p?q=1 HTTP/1.1\r\n")) << proxy.requests()[0];
}

TEST(TransportWire, HeaderInjectionIsNeverSent) {
    RawServer server(answer_with(RawServer::response("200 OK", "", "x")));
    Text extra("X-A: 1\r\n\r\nGET /smuggled HTTP/1.1");
    Text headers;
    EXPECT_TRUE(http_request(Text(server.url()), {.extra_headers = &extra, .returned_headers = &headers}).empty());
    Text bare_lf("X-A: 1\nX-B: 2");
    EXPECT_TRUE(http_request(Text(server.url()), {.extra_headers = &bare_lf}).empty());
    // The agent text is cut at its line break; the block itself is sound.
    Text agent("a\r\nuser-agent: Foo");
    EXPECT_EQ(http_request(Text(server.url()), {.extra_headers = &agent}), Bytes(std::string_view("x")));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].find("\r\na\r\n"), std::string::npos) << server.requests()[0];
    EXPECT_NE(server.requests()[0].find("\r\nuser-agent: Foo\r\n"), std::string::npos) << server.requests()[0];
    EXPECT_EQ(headers, blank_text(5000));
}

}  // namespace
}  // namespace vt
