// A 100 MiB answer against the transport as shipped: the body stops at
// 64 MiB and memory stays bounded.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>

#include "core/text_operations.h"
#include "http/http_request.h"
#include "tests/platform/wininet/raw_server.h"

namespace vt {
namespace {

long peak_resident_kib() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(TransportBodyCap, HundredMebibytesAreCutAtSixtyFour) {
    constexpr std::size_t OFFERED = 100u << 20;
    constexpr std::size_t CAP = 64u << 20;
    std::atomic<std::size_t> sent{0};
    const long peak_before = peak_resident_kib();
    Bytes body;
    {
        RawServer server([&](const std::string&, int socket) {
            RawServer::send_all(socket, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(OFFERED) + "\r\n\r\n");
            const std::string piece(256 * 1024, 'z');
            while (sent < OFFERED) {
                const ssize_t done = ::send(socket, piece.data(), piece.size(), MSG_NOSIGNAL);
                if (done <= 0) return;
                sent += static_cast<std::size_t>(done);
            }
        });
        body = http_request(Text(server.url("/huge")));
    }
    EXPECT_EQ(body.span().size(), CAP);
    EXPECT_LT(sent.load(), OFFERED) << "reading stopped at the cap";
    // The caller's body and the transport's small streaming buffer: well
    // under two copies of the cap.
    const long grown_mib = (peak_resident_kib() - peak_before) / 1024;
    EXPECT_LT(grown_mib, 100) << grown_mib << " MiB";
}

}  // namespace
}  // namespace vt
