// The transport library: the seven operations the program binds by name,
// over libcurl. Opening handles only records settings; all network work,
// and so every network failure, happens in HttpSendRequestA.
#include <curl/curl.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>

#include "platform/wininet/inet_functions.h"
#include "platform/wininet/transport_limits.h"

namespace {

struct Session {
    std::string agent;
    std::uint32_t access_type = INTERNET_OPEN_TYPE_DIRECT;
    std::string proxy;
};

struct Connection {
    std::shared_ptr<const Session> session;
    std::string host;
    std::uint16_t port = 0;
};

// One exchange in flight. The send starts it and returns once the final
// response has begun; reads drive it on, so the body streams through a
// buffer of bounded size instead of being held whole.
class Transfer {
public:
    Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer() {
        if (multi && easy) curl_multi_remove_handle(multi, easy);
        curl_easy_cleanup(easy);
        curl_multi_cleanup(multi);
        curl_slist_free_all(headers);
    }
    void add_header(const std::string& line) {
        if (curl_slist* grown = curl_slist_append(headers, line.c_str())) headers = grown;
    }

    CURLM* multi = curl_multi_init();
    CURL* easy = curl_easy_init();
    curl_slist* headers = nullptr;  // must live as long as the easy handle
};

struct Request {
    std::shared_ptr<const Connection> connection;
    std::string verb;
    std::string object;
    std::uint32_t flags = 0;

    // Used by one call at a time; the handle table guards only its lifetime.
    std::mutex lock;
    curl_socket_t socket = CURL_SOCKET_BAD;  // the transfer's open socket; outlives `transfer`
    std::unique_ptr<Transfer> transfer;
    bool finished = false;  // the transfer has ended, well or not
    CURLcode outcome = CURLE_OK;
    bool answered = false;  // the last response's status and headers arrived whole
    bool body_started = false;
    bool paused = false;
    std::string header_lines;
    std::string pending;  // body bytes received and not yet read
    std::size_t read_offset = 0;
    std::size_t body_delivered = 0;  // counted against the body cap
    // When a byte last came in or went out; the transfer ends when the
    // line has been quiet for the stall limit.
    std::chrono::steady_clock::time_point last_traffic{};
    curl_off_t last_sent = 0;
    std::uint64_t last_received = 0;  // by `socket`, see socket_bytes_received

