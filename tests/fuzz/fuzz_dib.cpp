// Untrusted DIB and BMP bytes through the parsers and every encoder that reads
// the pixels the parser vouched for.
#include "codec/dib.h"
#include "codec/fax.h"
#include "codec/packbits.h"
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
  std::vector<uint8_t> dib = codec::MakePackedDib(v);
  codec::ImageView back;
  if (codec::ParseDib(dib.data(), dib.size(), &back) != codec::DibError::None) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  codec::ImageView v;
  if (codec::ParseBmp(data, size, &v) == codec::DibError::None) Encode(v);
  if (codec::ParseDib(data, size, &v) == codec::DibError::None) Encode(v);
  return 0;
}
