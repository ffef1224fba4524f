// Shrinking by area averaging: each target pixel is the exact average of
// the source area it covers, so fine detail turns to its mean instead of
// aliasing.
#pragma once

#include "shell/picbox/pic_box.h"

namespace vt {

// `source` shrunk (or copied) to width x height; both at least 1.
RgbaImage area_resample(const RgbaImage& source, int width, int height);

}  // namespace vt