    // Set when the handle is closed, so a send running on another thread
    // stops instead of holding the connection for minutes.
    std::atomic<bool> closed{false};
};

using Object = std::variant<std::shared_ptr<Session>, std::shared_ptr<Connection>, std::shared_ptr<Request>>;

// Handles are numbers handed out once, never addresses: a made-up, stale or
// closed handle is simply not found.
class HandleTable {
public:
    InternetHandle add(Object object) {
        const std::lock_guard guard(lock_);
        const std::uintptr_t id = ++last_id_;
        objects_.emplace(id, std::move(object));
        return reinterpret_cast<InternetHandle>(id);
    }
    template <class T>
    std::shared_ptr<T> find(InternetHandle handle) {
        const std::lock_guard guard(lock_);
        const auto found = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (found == objects_.end()) return nullptr;
        const auto* object = std::get_if<std::shared_ptr<T>>(&found->second);
        return object ? *object : nullptr;
    }
    bool remove(InternetHandle handle) {
        const std::lock_guard guard(lock_);
        return objects_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1;
    }

private:
    std::mutex lock_;
    std::uintptr_t last_id_ = 0;
    std::unordered_map<std::uintptr_t, Object> objects_;
};

HandleTable& handles() {
    static auto* table = new HandleTable;  // outlives every thread that may still call
    return *table;
}

// One in-memory cookie store for the whole process, shared by all threads.
class CookieStore {
public:
    CookieStore() {
        share_ = curl_share_init();
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieStore::lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieStore::unlock);
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    CURLSH* share() const { return share_; }

private:
    static void lock(CURL*, curl_lock_data, curl_lock_access, void* self) { static_cast<CookieStore*>(self)->mutex_.lock(); }
    static void unlock(CURL*, curl_lock_data, void* self) { static_cast<CookieStore*>(self)->mutex_.unlock(); }
    CURLSH* share_ = nullptr;
    std::mutex mutex_;
};

// libcurl's one-time set-up, done before the first handle of any kind.
bool libcurl_ready() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

CookieStore& cookie_store() {
    static auto* store = new CookieStore;  // outlives every thread that may still call
    return *store;
}

bool has_line_break(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// A header block is lines joined by CR LF: no bare CR or LF, no empty line.
bool is_safe_header_block(std::string_view block) {
    if (block.empty()) return true;
    if (block.starts_with("\r\n") || block.ends_with("\r\n") || block.find("\r\n\r\n") != std::string_view::npos)
        return false;
    for (std::size_t i = 0; i < block.size(); ++i) {
        if (block[i] == '\r' && (i + 1 >= block.size() || block[i + 1] != '\n')) return false;
        if (block[i] == '\n' && (i == 0 || block[i - 1] != '\r')) return false;
    }
    return true;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
    auto* request = static_cast<Request*>(user);
    request->last_traffic = std::chrono::steady_clock::now();
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
        // A new response (after a redirect or a 100 Continue): only the
        // final one is kept.
        request->header_lines.clear();
        request->answered = false;
    } else if (request->answered) {
        return size * count;  // trailers after a chunked body are not response headers
    }
    if (line.empty()) {
        request->answered = true;
    } else {
        request->header_lines.append(line);
        request->header_lines.append("\r\n");
    }
    return size * count;
}

// Unread bytes beyond this pause the transfer until the reader catches up.
constexpr std::size_t PENDING_LIMIT = VT_TRANSPORT_NETWORK_BUFFER_BYTES;

// Room for the announced body (up to the limit) at once: growing the
// buffer step by step costs a copy and fresh pages at every step, more than
// the whole transfer of a picture on a fast line.
void reserve_for_body(Request& request) {
    curl_off_t length = -1;
    if (curl_easy_getinfo(request.transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK || length <= 0)
        return;
    request.pending.reserve(std::min(static_cast<std::size_t>(length), PENDING_LIMIT));
}

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto* request = static_cast<Request*>(user);
    const std::size_t bytes = size * count;
    request->last_traffic = std::chrono::steady_clock::now();
    if (!request->body_started) reserve_for_body(*request);
    request->body_started = true;
    if (request->pending.size() - request->read_offset >= PENDING_LIMIT) {
        request->paused = true;
        return CURL_WRITEFUNC_PAUSE;  // libcurl keeps these bytes and offers them again
    }
    // Past the cap the transfer stops; what came is kept, as after a failed read.
    const std::size_t room = VT_TRANSPORT_MAX_BODY_BYTES - request->body_delivered;
    const std::size_t taken = std::min(bytes, room);
    request->pending.append(data, taken);
    request->body_delivered += taken;
    return taken == bytes ? bytes : 0;
}

// Bytes the transfer's socket has received so far, the head's included:
// libcurl hands the head over a whole line at a time, so a head trickling in
// byte by byte would otherwise look like a quiet line.
std::uint64_t socket_bytes_received(curl_socket_t socket) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (socket == CURL_SOCKET_BAD || getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) != 0) return 0;
    return info.tcpi_bytes_received;
}

// The socket of the connection in use, followed through redirects.
int on_socket_open(void* user, curl_socket_t socket, curlsocktype) {
    auto* request = static_cast<Request*>(user);
    request->socket = socket;
    request->last_received = 0;
    return CURL_SOCKOPT_OK;
}

int on_socket_close(void* user, curl_socket_t socket) {
    auto* request = static_cast<Request*>(user);
    if (request->socket == socket) request->socket = CURL_SOCKET_BAD;
    return close(socket);
}

