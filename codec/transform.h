// Page transforms shared by the scanner library and the virtual scanner: a grey
// or colour page made black and white, and the quarter turn of a landscape page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/image.h"

namespace codec {

// Pixel rows owned in memory, top-down, each padded to 32 bits as in a DIB.
struct Image {
  std::vector<uint8_t> bits;
  uint32_t width = 0;
  uint32_t height = 0;
  size_t stride = 0;
  PixelFormat format = PixelFormat::Bilevel;  // Bilevel (1 = white) or Gray8 here
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;

  ImageView View() const;
};

// Empty (width 0) when the rows would not fit in memory.
Image MakeImage(uint32_t width, uint32_t height, PixelFormat format);

// 0 black .. 255 white for any view; colour by its luminance.
Image ToGray(const ImageView& src);

enum class Halftone {
  Threshold,  // dark below the threshold, light at or above it
  Diffusion,  // error diffusion: grey areas become dot patterns of their density
};

// A bilevel page with bit 1 = white. Bilevel input is copied (and turned to
// 1 = white); grey and colour go through `method`.
Image ToBilevel(const ImageView& src, Halftone method, uint8_t threshold = 128);

// The page turned a quarter to the left (counter-clockwise): its top row becomes
// its left column, read from the bottom up. Bilevel and Gray8 only.
Image RotateLeft(const ImageView& src);

}  // namespace codec
