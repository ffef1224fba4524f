#include "pictures/refresh_picture.h"

#include <thread>

#include "core/text_operations.h"
#include "http/http_request.h"
#include "pictures/pick_line.h"
#include "pictures/random_in_range.h"
#include "resources/builtin_data.h"

namespace vt {

const char* const PROXY_PREFIX = "http://" VT_PROXY_HOST "/net/a/36/link?appid=36&url=";

void refresh_picture(PicBox& frame) {
    const Text list = bytes_to_text(Bytes(PICTURE_LIST));
    const std::int32_t line_number = text_to_int(random_in_range(FIRST_PICTURE_LINE, LAST_PICTURE_LINE));
    const Text line = pick_line(list, line_number);
    // The line goes in as it is: its own address is the url value, and a
    // "&durl=" suffix becomes a parameter of the proxy request.
    const Text address = concat_text(PROXY_PREFIX, line);
    const Bytes body = http_request(address);
    frame.set_picture(body);
    frame.set_visible(true);
}

void start_refresh(PicBox& frame) noexcept {
    try {
        std::thread(refresh_picture, std::ref(frame)).detach();
    } catch (...) {
        // No thread could be made: nothing happens, as with any failed refresh.
    }
}

}  // namespace vt
