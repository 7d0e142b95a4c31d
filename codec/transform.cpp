#include "codec/transform.h"

#include <cstring>
#include <limits>
#include <new>

namespace codec {

namespace {

size_t PaddedStride(uint32_t width, PixelFormat format) {
  return (RowBytes(format, width) + 3) / 4 * 4;
}

bool BitIsWhite(const ImageView& v, const uint8_t* row, uint32_t x) {
  bool set = (row[x >> 3] >> (7 - (x & 7))) & 1;
  return set == v.whiteIs1;
}

uint8_t Luma(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint8_t>((299u * r + 587u * g + 114u * b + 500u) / 1000u);
}

}  // namespace

ImageView Image::View() const {
  ImageView v;
  v.top = bits.data();
  v.stride = static_cast<ptrdiff_t>(stride);
  v.width = width;
  v.height = height;
  v.format = format;
  v.whiteIs1 = true;
  v.xPelsPerMeter = xPelsPerMeter;
  v.yPelsPerMeter = yPelsPerMeter;
  return v;
}

Image MakeImage(uint32_t width, uint32_t height, PixelFormat format) {
  Image img;
  size_t stride = PaddedStride(width, format);
  if (height != 0 && stride > std::numeric_limits<size_t>::max() / height) return img;
  try {
    img.bits.assign(stride * height, format == PixelFormat::Bilevel ? 0xFF : 0x00);
  } catch (const std::bad_alloc&) {
    return Image{};
  }
  img.width = width;
  img.height = height;
  img.stride = stride;
  img.format = format;
  return img;
}

Image ToGray(const ImageView& src) {
  Image out = MakeImage(src.width, src.height, PixelFormat::Gray8);
  if (out.width != src.width) return out;
  out.xPelsPerMeter = src.xPelsPerMeter;
  out.yPelsPerMeter = src.yPelsPerMeter;
  for (uint32_t y = 0; y < src.height; ++y) {
    const uint8_t* s = src.Row(y);
    uint8_t* d = out.bits.data() + y * out.stride;
    switch (src.format) {
      case PixelFormat::Bilevel:
        for (uint32_t x = 0; x < src.width; ++x) d[x] = BitIsWhite(src, s, x) ? 255 : 0;
        break;
      case PixelFormat::Gray8: std::memcpy(d, s, src.width); break;
      case PixelFormat::Palette8:
        for (uint32_t x = 0; x < src.width; ++x) {
          const Rgb& c = src.palette[s[x]];
          d[x] = s[x] < src.paletteSize ? Luma(c.r, c.g, c.b) : 0;
        }
        break;
      case PixelFormat::Bgr24:
        for (uint32_t x = 0; x < src.width; ++x) d[x] = Luma(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
        break;
    }
  }
  return out;
}

Image ToBilevel(const ImageView& src, Halftone method, uint8_t threshold) {
  if (src.format == PixelFormat::Bilevel) {
    Image out = MakeImage(src.width, src.height, PixelFormat::Bilevel);
    if (out.width != src.width) return out;
    out.xPelsPerMeter = src.xPelsPerMeter;
    out.yPelsPerMeter = src.yPelsPerMeter;
    size_t bytes = RowBytes(PixelFormat::Bilevel, src.width);
    uint8_t flip = src.whiteIs1 ? 0x00 : 0xFF;
    for (uint32_t y = 0; y < src.height; ++y) {
      const uint8_t* s = src.Row(y);
      uint8_t* d = out.bits.data() + y * out.stride;
      for (size_t i = 0; i < bytes; ++i) d[i] = s[i] ^ flip;
    }
    return out;
  }
  Image gray = ToGray(src);
  Image out = MakeImage(src.width, src.height, PixelFormat::Bilevel);
  if (gray.width != src.width || out.width != src.width) return Image{};
  out.xPelsPerMeter = src.xPelsPerMeter;
  out.yPelsPerMeter = src.yPelsPerMeter;
  const uint32_t w = src.width;
  // Floyd-Steinberg over two rows of carried error, left to right.
  std::vector<int> err(method == Halftone::Diffusion ? 2 * (size_t{w} + 2) : 0, 0);
  for (uint32_t y = 0; y < src.height; ++y) {
    const uint8_t* g = gray.bits.data() + y * gray.stride;
    uint8_t* d = out.bits.data() + y * out.stride;
    std::memset(d, 0, out.stride);
    int* cur = err.empty() ? nullptr : &err[(y & 1) * (size_t{w} + 2) + 1];
    int* next = err.empty() ? nullptr : &err[((y + 1) & 1) * (size_t{w} + 2) + 1];
    if (next) std::fill(next - 1, next + w + 1, 0);
    for (uint32_t x = 0; x < w; ++x) {
      bool white;
      if (!cur) {
        white = g[x] >= threshold;
      } else {
        const ptrdiff_t i = x;
        int value = g[x] + cur[i] / 16;
        white = value >= threshold;
        int e = value - (white ? 255 : 0);
        cur[i + 1] += e * 7;
        next[i - 1] += e * 3;
        next[i] += e * 5;
        next[i + 1] += e;
      }
      if (white) d[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
  }
  return out;
}

Image RotateLeft(const ImageView& src) {
  if (src.format != PixelFormat::Bilevel && src.format != PixelFormat::Gray8) return Image{};
  // The new page is src.height wide and src.width high.
  Image out = MakeImage(src.height, src.width, src.format);
  if (out.width != src.height || out.height != src.width) return Image{};
  out.xPelsPerMeter = src.yPelsPerMeter;
  out.yPelsPerMeter = src.xPelsPerMeter;
  // Source pixel (x, y) lands at (y, width - 1 - x).
  for (uint32_t y = 0; y < src.height; ++y) {
    const uint8_t* s = src.Row(y);
    if (src.format == PixelFormat::Gray8) {
      for (uint32_t x = 0; x < src.width; ++x)
        out.bits[(src.width - 1 - x) * out.stride + y] = s[x];
      continue;
    }
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (y & 7));
    const size_t column = y >> 3;
    for (uint32_t x = 0; x < src.width; ++x) {
      uint8_t* d = &out.bits[(src.width - 1 - x) * out.stride + column];
      if (BitIsWhite(src, s, x))
        *d |= mask;
      else
        *d &= static_cast<uint8_t>(~mask);
    }
  }
  return out;
}

}  // namespace codec
