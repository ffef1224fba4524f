// The transport used from many threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/platform/wininet/raw_server.h"
#include "tests/platform/wininet/transport_calls.h"

namespace vt {
namespace {

TEST(TransportThreads, ManyExchangesAtOnceEachGetTheirOwnAnswer) {
    // The body names the object asked for; every answer sets a cookie, so
    // the shared store is written and read from all threads.
    RawServer server([](const std::string& request, int socket) {
        const std::string object = request.substr(4, request.find(' ', 4) - 4);
        RawServer::send_all(socket, RawServer::response("200 OK", "Set-Cookie: last=" + object.substr(1) + "\r\n", object));
    });
    constexpr int THREADS = 8;
    constexpr int EXCHANGES = 15;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < EXCHANGES; ++i) {
                const std::string object = "/t" + std::to_string(t) + "-" + std::to_string(i);
                const ExchangeResult result =
                    exchange({.port = static_cast<std::uint16_t>(server.port()), .object = object});
                if (result.body != object || !result.headers) ++mismatches;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(server.requests().size(), static_cast<std::size_t>(THREADS * EXCHANGES));
}

TEST(TransportThreads, ClosingARequestStopsItsSend) {
    RawServer server([](const std::string&, int socket) {
        RawServer::send_all(socket, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome");
        char byte;
        while (::recv(socket, &byte, 1, 0) > 0) {
        }
    });
    const TransportCalls& calls = transport();
    InternetHandle internet = calls.open("agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    InternetHandle connection = calls.connect(internet, "127.0.0.1", static_cast<std::uint16_t>(server.port()),
                                              nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    InternetHandle request = calls.open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);
    const auto start = std::chrono::steady_clock::now();
    std::thread sender([&] { calls.send(request, "", 0, nullptr, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(calls.close(request), 1);
    sender.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "not the 60 s stall limit";
    calls.close(connection);
    calls.close(internet);
}

TEST(TransportThreads, HandlesOpenedAndClosedFromManyThreads) {
    const TransportCalls& calls = transport();
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                InternetHandle internet = calls.open("agent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
                InternetHandle connection =
                    calls.connect(internet, "h.invalid", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
                InternetHandle request =
                    calls.open_request(connection, "GET", "/", "HTTP/1.1", nullptr, nullptr, 0, 0);
                std::uint32_t count = 1;
                char byte;
                calls.read(request, &byte, 1, &count);
                if (!internet || !connection || !request || count != 0) ++failures;
                if (calls.close(request) != 1 || calls.close(connection) != 1 || calls.close(internet) != 1) ++failures;
                if (calls.close(request) != 0) ++failures;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace vt
