// One complete HTTP exchange over the platform's transport functions,
// returning the response body. Failures give an empty or short body; the
// routine reports nothing else.
#pragma once

#include <cstdint>

#include "core/text.h"

namespace vt {

enum HttpMethod : std::int32_t { HTTP_GET = 0, HTTP_POST, HTTP_HEAD, HTTP_PUT, HTTP_OPTIONS, HTTP_DELETE, HTTP_TRACE, HTTP_CONNECT };

// The optional parameters. The pointers are the caller's variables, written
// as the request goes (null: not given, the value is dropped). A null
// send_cookies is "not given", which keeps the platform's own cookie store
// in use and skips the merge; an empty text given is something else.
struct HttpRequestOptions {
    std::int32_t method = HTTP_GET;
    Text body_text{};
    Text* send_cookies = nullptr;      // in/out
    Text* returned_cookies = nullptr;  // out
    Text* extra_headers = nullptr;     // in/out: on return, the block that was sent
    Text* returned_headers = nullptr;  // out: the raw response header block
    bool no_redirect = false;
    Bytes* body_bytes = nullptr;       // in/out
    Text proxy{};
    bool merge_returned_cookies = true;
};

inline constexpr const char* DEFAULT_USER_AGENT = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
inline constexpr std::int32_t READ_PIECE_BYTES = 1024;
inline constexpr std::int32_t RESPONSE_HEADER_BYTES = 5000;  // the terminating zero included

Bytes http_request(const Text& request_url, const HttpRequestOptions& options = {});

}  // namespace vt
