#include "http/http_request.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "core/text_operations.h"
#include "http/cookie_merge.h"
#include "http/text_slicing.h"
#include "http/url_parts.h"
#include "platform/wininet/inet_functions.h"
#include "shell/binding/platform_functions.h"

namespace vt {

namespace {

constexpr const char* VERBS[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr const char* CRLF = "\r\n";

// Collects a body that comes in small pieces of unknown number, in blocks,
// and joins them once at the end: the body is then copied once into memory
// of its final size, rather than into larger and larger buffers whose fresh
// pages cost more than a fast transfer itself.
class PieceCollector {
public:
    void append(std::span<const std::uint8_t> piece) {
        if (piece.empty()) return;
        if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < piece.size()) {
            blocks_.emplace_back().reserve(std::max(BLOCK_BYTES, piece.size()));
        }
        blocks_.back().insert(blocks_.back().end(), piece.begin(), piece.end());
        total_ += piece.size();
    }

    Bytes join() const {
        std::vector<std::uint8_t> whole;
        whole.reserve(total_);
        for (const auto& block : blocks_) whole.insert(whole.end(), block.begin(), block.end());
        return Bytes(std::move(whole));
    }

private:
    // Small enough to come from the allocator's reused memory.
    static constexpr std::size_t BLOCK_BYTES = std::size_t{64} * 1024;
    std::vector<std::vector<std::uint8_t>> blocks_;
    std::size_t total_ = 0;
};

Text user_agent_from(const Text& extra_headers) {
    if (find_text(extra_headers, Text("User-Agent:"), std::nullopt, true) == -1) return Text(DEFAULT_USER_AGENT);
    Text agent = trim_text(text_between(concat_text(extra_headers, CRLF), Text("User-Agent:"), Text(CRLF)));
    if (text_length(agent) == 0) agent = text_after_colon(extra_headers);
    return agent;
}

bool contains(const Text& text, const char* marker) { return find_text(text, Text(marker), std::nullopt, false) != -1; }

void complete_header_block(Text& headers, const Text& request_url, std::int32_t method, const Text* send_cookies) {
    if (text_length(headers) == 0) {
        headers = Text("Accept: */*");
    } else if (!contains(headers, "Accept:")) {
        headers = concat_text(headers, "\r\nAccept: */*");
    }
    if (!contains(headers, "Referer:")) headers = concat_text(headers, "\r\nReferer: ", request_url);
    if (!contains(headers, "Accept-Language:")) headers = concat_text(headers, "\r\nAccept-Language: zh-cn");
    if (method == HTTP_POST && !contains(headers, "Content-Type:")) {
        headers = concat_text(headers, "\r\nContent-Type: application/x-www-form-urlencoded");
    }
    if (send_cookies && text_length(*send_cookies) > 0) {
        headers = contains(*send_cookies, "Cookie:") ? concat_text(headers, CRLF, *send_cookies)
                                                     : concat_text(headers, "\r\nCookie: ", *send_cookies);
    }
}

Text cookies_of(const Text& response_headers) {
    const TextArray lines = split_text(response_headers, Text(CRLF));
    Text cookies;
    for (std::int32_t i = 1; i <= array_size(lines); ++i) {
        const Text& line = array_get(lines, i);
        if (compare_text(text_before(line, Text(": ")), Text("Set-Cookie")) != 0) continue;
        const Text value = contains(line, ";")
                               ? text_between(line, Text("Set-Cookie:"), Text(";"))
                               : replace_text(line, Text("Set-Cookie:"), std::nullopt, std::nullopt, std::nullopt, false);
        cookies = concat_text(cookies, trim_text(value), "; ");
    }
    return text_left(cookies, text_length(cookies) - 2);
}

}  // namespace

Bytes http_request(const Text& request_url, const HttpRequestOptions& options) {
    const std::int32_t method = (options.method < 0 || options.method > 7) ? HTTP_GET : options.method;
    const char* verb = VERBS[method];
    const bool https = compare_text(to_lower(text_left(request_url, 8)), Text("https://")) == 0;

    // Stand-ins for the parameters the caller left out.
    Text dropped_extra_headers;
    Bytes dropped_body_bytes;
    Text dropped_returned_headers;
    Text dropped_returned_cookies;
    Text& extra_headers = options.extra_headers ? *options.extra_headers : dropped_extra_headers;
    Bytes& body_bytes = options.body_bytes ? *options.body_bytes : dropped_body_bytes;
    Text& returned_headers = options.returned_headers ? *options.returned_headers : dropped_returned_headers;
    Text& returned_cookies = options.returned_cookies ? *options.returned_cookies : dropped_returned_cookies;

    const Text agent = user_agent_from(extra_headers);

    const bool direct = compare_text(options.proxy, Text()) == 0;
    const Text proxy = https ? options.proxy : concat_text("http=", options.proxy);
    const InternetHandle internet = platform_function<InternetOpenAFunction>(PF_INTERNET_OPEN)(
        agent.c_str(), direct ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PROXY,
        direct ? nullptr : proxy.c_str(), direct ? nullptr : "", 0);
    if (internet == nullptr) return {};
    // Bound only now: with the library missing, InternetOpenA is the function
    // the error names, as it is the first one called.
    auto* close = platform_function<InternetCloseHandleFunction>(PF_INTERNET_CLOSE_HANDLE);

    const Text host = url_host(request_url);
    const auto port = static_cast<std::uint16_t>(url_port(request_url));
    const InternetHandle connection = platform_function<InternetConnectAFunction>(PF_INTERNET_CONNECT)(
        internet, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (connection == nullptr) {
        close(internet);
        return {};
    }

    std::int32_t flags = bit_or(static_cast<std::int32_t>(INTERNET_FLAG_RELOAD), INTERNET_FLAG_NEED_FILE);
    if (options.send_cookies) flags = bit_or(flags, INTERNET_FLAG_NO_COOKIES);
    if (options.no_redirect) flags = bit_or(flags, INTERNET_FLAG_NO_AUTO_REDIRECT);
    flags = bit_or(flags, static_cast<std::int32_t>(https ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS));
    const Text object = url_path(request_url);
    const InternetHandle request = platform_function<HttpOpenRequestAFunction>(PF_HTTP_OPEN_REQUEST)(
        connection, verb, object.c_str(), "HTTP/1.1", nullptr, nullptr, static_cast<std::uint32_t>(flags), 0);
    if (request == nullptr) {
        close(connection);
        close(internet);
        return {};
    }

    complete_header_block(extra_headers, request_url, method, options.send_cookies);
    const auto header_length = static_cast<std::uint32_t>(text_length(extra_headers));
    if (method == HTTP_GET) {
        platform_function<HttpSendRequestAFunction>(PF_HTTP_SEND_REQUEST)(request, extra_headers.c_str(), header_length,
                                                                           "", 0);
    } else {
        if (bytes_equal(body_bytes, Bytes())) body_bytes = text_to_bytes(options.body_text);
        const bool no_body = bytes_length(body_bytes) == 0;
        platform_function<HttpSendRequestAFunction>(PF_HTTP_SEND_REQUEST_WITH_BODY)(
            request, extra_headers.c_str(), header_length, no_body ? nullptr : body_bytes.data(),
            static_cast<std::uint32_t>(bytes_length(body_bytes)));
    }

    // One buffer serves every read; the pieces are joined once at the end.
    auto* read = platform_function<InternetReadFileFunction>(PF_INTERNET_READ_FILE);
    Bytes buffer = blank_bytes(READ_PIECE_BYTES);
    PieceCollector pieces;
    std::uint32_t count = 0;
    do {
        count = 0;
        read(request, buffer.data(), READ_PIECE_BYTES, &count);
        if (count > static_cast<std::uint32_t>(READ_PIECE_BYTES)) count = 0;  // a transport that overran: stop
        pieces.append(buffer.span().first(count));
    } while (count > 0);
    Bytes body = pieces.join();

    std::string header_buffer(static_cast<std::size_t>(RESPONSE_HEADER_BYTES), ' ');
    std::uint32_t header_buffer_length = RESPONSE_HEADER_BYTES;
    platform_function<HttpQueryInfoAFunction>(PF_HTTP_QUERY_INFO)(request, HTTP_QUERY_RAW_HEADERS_CRLF,
                                                                   header_buffer.data(), &header_buffer_length, nullptr);
    // What was written ends at its zero byte; a failed query left the spaces.
    returned_headers = Text(std::move(header_buffer));

    close(request);
    close(connection);
    close(internet);

    returned_cookies = cookies_of(returned_headers);
    if (options.merge_returned_cookies && options.send_cookies) {
        returned_cookies = merge_cookies(*options.send_cookies, returned_cookies);
    }
    return body;
}

}  // namespace vt
