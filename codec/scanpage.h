// The one form every scanned page is handed on in, whatever the scanner sent:
// a packed 1-bit DIB, bottom-up, 40-byte header, {black, white} colour table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/image.h"
#include "codec/transform.h"

namespace codec {

struct PageOptions {
  Halftone method = Halftone::Threshold;  // for grey and colour pages
  bool turnLeft = false;                  // a landscape page the scanner left portrait
  int32_t xPelsPerMeter = 0;              // 0: keep the page's own
  int32_t yPelsPerMeter = 0;
};

// Empty when the page cannot be converted (memory).
std::vector<uint8_t> NormalPage(const ImageView& page, const PageOptions& options);

// A view of raw top-down rows as a buffered transfer delivers them: 1, 8 or 24
// bits per pixel, colour in red-green-blue order, 0 = black unless
// `zeroIsWhite`. Colour and inverted grey rows are rewritten in place to the
// blue-green-red, 0 = black form the views use. Width 0 for other depths.
ImageView RawRowsView(uint8_t* rows, size_t stride, uint32_t width, uint32_t height,
                      int bitsPerPixel, bool zeroIsWhite);

}  // namespace codec