// Called at least once a second during the transfer; non-zero aborts it.
int on_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
    auto* request = static_cast<Request*>(user);
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t received = socket_bytes_received(request->socket);
    if (sent != request->last_sent || received > request->last_received) {
        request->last_sent = sent;
        request->last_received = received;
        request->last_traffic = now;
    }
    const bool stalled = now - request->last_traffic >= std::chrono::seconds(VT_TRANSPORT_STALL_TIMEOUT_S);
    return request->closed || stalled ? 1 : 0;
}

// The proxy the session names for this scheme, or none.
std::string proxy_for(const Session& session, bool secure) {
    if (session.access_type != INTERNET_OPEN_TYPE_PROXY) return {};
    constexpr std::string_view http_only = "http=";
    if (std::string_view(session.proxy).starts_with(http_only)) {
        return secure ? std::string() : session.proxy.substr(http_only.size());
    }
    return session.proxy;
}

// The URL of the target. The object is appended unchanged (libcurl then
// leaves it as it is, dot segments and escapes included, though a fragment
// stays local as in any HTTP request); a host that is
// no host name, such as 'example.com?q=1' or 'user@host', would reshape the
// URL and is refused. Port 0 stands for the scheme's own port.
std::optional<std::string> target_url(const Connection& connection, std::string_view object, bool secure) {
    if (!object.starts_with('/')) return std::nullopt;
    CURLU* host_check = curl_url();
    const bool plain_host = host_check && curl_url_set(host_check, CURLUPART_HOST, connection.host.c_str(), 0) == CURLUE_OK;
    curl_url_cleanup(host_check);
    if (!plain_host) return std::nullopt;
    const int port = connection.port != 0 ? connection.port : (secure ? 443 : 80);
    return std::string(secure ? "https://" : "http://") + connection.host + ":" + std::to_string(port) + std::string(object);
}

// The caller's header lines, and empty lines that keep libcurl from adding
// a Content-Type or an Expect: 100-continue of its own.
void add_header_block(Transfer& transfer, std::string_view header_block) {
    bool has_content_type = false;
    bool has_expect = false;
    for (std::size_t line_start = 0; line_start < header_block.size();) {
        std::size_t line_end = header_block.find("\r\n", line_start);
        if (line_end == std::string_view::npos) line_end = header_block.size();
        const std::string line(header_block.substr(line_start, line_end - line_start));
        has_content_type = has_content_type || strncasecmp(line.c_str(), "Content-Type:", 13) == 0;
        has_expect = has_expect || strncasecmp(line.c_str(), "Expect:", 7) == 0;
        transfer.add_header(line);
        line_start = line_end + 2;
    }
    if (!has_content_type) transfer.add_header("Content-Type:");
    if (!has_expect) transfer.add_header("Expect:");
}

// Sets up the transfer of `request`; false when it must not be sent.
bool start(Request& request, std::string_view header_block, const void* body, std::uint32_t body_length) {
    const Connection& connection = *request.connection;
    const Session& session = *connection.session;
    if (connection.host.empty() || has_line_break(connection.host) || has_line_break(request.object) ||
        has_line_break(request.verb) || !is_safe_header_block(header_block)) {
        return false;
    }
    const bool secure = (request.flags & INTERNET_FLAG_SECURE) != 0;
    const std::optional<std::string> url = target_url(connection, request.object, secure);
    if (!url) return false;
    if (!libcurl_ready()) return false;
    auto transfer = std::make_unique<Transfer>();
    if (!transfer->multi || !transfer->easy) return false;
    CURL* curl = transfer->easy;

    curl_easy_setopt(curl, CURLOPT_URL, url->c_str());
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // An https request never follows a redirect to plain http.
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    const bool follow = (request.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0;
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(VT_TRANSPORT_MAX_REDIRECTS));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(VT_TRANSPORT_CONNECT_TIMEOUT_S));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(VT_TRANSPORT_EXCHANGE_TIMEOUT_S));
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(VT_TRANSPORT_NETWORK_BUFFER_BYTES));
#ifdef VT_TRANSPORT_CA_FILE
    curl_easy_setopt(curl, CURLOPT_CAINFO, VT_TRANSPORT_CA_FILE);  // a test build trusting its own fixture
