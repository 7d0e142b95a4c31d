// Device-independent bitmaps: the packed form (BITMAPINFOHEADER, colour table,
// pixel rows) and the BMP file form (a 14-byte file header before it). The
// parsers take untrusted bytes and never look outside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/image.h"

namespace codec {

constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kFileHeaderSize = 14;

struct DibHeader {
  int32_t width = 0;
  int32_t height = 0;  // negative: rows stored top-down
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

DibHeader ReadInfoHeader(const uint8_t* p);  // p holds kInfoHeaderSize bytes
void WriteInfoHeader(const DibHeader& h, uint8_t* p);

enum class DibError {
  None,
  Truncated,    // the bytes end before the header, colour table or rows do
  NotBmp,       // no "BM" file header
  BadHeader,    // header size, planes, sizes out of range
  Unsupported,  // compressed, or a depth other than 1, 8 and 24 bits
};

// Checks a packed DIB of `size` bytes and gives a view of its pixels.
// Rows start right after the colour table. Page files carry the 40-byte
// header only; scanners may deliver the longer V4 and V5 headers, which
// `acceptLongerHeaders` lets through (their extra fields are not used).
DibError ParseDib(const uint8_t* data, size_t size, ImageView* out,
                  bool acceptLongerHeaders = false);

// Colour-table bytes of a page file's DIB, by bit depth alone: two entries for
// 1 bit, 256 for 8, none for any other depth. Every reader of pages uses this.
inline size_t PagePaletteBytes(uint16_t bitCount) {
  return bitCount == 1 ? 8 : bitCount == 8 ? 1024 : 0;
}

// A page file's packed DIB: ParseDib's checks, and a colour table of exactly
// PagePaletteBytes, so that rows read from there lie inside the `size` bytes.
DibError ParsePageDib(const uint8_t* data, size_t size, ImageView* out);

// The same for a whole BMP file; rows start at the file header's bfOffBits.
DibError ParseBmp(const uint8_t* data, size_t size, ImageView* out);

// Bytes from one DIB row to the next: rows are padded to 32 bits.
inline size_t DibStride(uint32_t width, uint16_t bitCount) {
  return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
}

// Packed DIB of an image, bottom-up rows. Bilevel images get the colour
// table {black, white} with bit 1 = white, converting if the view says otherwise.
std::vector<uint8_t> MakePackedDib(const ImageView& image);

// BMP file: the 14-byte file header, then the packed DIB.
std::vector<uint8_t> MakeBmpFile(const ImageView& image);

}  // namespace codec
