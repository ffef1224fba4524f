// The transport's seven operations, bound by name the way the program binds
// them, and one whole exchange made with them directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/wininet/inet_functions.h"
#include "shell/binding/platform_functions.h"

namespace vt {

struct TransportCalls {
    InternetOpenAFunction* open = platform_function<InternetOpenAFunction>(PF_INTERNET_OPEN);
    InternetConnectAFunction* connect = platform_function<InternetConnectAFunction>(PF_INTERNET_CONNECT);
    HttpOpenRequestAFunction* open_request = platform_function<HttpOpenRequestAFunction>(PF_HTTP_OPEN_REQUEST);
    HttpSendRequestAFunction* send = platform_function<HttpSendRequestAFunction>(PF_HTTP_SEND_REQUEST);
    InternetReadFileFunction* read = platform_function<InternetReadFileFunction>(PF_INTERNET_READ_FILE);
    HttpQueryInfoAFunction* query = platform_function<HttpQueryInfoAFunction>(PF_HTTP_QUERY_INFO);
    InternetCloseHandleFunction* close = platform_function<InternetCloseHandleFunction>(PF_INTERNET_CLOSE_HANDLE);
};

inline const TransportCalls& transport() {
    static const TransportCalls calls;
    return calls;
}

struct ExchangeSettings {
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;
    std::string verb = "GET";
    std::string object = "/";
    std::uint32_t flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    std::string header_block{};
    std::string body{};
    std::string agent = "wire-test";
    std::optional<std::string> proxy{};  // given: the proxy access type with this text
};

struct ExchangeResult {
    bool sent = false;
    std::optional<std::string> headers;  // none when the header query failed
    std::string body;
};

// Open, connect, request, send, read in 1024-byte pieces, query, close.
inline ExchangeResult exchange(const ExchangeSettings& settings) {
    const TransportCalls& calls = transport();
    ExchangeResult result;
    InternetHandle internet =
        calls.open(settings.agent.c_str(), settings.proxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_DIRECT,
                   settings.proxy ? settings.proxy->c_str() : nullptr, settings.proxy ? "" : nullptr, 0);
    InternetHandle connection = calls.connect(internet, settings.host.c_str(), settings.port, nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, 0);
    InternetHandle request = calls.open_request(connection, settings.verb.c_str(), settings.object.c_str(),
                                                "HTTP/1.1", nullptr, nullptr, settings.flags, 0);
    result.sent = calls.send(request, settings.header_block.c_str(), static_cast<std::uint32_t>(settings.header_block.size()),
                             settings.body.empty() ? nullptr : settings.body.data(),
                             static_cast<std::uint32_t>(settings.body.size())) != 0;
    char piece[1024];
    std::uint32_t count = 0;
    do {
        calls.read(request, piece, sizeof piece, &count);
        result.body.append(piece, count);
    } while (count > 0);
    std::string headers(5000, ' ');
    std::uint32_t length = 5000;
    if (calls.query(request, HTTP_QUERY_RAW_HEADERS_CRLF, headers.data(), &length, nullptr)) {
        result.headers = headers.substr(0, headers.find('\0'));
    }
    calls.close(request);
    calls.close(connection);
    calls.close(internet);
    return result;
}

}  // namespace vt
