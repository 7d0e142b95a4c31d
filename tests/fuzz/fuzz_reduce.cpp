// Untrusted page files through the 1/16 reduction.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/reduce.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> reduced = codec::ReduceBmp(data, size);
  // Either the page itself or its reduction: never more than the input can justify.
  if (reduced.size() > size + 48) __builtin_trap();
  // A row of any length with any width asked for.
  if (size >= 4) {
    uint32_t width = (data[0] | data[1] << 8) % 4096;
    std::vector<uint8_t> dst((width + 7) / 8 + 1);
    codec::ReduceRow(data + 2, size - 2, width, dst.data());
  }
  return 0;
}
