// Untrusted TIFF files as TIFF32 meets them when it adds a page: a page is added only to a file
// whose directory chain the tail reader could follow, after which the chain ends at the new page
// and nothing before it but one link has changed.
#include "tests/native/support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testpages::MemoryFile file;
  file.bytes.assign(data, data + size);
  codec::TiffTail found;
  const bool bFound = codec::FindTiffTail(file, &found);
  if (bFound && (found.link + uint64_t{4} > size || found.end != size)) __builtin_trap();

  uint8_t bits[4 * 4];
  for (size_t i = 0; i < sizeof bits; ++i) bits[i] = i < size ? data[i] : 0;
  codec::ImageView page{bits, 4, 32, 4};
  page.xPelsPerMeter = page.yPelsPerMeter = 3937;

  // As the first call for this file: the tail is found again by walking the chain.
  codec::TiffTail tail;
  if (!codec::AppendTiffPage(file, page, codec::TiffCompression::G4, &tail)) return 0;
  if (size != 0 && !bFound) __builtin_trap();
  for (size_t i = 0; i < size; ++i)
    if (file.bytes[i] != data[i] && (i < found.link || i >= found.link + uint64_t{4}))
      __builtin_trap();

  // As the next call of a multi-page export: the tail it was handed is trusted.
  if (!codec::AppendTiffPage(file, page, codec::TiffCompression::None, &tail)) __builtin_trap();
  codec::TiffTail again;
  if (!codec::FindTiffTail(file, &again) || again.link != tail.link ||
      again.end != file.bytes.size())
    __builtin_trap();
  return 0;
}
