// The HTTP client's text handling: URL decomposition, the cookie merge, and
// the response side of a whole request served by the recording fake
// transport.
#include <dlfcn.h>

#include <string>

#include "core/text_operations.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_input.h"
#include "http/cookie_merge.h"
#include "http/http_request.h"
#include "http/text_slicing.h"
#include "http/url_parts.h"
#include "shell/binding/platform_functions.h"
#include "tests/http/fake_transport/fake_transport.h"

namespace vt::fuzz {

// Input: flags (domain_only, keep_port, suffix_dots given), suffix_dots as
// an int32, then the URL.
void fuzz_url_parts(std::span<const std::uint8_t> bytes) {
    FuzzInput in(bytes);
    const std::uint8_t flags = in.byte();
    const std::int32_t suffix_dots = in.int32();
    const Text url = in.text();
    url_host(url, flags & 1, flags & 2, (flags & 4) ? std::optional(suffix_dots) : std::nullopt);
    url_port(url);
    require(url_path(url).view().starts_with('/'), "a path begins with a slash");
}

// Input: the sent cookies, the returned cookies, then a separator for the
// member dedupe.
void fuzz_cookie_merge(std::span<const std::uint8_t> bytes) {
    FuzzInput in(bytes);
    const Text sent = in.text(), returned = in.text(), separator = in.text();

    Text send_cookies = sent, returned_cookies = returned;
    const Text merged = merge_cookies(send_cookies, returned_cookies);
    require(send_cookies == merged, "the merge leaves its result in the sent cookies");
    require(returned_cookies == trim_text(returned), "the merge leaves the returned cookies trimmed");

    const TextArray members = split_text(merged, Text(";"));
    std::int32_t index = 0;
    for (const Text& member : members) {
        ++index;
        const std::int32_t first = find_member(members, member);
        require(first >= 1 && first <= index, "a member is found at or before its own place");
        require(has_cookie(members, cookie_name(member)), "a member's own name is in the list");
    }
    require(text_length(dedupe_members(sent, separator)) <= text_length(sent), "dropping repeats never adds bytes");
}

namespace {

// The fake transport, found by name beside the executable like the real
// one; its control functions come from the same library handle.
fake::ResetFunction* fake_transport_reset() {
    static fake::ResetFunction* const reset = [] {
        platform_function_address(PF_INTERNET_OPEN);
        void* library = PLATFORM_FUNCTIONS[PF_INTERNET_OPEN].library_handle.load();
        auto* function = reinterpret_cast<fake::ResetFunction*>(::dlsym(library, "fake_transport_reset"));
        require(function != nullptr, "the recording fake transport lies beside the executable");
        return function;
    }();
    return reset;
}

}  // namespace

// Input: flags (send cookies given, header query fails, no merge, a read
// that claims more than the buffer), the sent cookies, the raw response
// header block, then the body.
void fuzz_http_response(std::span<const std::uint8_t> bytes) {
    FuzzInput in(bytes);
    const std::uint8_t flags = in.byte();
    Text send_cookies = in.text();
    fake::Settings served;
    served.header_block = std::string(in.text().view());
    const auto body = in.rest();
    served.body.assign(body.begin(), body.end());
    served.answer_headers = !(flags & 2);
    if (flags & 8) served.claimed_count = READ_PIECE_BYTES + 1;
    fake_transport_reset()(served);

    Text returned_cookies, returned_headers;
    HttpRequestOptions options;
    options.send_cookies = (flags & 1) ? &send_cookies : nullptr;
    options.returned_cookies = &returned_cookies;
    options.returned_headers = &returned_headers;
    options.merge_returned_cookies = !(flags & 4);
    const Bytes received = http_request(Text("http://pictures.example/p?q=1"), options);

    const bool headers_fit = served.answer_headers && served.header_block.size() < std::size_t{RESPONSE_HEADER_BYTES};
    require(returned_headers == (headers_fit ? Text(served.header_block) : blank_text(RESPONSE_HEADER_BYTES)),
            "the header block comes back as served, or as spaces when it was not read");
    const std::string_view whole(served.body);
    const std::size_t kept = (flags & 8) ? 0 : whole.size();
    require(received == Bytes(whole.substr(0, kept)), "the body comes back as served");
}

}  // namespace vt::fuzz
