// Untrusted DIB, BMP and page file bytes through the parsers, every encoder of the pixels they vouch
// for, and the page store's two reads: the reduced one never gives more than the input justifies,
// the full one hands out a body only when its header, colour table and every row lie inside it.
#include "codec/dib.h"
#include "codec/endian.h"
#include "codec/fax.h"
#include "codec/packbits.h"
#include "codec/reduce.h"
#include "tests/native/support.h"

namespace {

void Encode(const codec::ImageView& v) {
  // Big pages take long without finding more; the parser is what is fuzzed.
  if (uint64_t{v.width} * v.height > (1u << 20)) return;
  std::vector<uint8_t> out;
  if (v.format == codec::PixelFormat::Bilevel) {
    codec::EncodeG3(v, out);
    codec::EncodeG4(v, out);
  }
  for (uint32_t y = 0; y < v.height; ++y)
    codec::PackBits(v.Row(y), codec::RowBytes(v.format, v.width), out);
  codec::TiffPage page;
  codec::BuildTiffPage(v, codec::TiffCompression::G4, 8, codec::ByteOrder::Big, &page);
  testpages::MemorySink sink;
  codec::PdfWriter pdf(sink);
  pdf.Begin();
  pdf.AddPage(v, codec::PdfCompression::PackBits);
  pdf.Finish();
}

int ReadPageFile(const uint8_t* data, size_t size) {
  if (codec::ReduceBmp(data, size).size() > size + 48) __builtin_trap();
  if (size >= 4) {
    const uint32_t width = (data[0] | data[1] << 8) % 4096;
    std::vector<uint8_t> dst((width + 7) / 8 + 1);
    codec::ReduceRow(data + 2, size - 2, width, dst.data());
  }
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
  const size_t rowBytes = codec::RowBytes(v.format, v.width);
  if (rows + uint64_t{codec::DibStride(v.width, h.bitCount)} * (v.height - 1) + rowBytes > cb)
    __builtin_trap();
  if ((v.stride < 0 ? v.Row(v.height - 1) : v.Row(0)) != body + rows) __builtin_trap();
  // Every byte of every row, so that the sanitizer sees any read past the block.
  unsigned sum = 0;
  for (uint32_t y = 0; y < v.height; ++y)
    for (size_t i = 0; i < rowBytes; ++i) sum += v.Row(y)[i];
  return static_cast<int>(sum & 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  codec::ImageView v;
  if (codec::ParseBmp(data, size, &v) == codec::DibError::None) Encode(v);
  if (codec::ParseDib(data, size, &v) == codec::DibError::None) Encode(v);
  return ReadPageFile(data, size);
}
