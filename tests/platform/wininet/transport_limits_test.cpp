// The transport built with short limits and trusting the https fixture's
// certificate; it lies next to this test, so the binding finds it first.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/platform/wininet/child_process.h"
#include "tests/platform/wininet/raw_server.h"
#include "tests/platform/wininet/transport_calls.h"

namespace vt {
namespace {

using Clock = std::chrono::steady_clock;

std::uint16_t port_of(const RawServer& server) { return static_cast<std::uint16_t>(server.port()); }

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Holds the connection open without a byte until the client goes.
void wait_for_client_to_leave(int socket) {
    char byte;
    while (::recv(socket, &byte, 1, 0) > 0) {
    }
}

TEST(TransportLimits, AStalledTransferEndsWithWhatCame) {
    RawServer server([](const std::string&, int socket) {
        RawServer::send_all(socket, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nfirst");
        wait_for_client_to_leave(socket);
    });
    const auto start = Clock::now();
    const ExchangeResult result = exchange({.port = port_of(server)});
    const double elapsed = seconds_since(start);
    EXPECT_GE(elapsed, VT_TEST_STALL_TIMEOUT_S - 0.5);
    EXPECT_LT(elapsed, VT_TEST_EXCHANGE_TIMEOUT_S - 0.5) << "ended by the stall limit, not the exchange limit";
    EXPECT_EQ(result.body, "first") << "cut short, as after a failed read";
    ASSERT_TRUE(result.headers);
    EXPECT_TRUE(result.headers->starts_with("HTTP/1.1 200 OK\r\n"));
}

TEST(TransportLimits, ATricklingTransferEndsAtTheExchangeLimit) {
    RawServer server([](const std::string&, int socket) {
        RawServer::send_all(socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
        // Fast enough never to count as stalled.
        for (int i = 0; i < 1000; ++i) {
            if (::send(socket, "t", 1, MSG_NOSIGNAL) != 1) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    });
    const auto start = Clock::now();
    const ExchangeResult result = exchange({.port = port_of(server)});
    const double elapsed = seconds_since(start);
    EXPECT_GE(elapsed, VT_TEST_EXCHANGE_TIMEOUT_S - 0.5);
    EXPECT_LT(elapsed, VT_TEST_EXCHANGE_TIMEOUT_S + 3.0);
    EXPECT_GT(result.body.size(), 5u);
    EXPECT_LT(result.body.size(), 1000u);
    EXPECT_EQ(result.body.find_first_not_of('t'), std::string::npos);
}

TEST(TransportLimits, ABodyPastTheCapIsCut) {
    std::atomic<std::size_t> sent{0};
    const std::size_t offered = std::size_t{32} * VT_TEST_MAX_BODY_BYTES;  // far more than socket buffers hold
    ExchangeResult result;
    {
        RawServer server([&](const std::string&, int socket) {
            RawServer::send_all(socket, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(offered) + "\r\n\r\n");
            const std::string piece(std::size_t{64} * 1024, 'c');
            while (sent < offered) {
                const ssize_t done = ::send(socket, piece.data(), piece.size(), MSG_NOSIGNAL);
                if (done <= 0) return;
                sent += static_cast<std::size_t>(done);
            }
        });
        result = exchange({.port = port_of(server)});
    }  // the answer ends once the client has gone
    EXPECT_EQ(result.body.size(), static_cast<std::size_t>(VT_TEST_MAX_BODY_BYTES));
    EXPECT_TRUE(result.headers) << "the response itself did arrive";
    EXPECT_LT(sent.load(), offered) << "the transport stopped reading at the cap";
}

class TransportTls : public ::testing::Test {
protected:
    ChildProcess fixture_{{"/usr/bin/python3", VT_TLS_FIXTURE_DIR "/tls_server.py"}};
    std::uint16_t port_ = static_cast<std::uint16_t>(std::stoi(fixture_.first_line()));
    static constexpr std::uint32_t SECURE = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_SECURE;
};

TEST_F(TransportTls, SpeaksHttp11OverTls) {
    // The fixture offers h2 as well; a client offering it would get it.
    const ExchangeResult result = exchange({.port = port_, .object = "/a/../b?x=%2F", .flags = SECURE});
    EXPECT_TRUE(result.sent);
    EXPECT_EQ(result.body, "alpn=http/1.1;line=GET /a/../b?x=%2F HTTP/1.1");
}

TEST_F(TransportTls, HttpsNeverFollowsARedirectToPlainHttp) {
    RawServer plain([](const std::string&, int socket) {
        RawServer::send_all(socket, RawServer::response("200 OK", "", "downgraded"));
    });
    const ExchangeResult result =
        exchange({.port = port_, .object = "/to-http?port=" + std::to_string(plain.port()), .flags = SECURE});
    EXPECT_FALSE(result.sent);
    EXPECT_FALSE(result.headers);
    EXPECT_EQ(result.body, "");
    EXPECT_TRUE(plain.requests().empty());
}

TEST_F(TransportTls, PlainHttpMayFollowARedirectToHttps) {
    const std::string location = "https://127.0.0.1:" + std::to_string(port_) + "/secure";
    RawServer plain([&](const std::string&, int socket) {
        RawServer::send_all(socket, RawServer::response("302 Found", "Location: " + location + "\r\n", ""));
    });
    const ExchangeResult result = exchange({.port = port_of(plain), .object = "/start"});
    EXPECT_TRUE(result.sent);
    EXPECT_EQ(result.body, "alpn=http/1.1;line=GET /secure HTTP/1.1");
}

}  // namespace
}  // namespace vt
