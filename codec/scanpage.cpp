#include "codec/scanpage.h"

#include <utility>

#include "codec/dib.h"

namespace codec {

std::vector<uint8_t> NormalPage(const ImageView& page, const PageOptions& options) {
  ImageView src = page;
  if (options.xPelsPerMeter > 0 && options.yPelsPerMeter > 0) {
    src.xPelsPerMeter = options.xPelsPerMeter;
    src.yPelsPerMeter = options.yPelsPerMeter;
  }
  Image bw = ToBilevel(src, options.method);
  if (bw.width != src.width || bw.width == 0) return {};
  if (options.turnLeft) {
    bw = RotateLeft(bw.View());
    if (bw.width == 0) return {};
  }
  return MakePackedDib(bw.View());
}

ImageView RawRowsView(uint8_t* rows, size_t stride, uint32_t width, uint32_t height,
                      int bitsPerPixel, bool zeroIsWhite) {
  ImageView v;
  v.top = rows;
  v.stride = static_cast<ptrdiff_t>(stride);
  v.height = height;
  switch (bitsPerPixel) {
    case 1:
      v.format = PixelFormat::Bilevel;
      v.whiteIs1 = !zeroIsWhite;
      break;
    case 8: v.format = PixelFormat::Gray8; break;
    case 24: v.format = PixelFormat::Bgr24; break;
    default: return v;
  }
  if (RowBytes(v.format, width) > stride) return v;
  v.width = width;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = rows + y * stride;
    if (bitsPerPixel == 8 && zeroIsWhite)
      for (uint32_t x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(255 - row[x]);
    if (bitsPerPixel == 24)
      for (uint32_t x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
  }
  return v;
}

}  // namespace codec
