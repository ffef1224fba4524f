// http_request fetching a 200 KB and a 5 MB body from a loopback server,
// next to the floor: libcurl's easy interface fetching the same URL on a
// new connection with its default buffer. Prints the ratio of the two.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "http/http_request.h"
#include "tests/platform/wininet/raw_server.h"

namespace {

constexpr std::size_t SMALL_BODY = 200'000;
constexpr std::size_t LARGE_BODY = 5'000'000;

// Answers /body/<size> from one prepared buffer, so the server costs both
// sides as little as it can.
class LoopbackServer {
public:
    LoopbackServer()
        : body_(LARGE_BODY, 'f'),
          server_([this](const std::string& request, int socket) {
              const std::size_t size = std::min<std::size_t>(std::stoul(request.substr(request.find("/body/") + 6)), body_.size());
              vt::RawServer::send_all(socket, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                                                  "\r\nConnection: close\r\n\r\n");
              vt::RawServer::send_all(socket, std::string_view(body_).substr(0, size));
          }) {}
    std::string url(std::size_t size) const { return server_.url("/body/" + std::to_string(size)); }

private:
    std::string body_;
    vt::RawServer server_;
};

LoopbackServer& server() {
    static LoopbackServer instance;
    return instance;
}

void fetch_with_http_request(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const vt::Text url(server().url(size).c_str());
    for (auto _ : state) {
        const vt::Bytes body = vt::http_request(url);
        if (body.span().size() != size) state.SkipWithError("short body");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

void fetch_with_curl_floor(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::string url = server().url(size);
    for (auto _ : state) {
        std::string body;
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
        curl_easy_perform(curl);
        curl_easy_cleanup(curl);
        if (body.size() != size) state.SkipWithError("short body");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

BENCHMARK(fetch_with_curl_floor)->Arg(SMALL_BODY)->Arg(LARGE_BODY)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(fetch_with_http_request)->Arg(SMALL_BODY)->Arg(LARGE_BODY)->UseRealTime()->Unit(benchmark::kMillisecond);

// Prints the runs as usual, then http_request's time over the floor's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto size : {SMALL_BODY, LARGE_BODY}) {
            const std::string arg = "/" + std::to_string(size) + "/real_time";
            const auto floor = seconds_.find("fetch_with_curl_floor" + arg);
            const auto ours = seconds_.find("fetch_with_http_request" + arg);
            if (floor == seconds_.end() || ours == seconds_.end()) continue;
            std::printf("ratio http_request / floor, %zu bytes: %.2f\n", size, ours->second / floor->second);
        }
    }

private:
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {  // NOLINT(bugprone-exception-escape): a server that cannot start ends the run loudly
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    server();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
