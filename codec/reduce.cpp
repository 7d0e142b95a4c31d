#include "codec/reduce.h"

#include <cstring>

#include "codec/dib.h"
#include "codec/endian.h"

namespace codec {

bool PlanReduction(int32_t width, int32_t height, Reduction* plan) {
  if (width <= 64 || height <= 64) return false;
  plan->width = static_cast<uint32_t>(width) / 16;
  plan->height = static_cast<uint32_t>(height) / 16;
  plan->srcStride = ((static_cast<uint32_t>(width) + 7) / 8 + 3) & ~3u;
  plan->dstStride = ((plan->width + 7) / 8 + 3) & ~3u;
  return true;
}

void ReduceRow(const uint8_t* src, size_t srcBytes, uint32_t width, uint8_t* dst) {
  uint32_t acc = 0;
  uint32_t x = 0;
  for (; x < width && 2 * (size_t{x} + 1) <= srcBytes; ++x) {
    int ones = __builtin_popcount(src[2 * x]) + __builtin_popcount(src[2 * x + 1]);
    acc = acc << 1 | (ones > 8 ? 1u : 0u);
    if ((x & 7) == 7) {
      dst[x >> 3] = static_cast<uint8_t>(acc);
      acc = 0;
    }
  }
  if (x & 7) dst[x >> 3] = static_cast<uint8_t>(acc << (8 - (x & 7)));
}

void WriteReducedHeader(const Reduction& plan, int32_t xPelsPerMeter, int32_t yPelsPerMeter,
                        uint8_t* out) {
  DibHeader h;
  h.width = static_cast<int32_t>(plan.width);
  h.height = static_cast<int32_t>(plan.height);
  h.bitCount = 1;
  h.sizeImage = plan.height * plan.dstStride;
  h.xPelsPerMeter = xPelsPerMeter;
  h.yPelsPerMeter = yPelsPerMeter;
  WriteInfoHeader(h, out);
  static const uint8_t kTable[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  std::memcpy(out + kInfoHeaderSize, kTable, sizeof kTable);
}

std::vector<uint8_t> ReduceBmp(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kFileHeaderSize + kInfoHeaderSize || data[0] != 'B' ||
      data[1] != 'M')
    return {};
  const uint32_t fileSize = GetLe32(data + 2);
  const uint32_t offBits = GetLe32(data + 10);
  const DibHeader h = ReadInfoHeader(data + kFileHeaderSize);
  Reduction plan;
  if (!PlanReduction(h.width, h.height, &plan)) {
    if (fileSize < kFileHeaderSize || fileSize > size) return {};
    return std::vector<uint8_t>(data + kFileHeaderSize, data + fileSize);
  }
  // A reduced page is a small fraction of its source: a header claiming more
  // pixels than the file holds must not make us allocate for them.
  if (ReducedDibSize(plan) > size + 48) return {};
  std::vector<uint8_t> out(static_cast<size_t>(ReducedDibSize(plan)), 0);
  WriteReducedHeader(plan, h.xPelsPerMeter, h.yPelsPerMeter, out.data());
  struct Memory {
    const uint8_t* data;
    size_t size;
  } file{data, size};
  auto read = [](void* context, uint64_t offset, uint8_t* row, size_t bytes) {
    const Memory& m = *static_cast<const Memory*>(context);
    if (offset > m.size || m.size - offset < bytes) return false;
    std::memcpy(row, m.data + offset, bytes);
    return true;
  };
  std::vector<uint8_t> row(plan.srcStride);
  if (!ReduceRows(plan, offBits, h.sizeImage, read, &file, row.data(), out.data())) return {};
  return out;
}

bool ReduceRows(const Reduction& plan, uint64_t offBits, uint32_t sizeImage, ReadRowAt read,
                void* context, uint8_t* rowBuffer, uint8_t* out) {
  uint64_t offset = offBits;
  for (uint32_t r = 0; r < plan.height; ++r) {
    if (!read(context, offset, rowBuffer, plan.srcStride)) return false;
    ReduceRow(rowBuffer, plan.srcStride, plan.width, out + 48 + size_t{r} * plan.dstStride);
    offset += uint64_t{16} * plan.srcStride;
    if (offset >= sizeImage) break;
  }
  return true;
}

}  // namespace codec
