// The picture refresh: a worker draws a random line of the built-in list,
// fetches it through the image proxy and shows it in the picture frame.
#pragma once

#include "shell/picbox/pic_box.h"

namespace vt {

// "http://" + the proxy host (a build setting) + the fixed path and query.
extern const char* const PROXY_PREFIX;

// The first and last line numbers of the picture list.
inline constexpr std::int32_t FIRST_PICTURE_LINE = 1;
inline constexpr std::int32_t LAST_PICTURE_LINE = 423;

// One refresh, on the calling thread: draw, fetch, then set_picture and
// set_visible on `frame`, whatever came back.
void refresh_picture(PicBox& frame);

// Starts one detached worker running refresh_picture and returns at once.
// If no thread can be made, nothing happens.
void start_refresh(PicBox& frame) noexcept;

}  // namespace vt