#endif
    // The body comes back exactly as the server sent it.
    curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    // Only the settings of the session count: an empty proxy and bypass list
    // also keep libcurl from reading proxy variables from the environment.
    const std::string proxy = proxy_for(session, secure);
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, session.agent.c_str());
    if ((request.flags & INTERNET_FLAG_NO_COOKIES) == 0) {
        curl_easy_setopt(curl, CURLOPT_SHARE, cookie_store().share());
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // the cookie engine on, nothing read from disk
    }
    add_header_block(*transfer, header_block);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, transfer->headers);

    if (request.verb == "HEAD") {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else if (request.verb == "GET") {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
        if (request.verb == "POST" || body_length > 0) {
            // Copied: the caller's bytes need not outlive the send.
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_length));
            curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, body_length > 0 ? body : "");
        }
    }
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &request);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &request);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, on_progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &request);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, on_socket_open);
    curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &request);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, on_socket_close);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &request);
    if (curl_multi_add_handle(transfer->multi, curl) != CURLM_OK) return false;
    request.last_traffic = std::chrono::steady_clock::now();
    request.transfer = std::move(transfer);
    return true;
}

// A failed transfer that leaves no response to report: no answer of its own
// came, or its redirect was refused or went on too long.
// A redirect the transport refuses to follow (https to plain http) leaves no
// response. Past the redirect limit the last response, itself a redirect,
// is kept, though without its body: libcurl drops the body of a response it
// means to follow.
bool leaves_no_response(CURLcode outcome) { return outcome == CURLE_UNSUPPORTED_PROTOCOL; }

void finish(Request& request, CURLcode outcome) {
    request.finished = true;
    request.outcome = outcome;
    if (leaves_no_response(outcome)) {
        request.answered = false;
        request.header_lines.clear();
        request.pending.clear();
        request.read_offset = 0;
    }
    request.transfer.reset();  // the connection goes at once
}

// Runs the transfer until `enough` holds or it ends.
template <class Condition>
void drive(Request& request, Condition enough) {
    while (!request.finished && !enough()) {
        CURLM* multi = request.transfer->multi;
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            finish(request, CURLE_RECV_ERROR);
            return;
        }
        int queued = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                finish(request, message->data.result);
                return;
            }
        }
        // At most a second, so the progress check sees every stall and close.
        if (!enough()) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
}

constexpr std::int32_t SUCCESS = 1;
constexpr std::int32_t FAILURE = 0;

