// A loopback HTTP server for wire tests: records each raw request and
// answers with whatever the test scripts, byte for byte.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace vt {

class RawServer {
public:
    // `answer` gets the raw request and the connected socket; it writes the
    // response (and may hold the socket open, stall or reset it).
    using Answer = std::function<void(const std::string& request, int socket)>;

    explicit RawServer(Answer answer, int port = 0) : answer_(std::move(answer)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        const int reuse = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        // A port already taken must fail the test here, not leave it talking
        // to whatever port the system picks instead.
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 64) != 0) {
            const int error = errno;
            ::close(listener_);
            throw std::system_error(error, std::generic_category(), "loopback server on port " + std::to_string(port));
        }
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~RawServer() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::vector<std::string> requests() {
        const std::lock_guard guard(lock_);
        return requests_;
    }

    static void send_all(int socket, std::string_view bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t sent = ::send(socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (sent <= 0) return;
            done += static_cast<std::size_t>(sent);
        }
    }

    static std::string response(const std::string& status, const std::string& headers, const std::string& body) {
        return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

private:
    // Reads one request: the head, then a body as long as Content-Length says.
    static std::string read_request(int socket) {
        std::string bytes;
        char piece[4096];
        std::size_t head_end = std::string::npos;
        std::size_t wanted = 0;
        for (;;) {
            if (head_end != std::string::npos && bytes.size() >= head_end + 4 + wanted) break;
            const ssize_t got = ::recv(socket, piece, sizeof piece, 0);
            if (got <= 0) break;
            bytes.append(piece, static_cast<std::size_t>(got));
            if (head_end == std::string::npos && (head_end = bytes.find("\r\n\r\n")) != std::string::npos) {
                const auto length_at = bytes.find("Content-Length: ");
                if (length_at != std::string::npos && length_at < head_end) wanted = std::stoul(bytes.substr(length_at + 16));
            }
        }
        return bytes;
    }

    void serve() {
        while (!stopping_) {
            const int socket = ::accept(listener_, nullptr, nullptr);
            if (socket < 0) return;
            const std::string request = read_request(socket);
            {
                const std::lock_guard guard(lock_);
                requests_.push_back(request);
            }
            answer_(request, socket);
            ::close(socket);
        }
    }

    Answer answer_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex lock_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A server that answers every request with the same bytes.
inline RawServer::Answer answer_with(std::string bytes) {
    return [bytes = std::move(bytes)](const std::string&, int socket) { RawServer::send_all(socket, bytes); };
}

}  // namespace vt
