// A 100 MiB answer against the transport as shipped: the body stops at
// 64 MiB and memory stays bounded.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>

#include "core/text_operations.h"
#include "http/http_request.h"
#include "tests/platform/wininet/raw_server.h"
#include "tests/platform/wininet/transport_calls.h"

namespace vt {
namespace {

constexpr std::size_t OFFERED = 100u << 20;
constexpr std::size_t CAP = 64u << 20;

long peak_resident_mib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Offers 100 MiB and counts what the client took off the socket.
class HugeAnswer {
public:
    HugeAnswer()
        : server_([this](const std::string&, int socket) {
              RawServer::send_all(socket, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(OFFERED) + "\r\n\r\n");
              const std::string piece(std::size_t{256} * 1024, 'z');
              while (sent_ < OFFERED) {
                  const ssize_t done = ::send(socket, piece.data(), piece.size(), MSG_NOSIGNAL);
                  if (done <= 0) return;
                  sent_ += static_cast<std::size_t>(done);
              }
          }) {}
    RawServer& server() { return server_; }
    std::size_t sent() const { return sent_; }

private:
    std::atomic<std::size_t> sent_{0};
    RawServer server_;
};

TEST(TransportBodyCap, TheTransportStreamsInBoundedMemory) {
    const long peak_before = peak_resident_mib();
    std::size_t delivered = 0;
    std::size_t sent = 0;
    {
        HugeAnswer answer;
        const TransportCalls& calls = transport();
        InternetHandle internet = calls.open("agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        InternetHandle connection = calls.connect(internet, "127.0.0.1", static_cast<std::uint16_t>(answer.server().port()),
                                                  nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        InternetHandle request = calls.open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);
        calls.send(request, "", 0, nullptr, 0);
        char piece[1024];
        std::uint32_t count = 0;
        do {
            calls.read(request, piece, sizeof piece, &count);
            delivered += count;
        } while (count > 0);
        calls.close(request);
        calls.close(connection);
        calls.close(internet);
        sent = answer.sent();
    }
    EXPECT_EQ(delivered, CAP);
    EXPECT_LT(sent, OFFERED) << "reading stopped at the cap";
    // The pieces are not kept here, so what grows is the transport's own
    // buffering: a few network buffers, not the body.
    EXPECT_LT(peak_resident_mib() - peak_before, 16) << "MiB";
}

TEST(TransportBodyCap, HttpRequestGetsTheFirstSixtyFourMebibytes) {
    const long peak_before = peak_resident_mib();
    Bytes body;
    {
        HugeAnswer answer;
        const auto start = std::chrono::steady_clock::now();
        body = http_request(Text(answer.server().url("/huge")));
        // 65536 pieces of 1024 bytes: a read loop that copied the body so far
        // with each piece would take hours, a linear one well under a second.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_LT(answer.sent(), OFFERED);
    }
    EXPECT_EQ(body.span().size(), CAP);
    EXPECT_LT(peak_resident_mib() - peak_before, 200) << "MiB: never the whole offer, twice";
}

}  // namespace
}  // namespace vt
