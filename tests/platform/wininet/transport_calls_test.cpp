// The transport's operations called directly, against loopback servers that
// record the raw request bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/platform/wininet/child_process.h"
#include "tests/platform/wininet/raw_server.h"
#include "tests/platform/wininet/transport_calls.h"

namespace vt {
namespace {

std::string head_of(const std::string& request) { return request.substr(0, request.find("\r\n\r\n") + 4); }

std::uint16_t port_of(const RawServer& server) { return static_cast<std::uint16_t>(server.port()); }

TEST(TransportHandles, BadOrClosedHandlesFailWithoutHarm) {
    const TransportCalls& calls = transport();
    InternetHandle internet = calls.open("agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    InternetHandle connection = calls.connect(internet, "127.0.0.1", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    InternetHandle request = calls.open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);
    ASSERT_NE(internet, nullptr);
    ASSERT_NE(connection, nullptr);
    ASSERT_NE(request, nullptr);
    EXPECT_TRUE(internet != connection && connection != request && internet != request);

    InternetHandle closed = calls.open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);
    EXPECT_EQ(calls.close(closed), 1);
    EXPECT_EQ(calls.close(closed), 0) << "a handle closes once";

    struct Case {
        const char* what;
        InternetHandle handle;
    };
    const Case not_requests[] = {{"null", nullptr},
                                 {"made up", reinterpret_cast<InternetHandle>(std::uintptr_t{0xdeadbeef})},
                                 {"closed", closed},
                                 {"a connection", connection},
                                 {"an Internet handle", internet}};
    for (const Case& bad : not_requests) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(calls.send(bad.handle, "", 0, nullptr, 0), 0);
        char buffer[16] = "untouched";
        std::uint32_t count = 77;
        EXPECT_EQ(calls.read(bad.handle, buffer, sizeof buffer, &count), 0);
        EXPECT_EQ(count, 0u) << "the count is zeroed before anything else";
        std::uint32_t length = sizeof buffer;
        EXPECT_EQ(calls.query(bad.handle, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &length, nullptr), 0);
        EXPECT_STREQ(buffer, "untouched");
    }
    EXPECT_EQ(calls.connect(request, "h", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0), nullptr);
    EXPECT_EQ(calls.connect(closed, "h", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0), nullptr);
    EXPECT_EQ(calls.open_request(internet, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(calls.open_request(request, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0), nullptr);

    // Closing the parent first leaves the child usable until it is closed.
    EXPECT_EQ(calls.close(internet), 1);
    EXPECT_EQ(calls.close(connection), 1);
    std::uint32_t count = 5;
    char byte;
    EXPECT_EQ(calls.read(request, &byte, 1, &count), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(calls.close(request), 1);
}

TEST(TransportHandles, OpeningDoesNoNetworkWork) {
    const TransportCalls& calls = transport();
    RawServer server(answer_with(RawServer::response("200 OK", "", "late")));
    for (const char* host : {"nothing.invalid", "127.0.0.1"}) {
        SCOPED_TRACE(host);
        InternetHandle internet = calls.open("agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        InternetHandle connection =
            calls.connect(internet, host, port_of(server), nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        InternetHandle request = calls.open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);
        ASSERT_NE(request, nullptr) << "no name resolution before the send";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(server.requests().empty());
        const bool reachable = std::string_view(host) == "127.0.0.1";
        EXPECT_EQ(calls.send(request, "", 0, nullptr, 0), reachable ? 1 : 0);
        EXPECT_EQ(server.requests().size(), reachable ? 1u : 0u);
        calls.close(request);
        calls.close(connection);
        calls.close(internet);
    }
}

TEST(TransportQuery, RawHeadersAreWrittenOnlyWhenTheyFitWithTheirZeroByte) {
    // Bare LF line ends from the server come back as CR LF.
    RawServer server(answer_with("HTTP/1.1 200 OK\nContent-Length: 2\nX-A: 1\n\nok"));
    const std::string block = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nX-A: 1\r\n\r\n";
    const TransportCalls& calls = transport();
    InternetHandle internet = calls.open("agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    InternetHandle connection =
        calls.connect(internet, "127.0.0.1", port_of(server), nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    InternetHandle request = calls.open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);

    std::string buffer(100, '#');
    std::uint32_t length = 100;
    EXPECT_EQ(calls.query(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr), 0)
        << "no response before the send";
    ASSERT_EQ(calls.send(request, "", 0, nullptr, 0), 1);

    length = static_cast<std::uint32_t>(block.size());  // one short: the zero byte does not fit
    EXPECT_EQ(calls.query(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr), 0);
    EXPECT_EQ(buffer, std::string(100, '#'));
    EXPECT_EQ(length, block.size() + 1) << "the length needed";
    EXPECT_EQ(calls.query(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr), 0);

    length = static_cast<std::uint32_t>(block.size() + 1);
    ASSERT_EQ(calls.query(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr), 1);
    EXPECT_EQ(buffer.substr(0, block.size() + 2), block + std::string(1, '\0') + "#");
    EXPECT_EQ(length, block.size());

    length = 100;
    EXPECT_EQ(calls.query(request, 19 /* the status code alone */, buffer.data(), &length, nullptr), 0);
    calls.close(request);
    calls.close(connection);
    calls.close(internet);
}

TEST(TransportQuery, OnlyTheFinalResponseCounts) {
    RawServer server(answer_with("HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n" +
                                 RawServer::response("200 OK", "X-Final: 1\r\n", "done")));
    const ExchangeResult result = exchange({.port = port_of(server), .verb = "POST", .body = "x"});
    ASSERT_TRUE(result.headers);
    EXPECT_EQ(*result.headers, "HTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 4\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(result.body, "done");
}

TEST(TransportRead, BodyComesInOrderInPiecesOfTheSizeAsked) {
    std::string body;
    for (int i = 0; i < 3000; ++i) body.push_back(static_cast<char>('a' + i % 26));
    RawServer server(answer_with(RawServer::response("200 OK", "", body)));
    const TransportCalls& calls = transport();
    InternetHandle internet = calls.open("agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    InternetHandle connection =
        calls.connect(internet, "127.0.0.1", port_of(server), nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    InternetHandle request = calls.open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);
    ASSERT_EQ(calls.send(request, "", 0, nullptr, 0), 1);
    std::string collected;
    std::vector<std::uint32_t> counts;
    char piece[1024];
    for (int pass = 0; pass < 5; ++pass) {
        std::uint32_t count = 99;
        EXPECT_EQ(calls.read(request, piece, sizeof piece, &count), 1);
        counts.push_back(count);
        collected.append(piece, count);
    }
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{1024, 1024, 952, 0, 0}));
    EXPECT_EQ(collected, body);
    calls.close(request);
    calls.close(connection);
    calls.close(internet);
}

TEST(TransportSafety, AgentIsCutAtItsFirstLineBreak) {
    RawServer server(answer_with(RawServer::response("200 OK", "", "")));
    for (const char* agent : {"a\r\nX-Evil: 1", "a\nX-Evil: 1", "a\rX-Evil: 1"}) {
        exchange({.port = port_of(server), .agent = agent});
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests) {
        EXPECT_NE(request.find("\r\nUser-Agent: a\r\n"), std::string::npos) << request;
        EXPECT_EQ(request.find("X-Evil"), std::string::npos) << request;
    }
}

TEST(TransportSafety, UnsafeTargetsAndHeaderBlocksAreNeverSent) {
    RawServer server(answer_with(RawServer::response("200 OK", "", "x")));
    const std::uint16_t port = port_of(server);
    struct Case {
        const char* what;
        ExchangeSettings settings;
    };
    const Case unsafe[] = {
        {"CR LF in the host", {.host = "127.0.0.1\r\nX-Evil: 1", .port = port}},
        {"LF in the object", {.port = port, .object = "/a\nX-Evil: 1"}},
        {"CR LF in the object", {.port = port, .object = "/a HTTP/1.1\r\nX-Evil: 1"}},
        {"CR LF in the verb", {.port = port, .verb = "GET / HTTP/1.1\r\nX-Evil: 1\r\n\r\nGET"}},
        {"a query in the host", {.host = "127.0.0.1?q=1", .port = port}},
        {"a user in the host", {.host = "user@127.0.0.1", .port = port}},
        {"a path in the host", {.host = "127.0.0.1/x", .port = port}},
        {"an empty host", {.host = "", .port = port}},
        {"an object that is no path", {.port = port, .object = "@127.0.0.1/"}},
        {"a block ending in CR LF", {.port = port, .header_block = "X-A: 1\r\n"}},
        {"a block starting with CR LF", {.port = port, .header_block = "\r\nX-A: 1"}},
        {"an empty line in the block", {.port = port, .header_block = "X-A: 1\r\n\r\nGET /smuggled HTTP/1.1"}},
        {"a bare LF in the block", {.port = port, .header_block = "X-A: 1\nX-B: 2"}},
        {"a bare CR in the block", {.port = port, .header_block = "X-A: 1\rX-B: 2"}},
        {"a block ending in LF", {.port = port, .header_block = "X-A: 1\n"}},
    };
    for (const Case& bad : unsafe) {
        const ExchangeResult result = exchange(bad.settings);
        EXPECT_FALSE(result.sent) << bad.what;
        EXPECT_FALSE(result.headers) << bad.what;
        EXPECT_EQ(result.body, "") << bad.what;
    }
    EXPECT_TRUE(server.requests().empty());

    const Case safe[] = {{"no block", {.port = port}},
                         {"one line", {.port = port, .header_block = "X-A: 1"}},
                         {"two lines", {.port = port, .header_block = "X-A: 1\r\nX-B: 2"}}};
    for (const Case& good : safe) EXPECT_EQ(exchange(good.settings).body, "x") << good.what;
    EXPECT_EQ(server.requests().size(), 3u);
}

TEST(TransportWire, VerbsAndBodiesGoOutAsGiven) {
    RawServer server(answer_with(RawServer::response("200 OK", "", "")));
    const std::string big(std::size_t{2} * 1024 * 1024, 'b');  // large enough for libcurl to want an Expect of its own
    struct Case {
        ExchangeSettings settings;
        std::string expected_head_start;
        std::string expected_body;
        const char* content_type;  // the one line expected, or none
    };
    const std::uint16_t port = port_of(server);
    const Case cases[] = {
        {{.port = port, .verb = "DELETE", .object = "/d"}, "DELETE /d HTTP/1.1\r\n", "", nullptr},
        {{.port = port, .verb = "OPTIONS", .object = "/o", .body = "x"}, "OPTIONS /o HTTP/1.1\r\n", "x", nullptr},
        {{.port = port, .verb = "POST", .object = "/p"}, "POST /p HTTP/1.1\r\n", "", nullptr},
        {{.port = port, .verb = "POST", .object = "/t", .header_block = "Content-Type: text/plain", .body = "y"},
         "POST /t HTTP/1.1\r\n", "y", "Content-Type: text/plain\r\n"},
        {{.port = port, .verb = "PUT", .object = "/big", .body = big}, "PUT /big HTTP/1.1\r\n", big, nullptr},
    };
    for (const Case& c : cases) exchange(c.settings);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string& request = requests[i];
        const std::string head = head_of(request);
        SCOPED_TRACE(cases[i].expected_head_start);
        EXPECT_TRUE(head.starts_with(cases[i].expected_head_start)) << head;
        EXPECT_EQ(request.substr(head.size()), cases[i].expected_body);
        EXPECT_EQ(head.find("Expect:"), std::string::npos) << head;
        const auto type_at = head.find("Content-Type:");
        if (cases[i].content_type) {
            EXPECT_NE(head.find(cases[i].content_type), std::string::npos) << head;
            EXPECT_EQ(head.find("Content-Type:", type_at + 1), std::string::npos) << "once only";
        } else {
            EXPECT_EQ(type_at, std::string::npos) << head;
        }
    }
}

TEST(TransportProxy, AccessTypeAndProxyTextChooseTheRoute) {
    RawServer proxy(answer_with(RawServer::response("200 OK", "", "proxied")));
    const std::string address = "127.0.0.1:" + std::to_string(proxy.port());
    const std::uint32_t plain = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    const std::uint32_t secure = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_SECURE;
    struct Case {
        ExchangeSettings settings;
        const char* expected_first_line;  // none: the proxy is not used
    };
    const Case cases[] = {
        {{.host = "origin.invalid", .port = 80, .object = "/p?q=1", .flags = plain, .proxy = "http=" + address},
         "GET http://origin.invalid/p?q=1 HTTP/1.1\r\n"},
        {{.host = "origin.invalid", .port = 0, .object = "/p", .flags = plain, .proxy = address},
         "GET http://origin.invalid/p HTTP/1.1\r\n"},  // port 0: the scheme's own
        {{.host = "origin.invalid", .port = 8080, .object = "/p", .flags = plain, .proxy = address},
         "GET http://origin.invalid:8080/p HTTP/1.1\r\n"},
        {{.host = "origin.invalid", .port = 443, .object = "/s", .flags = secure, .proxy = address},
         "CONNECT origin.invalid:443 HTTP/1.1\r\n"},
        {{.host = "origin.invalid", .port = 443, .object = "/s", .flags = secure, .proxy = "http=" + address},
         nullptr},  // serves plain HTTP only: https goes direct (and fails here)
    };
    std::size_t expected_requests = 0;
    for (const Case& c : cases) {
        exchange(c.settings);
        const auto requests = proxy.requests();
        if (!c.expected_first_line) {
            EXPECT_EQ(requests.size(), expected_requests);
            continue;
        }
        ASSERT_EQ(requests.size(), ++expected_requests);
        EXPECT_TRUE(requests.back().starts_with(c.expected_first_line)) << requests.back();
    }
}

TEST(TransportProxy, ProxyVariablesOfTheEnvironmentAreIgnored) {
    RawServer trap(answer_with(RawServer::response("200 OK", "", "trapped")));
    RawServer origin(answer_with(RawServer::response("200 OK", "", "direct")));
    RawServer proxy(answer_with(RawServer::response("200 OK", "", "proxied")));
    const std::string trap_url = trap.url();
    const char* proxy_names[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"};
    for (const char* name : proxy_names) ::setenv(name, trap_url.c_str(), 1);
    ::setenv("no_proxy", "*", 1);  // would send even a configured proxy's requests direct
    ::setenv("NO_PROXY", "*", 1);

    const ExchangeResult direct = exchange({.port = port_of(origin)});
    exchange({.port = 1,  // nothing listens there: only an https proxy would answer
              .flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_SECURE});
    const ExchangeResult proxied =
        exchange({.host = "origin.invalid", .port = 80, .proxy = "127.0.0.1:" + std::to_string(proxy.port())});

    for (const char* name : proxy_names) ::unsetenv(name);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    EXPECT_EQ(direct.body, "direct");
    EXPECT_EQ(proxied.body, "proxied");
    EXPECT_TRUE(trap.requests().empty());
}

TEST(TransportCookies, NoCookiesNeitherSendsNorStores) {
    RawServer server([](const std::string& request, int socket) {
        const bool setter = request.starts_with("GET /set ");
        RawServer::send_all(socket, RawServer::response("200 OK", setter ? "Set-Cookie: unstored=1\r\n" : "", ""));
    });
    const std::uint32_t no_cookies =
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_NO_COOKIES;
    exchange({.port = port_of(server), .object = "/set", .flags = no_cookies});
    exchange({.port = port_of(server), .object = "/after"});
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].find("unstored"), std::string::npos) << requests[1];
}

TEST(TransportRedirects, AtMostTenAreFollowed) {
    // /r/N sends the client on to /r/N-1; /r/0 is the end.
    RawServer server([](const std::string& request, int socket) {
        const int step = std::stoi(request.substr(request.find("/r/") + 3));
        const std::string answer =
            step == 0 ? RawServer::response("200 OK", "", "end")
                      : RawServer::response("302 Found", "Location: /r/" + std::to_string(step - 1) + "\r\n", "");
        RawServer::send_all(socket, answer);
    });
    EXPECT_EQ(exchange({.port = port_of(server), .object = "/r/10"}).body, "end");
    // The eleventh redirect is not followed: the send fails, and the last
    // response, the redirect itself, is what is left.
    const ExchangeResult too_far = exchange({.port = port_of(server), .object = "/r/11"});
    EXPECT_FALSE(too_far.sent);
    ASSERT_TRUE(too_far.headers);
    EXPECT_TRUE(too_far.headers->starts_with("HTTP/1.1 302 Found\r\n")) << *too_far.headers;
    EXPECT_NE(too_far.headers->find("Location: /r/0\r\n"), std::string::npos) << *too_far.headers;
    EXPECT_EQ(too_far.body, "");
}

TEST(TransportTls, CertificatesAreCheckedAsUsual) {
    ChildProcess fixture({"/usr/bin/python3", VT_TLS_FIXTURE_DIR "/tls_server.py"});
    const int port = std::stoi(fixture.first_line());
    const ExchangeResult result =
        exchange({.port = static_cast<std::uint16_t>(port),
                  .flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_SECURE});
    EXPECT_FALSE(result.sent) << "a self-signed certificate is not trusted";
    EXPECT_FALSE(result.headers);
    EXPECT_EQ(result.body, "");
}

}  // namespace
}  // namespace vt