std::string text_or_empty(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace

#define VT_EXPORT extern "C" __attribute__((visibility("default")))

VT_EXPORT InternetHandle InternetOpenA(const char* agent, std::uint32_t access_type, const char* proxy, const char*,
                                       std::uint32_t) {
    auto session = std::make_shared<Session>();
    session->agent = text_or_empty(agent);
    session->agent.resize(std::min(session->agent.size(), session->agent.find_first_of("\r\n")));
    session->access_type = access_type;
    session->proxy = text_or_empty(proxy);
    return handles().add(std::move(session));
}

VT_EXPORT InternetHandle InternetConnectA(InternetHandle internet, const char* server_name, std::uint16_t server_port,
                                          const char*, const char*, std::uint32_t service, std::uint32_t,
                                          std::uintptr_t) {
    auto session = handles().find<Session>(internet);
    if (!session || service != INTERNET_SERVICE_HTTP) return nullptr;
    auto connection = std::make_shared<Connection>();
    connection->session = std::move(session);
    connection->host = text_or_empty(server_name);
    connection->port = server_port;
    return handles().add(std::move(connection));
}

VT_EXPORT InternetHandle HttpOpenRequestA(InternetHandle connection_handle, const char* verb, const char* object_name,
                                          const char*, const char*, const char**, std::uint32_t flags,
                                          std::uintptr_t) {
    auto connection = handles().find<Connection>(connection_handle);
    if (!connection) return nullptr;
    auto request = std::make_shared<Request>();
    request->connection = std::move(connection);
    request->verb = verb && *verb ? verb : "GET";
    request->object = object_name && *object_name ? object_name : "/";
    request->flags = flags;
    return handles().add(std::move(request));
}

VT_EXPORT std::int32_t HttpSendRequestA(InternetHandle request_handle, const char* headers,
                                        std::uint32_t headers_length, const void* optional,
                                        std::uint32_t optional_length) {
    const auto request = handles().find<Request>(request_handle);
    if (!request) return FAILURE;
    const std::lock_guard guard(request->lock);
    if (request->transfer || request->finished) return FAILURE;  // a request is sent once
    const std::string_view header_block = headers ? std::string_view(headers, strnlen(headers, headers_length))
                                                  : std::string_view();
    if (!start(*request, header_block, optional, optional ? optional_length : 0)) {
        request->finished = true;
        return FAILURE;
    }
    // Until the final response's body begins (its headers are then known),
    // or the exchange is over.
    drive(*request, [&] { return request->body_started; });
    const bool failed = request->finished && request->outcome != CURLE_OK;
    return request->answered && !failed ? SUCCESS : FAILURE;
}

VT_EXPORT std::int32_t InternetReadFile(InternetHandle file, void* buffer, std::uint32_t bytes_to_read,
                                        std::uint32_t* bytes_read) {
    if (bytes_read) *bytes_read = 0;
    const auto request = handles().find<Request>(file);
    if (!request || !buffer || !bytes_read) return FAILURE;
    const std::lock_guard guard(request->lock);
    if (request->read_offset == request->pending.size()) {
        // All read: the buffer starts over, its memory kept for what comes.
        request->pending.clear();
        request->read_offset = 0;
        if (request->paused && request->transfer) {
            request->paused = false;
            request->last_traffic = std::chrono::steady_clock::now();  // the wait was the reader's, not the line's
            curl_easy_pause(request->transfer->easy, CURLPAUSE_CONT);
        }
        if (request->transfer && bytes_to_read > 0) drive(*request, [&] { return !request->pending.empty(); });
    }
    const std::size_t count = std::min<std::size_t>(request->pending.size() - request->read_offset, bytes_to_read);
    std::memcpy(buffer, request->pending.data() + request->read_offset, count);
    request->read_offset += count;
    *bytes_read = static_cast<std::uint32_t>(count);
    const bool failed = count == 0 && request->finished && request->outcome != CURLE_OK;
    return failed ? FAILURE : SUCCESS;
}

VT_EXPORT std::int32_t HttpQueryInfoA(InternetHandle request_handle, std::uint32_t info_level, void* buffer,
                                      std::uint32_t* buffer_length, std::uint32_t*) {
    const auto request = handles().find<Request>(request_handle);
    if (!request || !buffer_length || info_level != HTTP_QUERY_RAW_HEADERS_CRLF) return FAILURE;
    const std::lock_guard guard(request->lock);
    if (!request->answered) return FAILURE;
    const std::string block = request->header_lines + "\r\n";
    if (!buffer || block.size() + 1 > *buffer_length) {
        *buffer_length = static_cast<std::uint32_t>(block.size() + 1);
        return FAILURE;
    }
    std::memcpy(buffer, block.c_str(), block.size() + 1);
    *buffer_length = static_cast<std::uint32_t>(block.size());
    return SUCCESS;
}

VT_EXPORT std::int32_t InternetCloseHandle(InternetHandle handle) {
    if (const auto request = handles().find<Request>(handle)) request->closed = true;
    return handles().remove(handle) ? SUCCESS : FAILURE;
}
