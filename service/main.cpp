// The picture service: answers the program's image-proxy requests with our
// sample pictures. It serves the addresses of the built-in list only and
// never fetches anything from anywhere (it is not an open proxy).
//
//   picture-service [--listen HOST:PORT] [--pictures DIR] [--delay-ms N]
//
// --listen defaults to the program's own proxy host; port 0 picks a free
// port. --pictures defaults to the samples beside the executable (or the
// installed ones). --delay-ms holds every answer back, for tests of slow
// networks.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "service/picture_catalogue.h"

namespace {

// Requests of the program are one short GET line and a few headers.
constexpr std::size_t MAX_REQUEST_BODY = 1024;
constexpr int WORKER_THREADS = 32;
constexpr time_t READ_TIMEOUT_SECONDS = 10;

struct Options {
    std::string host;
    int port = 0;
    std::filesystem::path pictures;
    int delay_ms = 0;
};

std::optional<int> parse_number(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
    return value;
}

bool parse_listen(std::string_view text, Options& options) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    const auto port = parse_number(text.substr(colon + 1), 0, 65535);
    if (!port) return false;
    options.host = std::string(text.substr(0, colon));
    options.port = *port;
    return true;
}

std::filesystem::path default_pictures_folder() {
    std::error_code error;
    const auto exe_folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    for (const auto& candidate : {exe_folder / "samples", exe_folder / "../share/vellumo-tarnwick/samples"}) {
        if (std::filesystem::is_directory(candidate, error)) return candidate;
    }
    return exe_folder / "samples";
}

std::optional<Options> parse_options(int argc, char** argv) {
    Options options;
    if (!parse_listen(VT_PROXY_HOST, options)) return std::nullopt;
    options.pictures = default_pictures_folder();
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--listen" && has_value) {
            if (!parse_listen(argv[++i], options)) return std::nullopt;
        } else if (arg == "--pictures" && has_value) {
            options.pictures = argv[++i];
        } else if (arg == "--delay-ms" && has_value) {
            const auto delay = parse_number(argv[++i], 0, 600000);
            if (!delay) return std::nullopt;
            options.delay_ms = *delay;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parse_options(argc, argv);
    if (!options) {
        std::cerr << "usage: picture-service [--listen HOST:PORT] [--pictures DIR] [--delay-ms N]\n";
        return 2;
    }
    auto samples = vt::load_sample_pictures(options->pictures);
    if (samples.empty()) {
        std::cerr << "picture-service: no pictures in " << options->pictures << "\n";
        return 1;
    }
    const std::size_t sample_count = samples.size();
    const vt::PictureCatalogue catalogue(vt::builtin_picture_addresses(), std::move(samples));

    // Signals are taken by one thread with sigwait, so the server stops from
    // ordinary code rather than from a signal handler.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(WORKER_THREADS); };
    server.set_payload_max_length(MAX_REQUEST_BODY);
    server.set_read_timeout(READ_TIMEOUT_SECONDS);
    // The library's own socket options share the port with any process that
    // asks (SO_REUSEPORT), so a second service would start quietly beside the
    // first; only a quick restart after the last one ended is allowed here.
    // It also listens with a backlog of 5, and a burst of presses would see
    // connection attempts dropped and retried seconds later: the listening
    // socket is noted and its backlog raised once bound.
    int listening_socket = -1;
    server.set_socket_options([&listening_socket](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening_socket = socket;
    });

    std::mutex log_lock;
    server.set_logger([&log_lock](const httplib::Request& request, const httplib::Response& response) {
        const std::lock_guard lock(log_lock);
        std::printf("%s \"%s %s %s\" %d %zu\n", request.remote_addr.c_str(), request.method.c_str(),
                    request.target.c_str(), request.version.c_str(), response.status, response.body.size());
        std::fflush(stdout);
    });
    server.Get(".*", [&catalogue, &options](const httplib::Request& request, httplib::Response& response) {
        if (options->delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options->delay_ms));
        const vt::SamplePicture* picture = catalogue.find(request.target);
        if (!picture) {
            response.status = 404;
            response.set_content("not a picture of the list\n", "text/plain");
            return;
        }
        response.set_content(picture->bytes, picture->content_type);
    });

    int port = options->port;
    if (port == 0) {
        port = server.bind_to_any_port(options->host);
        if (port < 0) port = 0;
    } else if (!server.bind_to_port(options->host, port)) {
        port = 0;
    }
    if (port == 0) {
        std::cerr << "picture-service: cannot listen on " << options->host << ":" << options->port
                  << " (the port is taken or the address is not this machine's)\n";
        return 1;
    }
    if (listening_socket >= 0) ::listen(listening_socket, SOMAXCONN);
    std::printf("picture-service: listening on http://%s:%d with %zu pictures from %s\n", options->host.c_str(), port,
                sample_count, options->pictures.c_str());
    std::fflush(stdout);

    std::thread stopper([&server, &stop_signals] {
        int signal_number = 0;
        sigwait(&stop_signals, &signal_number);
        server.stop();
    });
    const bool ran = server.listen_after_bind();
    kill(getpid(), SIGTERM);  // wakes the stopper if the server ended on its own
    stopper.join();
    std::printf("picture-service: stopped\n");
    return ran ? 0 : 1;
}
