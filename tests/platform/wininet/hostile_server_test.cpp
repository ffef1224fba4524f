// http_request against servers that misbehave on purpose. Whatever they do,
// the call returns what a failed or cut-short exchange returns, in bounded
// time and memory. The transport beside this test has short limits (see
// CMakeLists.txt), so the time limits show in seconds.
#include <gtest/gtest.h>
#include <poll.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "http/http_request.h"
#include "tests/platform/wininet/child_process.h"
#include "tests/platform/wininet/raw_server.h"
#include "tests/support/peak_memory.h"

namespace vt {
namespace {

using Clock = std::chrono::steady_clock;

const std::string NO_HEADERS(RESPONSE_HEADER_BYTES, ' ');

// A few network buffers and the capped body, twice over at most: an exchange
// that grew with what the server offers would pass this within a second.
constexpr std::int64_t MEMORY_BOUND_KIB = std::int64_t{32} * 1024;

struct Outcome {
    std::string body;
    std::string headers;
    std::string cookies;
    double seconds = 0;
};

// One call with the URL alone, as the program makes it, with the header
// block and the cookies kept; its time and peak memory are checked here.
Outcome fetch(const std::string& url) {
    Outcome outcome;
    const test::Peak peak = test::measure_peak([&] {
        Text headers;
        Text cookies;
        const auto start = Clock::now();
        const Bytes body = http_request(Text(url), {.returned_cookies = &cookies, .returned_headers = &headers});
        outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        outcome.body.assign(reinterpret_cast<const char*>(body.span().data()), body.span().size());
        outcome.headers = std::string(headers.view());
        outcome.cookies = std::string(cookies.view());
    });
    std::printf("%s: %.1f s, %zu body bytes, peak growth %lld KiB\n", url.c_str(), outcome.seconds, outcome.body.size(),
                static_cast<long long>(peak.growth_kib()));
    if (test::PEAKS_ARE_MEANINGFUL) {
        EXPECT_LT(peak.growth_kib(), MEMORY_BOUND_KIB) << url;
    }
    return outcome;
}

// Waits up to `ms` for the client to close the connection; true when it has.
bool client_left_within(int socket, int ms) {
    pollfd wait{.fd = socket, .events = POLLIN, .revents = 0};
    if (::poll(&wait, 1, ms) <= 0) return false;
    char byte;
    return ::recv(socket, &byte, 1, MSG_DONTWAIT) <= 0;
}

void wait_for_client_to_leave(int socket) {
    while (!client_left_within(socket, 1000)) {
    }
}

// Makes an answer that writes `at_once` at once, then each of `pieces`
// after `interval_ms`, while the client stays.
RawServer::Answer trickle(std::string at_once, std::vector<std::string> pieces, int interval_ms) {
    return [at_once = std::move(at_once), pieces = std::move(pieces), interval_ms](const std::string&, int socket) {
        RawServer::send_all(socket, at_once);
        for (const std::string& piece : pieces) {
            if (client_left_within(socket, interval_ms)) return;
            RawServer::send_all(socket, piece);
        }
        wait_for_client_to_leave(socket);
    };
}

std::vector<std::string> one_byte_each(const std::string& bytes) {
    std::vector<std::string> pieces;
    for (const char byte : bytes) pieces.emplace_back(1, byte);
    return pieces;
}

void expect_no_response(const Outcome& got, const std::string& what) {
    EXPECT_EQ(got.body, "") << what;
    EXPECT_EQ(got.headers, NO_HEADERS) << what;
    EXPECT_EQ(got.cookies, "") << what;
}

TEST(HostileServer, SilentAndTricklingServersAreCutOffByTheTimeLimits) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
    // Spaced well inside the stall limit, so only the limit on the whole
    // exchange can end these.
    const int interval_ms = VT_TEST_STALL_TIMEOUT_S * 1000 / 2;
    std::vector<std::string> header_lines = {"HTTP/1.1 200 OK\r\n"};
    for (int i = 0; i < 100; ++i) header_lines.push_back("X-Slow: " + std::to_string(i) + "\r\n");
    const double stall_s = VT_TEST_STALL_TIMEOUT_S, exchange_s = VT_TEST_EXCHANGE_TIMEOUT_S;
    struct Case {
        const char* what;
        RawServer::Answer answer;
        double at_least_s, below_s;
        bool head_arrives;
    };
    const Case cases[] = {
        {"accepts and never answers", [](const std::string&, int socket) { wait_for_client_to_leave(socket); },
         stall_s - 0.5, exchange_s - 0.5, false},
        {"the head one line at a time", trickle("", header_lines, interval_ms), exchange_s - 0.5, exchange_s + 3, false},
        {"the head one byte at a time", trickle("", one_byte_each(head), interval_ms), exchange_s - 0.5, exchange_s + 3,
         false},
        {"the body one byte at a time", trickle(head, one_byte_each(std::string(100, 'b')), interval_ms), exchange_s - 0.5,
         exchange_s + 3, true},
    };
    for (const Case& c : cases) {
        RawServer server(c.answer);
        const Outcome got = fetch(server.url());
        EXPECT_GE(got.seconds, c.at_least_s) << c.what;
        EXPECT_LT(got.seconds, c.below_s) << c.what;
        if (c.head_arrives) {
            EXPECT_TRUE(got.headers.starts_with("HTTP/1.1 200 OK\r\n")) << c.what;
            EXPECT_GE(got.body.size(), 2u) << c.what << ": what came before the limit is kept";
            EXPECT_EQ(got.body, std::string(got.body.size(), 'b')) << c.what;
        } else {
            expect_no_response(got, c.what);
        }
    }
}

TEST(HostileServer, AnEndlessBodyIsCutAtTheCap) {
    const std::string piece(std::size_t{64} * 1024, 'e');
    auto endless = [](std::string head, std::string repeated) {
        return [head = std::move(head), repeated = std::move(repeated)](const std::string&, int socket) {
            RawServer::send_all(socket, head);
            while (::send(socket, repeated.data(), repeated.size(), MSG_NOSIGNAL) > 0) {
            }
        };
    };
    struct Case {
        const char* what;
        RawServer::Answer answer;
    };
    const Case cases[] = {
        {"until the connection closes", endless("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", piece)},
        {"in endless chunks",
         endless("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "10000\r\n" + piece + "\r\n")},
    };
    for (const Case& c : cases) {
        RawServer server(c.answer);
        const Outcome got = fetch(server.url());
        EXPECT_EQ(got.body.size(), static_cast<std::size_t>(VT_TEST_MAX_BODY_BYTES)) << c.what;
        EXPECT_EQ(got.body.find_first_not_of('e'), std::string::npos) << c.what;
        EXPECT_TRUE(got.headers.starts_with("HTTP/1.1 200 OK\r\n")) << c.what;
    }
}

// A head of about `bytes`, made of Set-Cookie lines, and a short body.
std::string response_with_head_of(std::size_t bytes) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; head.size() < bytes; ++i) head += "Set-Cookie: c" + std::to_string(i) + "=" + std::string(80, 'v') + "; path=/\r\n";
    return head + "Content-Length: 4\r\nConnection: close\r\n\r\nbody";
}

TEST(HostileServer, AHeadTooLargeForItsBufferGivesNoHeadersAndNoCookies) {
    for (const std::size_t size : {std::size_t{6000}, std::size_t{256} * 1024}) {
        RawServer server(answer_with(response_with_head_of(size)));
        const Outcome got = fetch(server.url());
        EXPECT_EQ(got.headers, NO_HEADERS) << size;
        EXPECT_EQ(got.cookies, "") << size;
        EXPECT_EQ(got.body, "body") << size << ": the body is still read";
    }
}

TEST(HostileServer, AHeadOfAMebibyteIsDroppedAsABrokenResponse) {
    // libcurl reads no more than 300 KiB of one response's head, so the
    // body after a larger one is never reached: the call fails as a whole.
    RawServer server(answer_with(response_with_head_of(std::size_t{1024} * 1024)));
    expect_no_response(fetch(server.url()), "1 MiB head");
}

TEST(HostileServer, ARedirectLoopIsLeftAfterTenRedirects) {
    RawServer server([](const std::string& request, int socket) {
        const int step = std::stoi(request.substr(request.find("/loop/") + 6));
        RawServer::send_all(socket, RawServer::response("302 Found",
                                                        "Location: /loop/" + std::to_string(step + 1) +
                                                            "\r\nSet-Cookie: step=" + std::to_string(step) + "\r\n",
                                                        "moved"));
    });
    const Outcome got = fetch(server.url("/loop/0"));
    EXPECT_EQ(server.requests().size(), 11u) << "the first request and ten redirects";
    // The last response is kept, its body aside (the transport drops the
    // body of a redirect).
    EXPECT_TRUE(got.headers.starts_with("HTTP/1.1 302 Found\r\nLocation: /loop/11\r\n")) << got.headers;
    EXPECT_EQ(got.cookies, "step=10");
    EXPECT_EQ(got.body, "");
}

TEST(HostileServer, HttpsRedirectedToPlainHttpFailsTheSend) {
    ChildProcess tls_server({"/usr/bin/python3", VT_TLS_FIXTURE_DIR "/tls_server.py"});
    const std::string tls_port = tls_server.first_line();
    RawServer plain(answer_with(RawServer::response("200 OK", "Set-Cookie: downgraded=1\r\n", "downgraded")));
    const Outcome got = fetch("https://127.0.0.1:" + tls_port + "/to-http?port=" + std::to_string(plain.port()));
    expect_no_response(got, "https to http");
    EXPECT_TRUE(plain.requests().empty());
}

TEST(HostileServer, AMalformedStatusLineIsNoResponse) {
    const std::string rest = "\r\nSet-Cookie: a=1\r\nContent-Length: 2\r\nConnection: close\r\n\r\nhi";
    const std::string statuses[] = {"HTCPCP/1.0 418 I'm a teapot", "HTTP/1.1 abc OK", "HTTP/1.1 2000 OK", "HTTP/7.0 200 OK",
                                    "HTTP/1.1", "", std::string("\0\xff\xfe garbage", 11)};
    for (const std::string& status : statuses) {
        RawServer server(answer_with(status + rest));
        expect_no_response(fetch(server.url()), "status line '" + status + "'");
    }
}

// Ends the connection with a reset instead of an orderly close.
void reset(int socket) {
    const linger abort_at_once{.l_onoff = 1, .l_linger = 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort_at_once, sizeof abort_at_once);
}

TEST(HostileServer, ABodyCutShortComesBackAsFarAsItCame) {
    std::string part;
    for (int i = 0; i < 3000; ++i) part.push_back(static_cast<char>('a' + i % 26));
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nSet-Cookie: partial=1; path=/\r\n\r\n";
    struct Case {
        const char* what;
        std::string sent;
        bool reset;
    };
    const Case cases[] = {
        {"part of the body, then closed", part, false},
        {"part of the body, then reset", part, true},
        {"none of the body, then closed", "", false},
    };
    for (const Case& c : cases) {
        RawServer server([&](const std::string&, int socket) {
            RawServer::send_all(socket, head + c.sent);
            if (!c.reset) return;
            client_left_within(socket, 300);  // the bytes reach the client before the reset
            reset(socket);
        });
        const Outcome got = fetch(server.url());
        EXPECT_EQ(got.body, c.sent) << c.what;
        EXPECT_TRUE(got.headers.starts_with("HTTP/1.1 200 OK\r\n")) << c.what;
        EXPECT_EQ(got.cookies, "partial=1") << c.what;
    }
}

// `bytes` in the gzip format.
std::string gzipped(const std::string& bytes) {
    z_stream stream{};
    constexpr int GZIP_WRAPPER = 16 + MAX_WBITS;
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, GZIP_WRAPPER, 9, Z_DEFAULT_STRATEGY);
    std::string packed(deflateBound(&stream, bytes.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

TEST(HostileServer, AContentEncodingIsNeverUndone) {
    // 16 MiB of zeros in about 16 KiB: inflated, it would pass the body cap.
    const std::string bomb = gzipped(std::string(16u << 20, '\0'));
    std::string fake_gzip = "\x1f\x8b\x08";  // the gzip magic, then no gzip at all
    for (int i = 0; i < 256; ++i) fake_gzip.push_back(static_cast<char>(i));
    for (const std::string& body : {bomb, fake_gzip}) {
        RawServer server(answer_with(RawServer::response("200 OK", "Content-Encoding: gzip\r\n", body)));
        const Outcome got = fetch(server.url());
        EXPECT_EQ(got.body, body) << "exactly as sent, " << body.size() << " bytes";
    }
}

}  // namespace
}  // namespace vt
