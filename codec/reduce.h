// The 1/16 thumbnail of a 1-bit page: from the first row of every band of 16
// rows, each run of 16 pixels becomes one pixel, set when more than 8 of the
// 16 source bits are set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace codec {

struct Reduction {
  uint32_t width = 0;      // of the reduced page: source width / 16
  uint32_t height = 0;     // source height / 16
  uint32_t srcStride = 0;  // bytes of one source row
  uint32_t dstStride = 0;  // bytes of one reduced row
};

// False when the page is 64 pixels or less either way: such pages are shown whole.
bool PlanReduction(int32_t width, int32_t height, Reduction* plan);

// One reduced row from `srcBytes` bytes of a source row; writes (width + 7) / 8
// bytes of `dst`, stopping early where the source row has no more bytes.
void ReduceRow(const uint8_t* src, size_t srcBytes, uint32_t width, uint8_t* dst);

// Size of the reduced packed DIB: header, two-entry colour table, rows;
// counted in 64 bits, as it may not fit a 32-bit size_t.
inline uint64_t ReducedDibSize(const Reduction& plan) {
  return 48 + uint64_t{plan.height} * plan.dstStride;
}

// Header and colour table (black, white) of the reduced packed DIB; out holds 48 bytes.
void WriteReducedHeader(const Reduction& plan, int32_t xPelsPerMeter, int32_t yPelsPerMeter,
                        uint8_t* out);

// The whole reduction over a BMP file in memory: the reduced packed DIB, the
// file's own DIB when the page is too small to reduce, empty when the bytes
// are not a BMP file or end too early. Source rows are taken in file order
// from bfOffBits, one per 16; the rows stop once the next source offset
// reaches biSizeImage, leaving the rest zero.
std::vector<uint8_t> ReduceBmp(const uint8_t* data, size_t size);

// The row loop of that reduction over any store of the file's bytes: `read`
// copies `bytes` bytes at a file offset into the row buffer (srcStride bytes)
// and says false when the file ends first. `out` holds ReducedDibSize(plan)
// bytes with the header already written. False when a row cannot be read.
using ReadRowAt = bool (*)(void* context, uint64_t offset, uint8_t* row, size_t bytes);
bool ReduceRows(const Reduction& plan, uint64_t offBits, uint32_t sizeImage, ReadRowAt read,
                void* context, uint8_t* rowBuffer, uint8_t* out);

}  // namespace codec
