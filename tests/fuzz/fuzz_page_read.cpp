// Untrusted page files through the page store's full read: the body the file
// header names is handed out only when its header, the colour table of the page
// rule and every row lie inside it, so a reader that draws, prints or encodes
// the page from there stays inside the block. (The reduced read is fuzz_reduce.)
#include <cstddef>
#include <cstdint>

#include "codec/dib.h"
#include "codec/endian.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < codec::kFileHeaderSize || data[0] != 'B' || data[1] != 'M') return 0;
  const uint32_t fileSize = codec::GetLe32(data + 2);
  if (fileSize <= codec::kFileHeaderSize || fileSize > size) return 0;
  const uint8_t* body = data + codec::kFileHeaderSize;
  const size_t cb = fileSize - codec::kFileHeaderSize;
  codec::ImageView v;
  if (codec::ParsePageDib(body, cb, &v) != codec::DibError::None) return 0;

  // Where the display finds the rows: after the header and the page rule's table.
  const codec::DibHeader h = codec::ReadInfoHeader(body);
  const uint64_t rows = codec::kInfoHeaderSize + codec::PagePaletteBytes(h.bitCount);
  const uint64_t end = rows + uint64_t{codec::DibStride(v.width, h.bitCount)} * (v.height - 1) +
                       codec::RowBytes(v.format, v.width);
  if (end > cb) __builtin_trap();
  const uint8_t* first = v.stride < 0 ? v.Row(v.height - 1) : v.Row(0);
  if (first != body + rows) __builtin_trap();
  // Every byte of every row, so that the sanitizer sees any read past the block.
  unsigned sum = 0;
  for (uint32_t y = 0; y < v.height; ++y)
    for (size_t i = 0; i < codec::RowBytes(v.format, v.width); ++i) sum += v.Row(y)[i];
  return static_cast<int>(sum & 0);
}
