// A view of decoded pixel rows in memory, the form every encoder here takes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace codec {

enum class PixelFormat : uint8_t {
  Bilevel,   // 1 bit per pixel, most significant bit first
  Gray8,     // 0 black .. 255 white
  Palette8,  // index into `palette`
  Bgr24,     // blue, green, red bytes as a DIB stores them
};

struct Rgb {
  uint8_t r, g, b;
};

struct ImageView {
  const uint8_t* top = nullptr;  // first byte of the top row
  ptrdiff_t stride = 0;          // from one row to the row below it; negative for bottom-up DIBs
  uint32_t width = 0;
  uint32_t height = 0;
  PixelFormat format = PixelFormat::Bilevel;
  bool whiteIs1 = true;      // Bilevel: which bit value is white
  uint16_t paletteSize = 0;  // Palette8 only
  Rgb palette[256] = {};
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;

  const uint8_t* Row(uint32_t y) const { return top + static_cast<ptrdiff_t>(y) * stride; }
};

// Bytes of one packed row without padding.
inline size_t RowBytes(PixelFormat format, uint32_t width) {
  switch (format) {
    case PixelFormat::Bilevel: return (static_cast<size_t>(width) + 7) / 8;
    case PixelFormat::Gray8:
    case PixelFormat::Palette8: return width;
    case PixelFormat::Bgr24: return static_cast<size_t>(width) * 3;
  }
  return 0;
}

// Resolution as printed: dots per inch, kept as a rational so a file states
// exactly what the scanner reported. A value within 0.01 of a whole number is
// taken as that number (DIBs carry 200 dpi as 7874 pixels per metre).
struct Resolution {
  uint32_t num = 72;
  uint32_t den = 1;
  double Dpi() const { return static_cast<double>(num) / den; }
};

Resolution ResolutionFromPelsPerMeter(int32_t pelsPerMeter);

}  // namespace codec
