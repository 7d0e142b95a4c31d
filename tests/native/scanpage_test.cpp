// Every raw form a buffered scanner transfer can take ends as the same 1-bit DIB.
#include <gtest/gtest.h>

#include "codec/dib.h"
#include "codec/scanpage.h"

namespace {

constexpr uint32_t kW = 13, kH = 5;

bool Ink(uint32_t x, uint32_t y) { return (x * 7 + y * 3) % 5 == 0; }

// The test picture in one raw form: ink black, paper white.
std::vector<uint8_t> Raw(int bits, bool zeroIsWhite, size_t* stride) {
  *stride = ((kW * bits + 7) / 8 + 3) / 4 * 4 + 4;  // wider than needed, as sources may pad
  std::vector<uint8_t> rows(*stride * kH, 0);
  for (uint32_t y = 0; y < kH; ++y)
    for (uint32_t x = 0; x < kW; ++x) {
      uint8_t level = Ink(x, y) ? 0 : 255;
      if (zeroIsWhite) level = static_cast<uint8_t>(255 - level);
      uint8_t* r = &rows[y * *stride];
      if (bits == 1 && level) r[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      if (bits == 8) r[x] = level;
      if (bits == 24) r[3 * x] = r[3 * x + 1] = r[3 * x + 2] = level;
    }
  return rows;
}

TEST(ScanPage, EveryRawFormBecomesTheSameBilevelDib) {
  struct Row { int bits; bool zeroIsWhite; bool turn; };
  for (Row r : {Row{1, false, false}, Row{1, true, false}, Row{8, false, false}, Row{8, true, false},
                Row{24, false, false}, Row{1, false, true}, Row{24, false, true}}) {
    SCOPED_TRACE(testing::Message() << r.bits << " bits, zero white " << r.zeroIsWhite << ", turn " << r.turn);
    size_t stride = 0;
    std::vector<uint8_t> raw = Raw(r.bits, r.zeroIsWhite, &stride);
    codec::ImageView v = codec::RawRowsView(raw.data(), stride, kW, kH, r.bits, r.zeroIsWhite);
    ASSERT_EQ(v.width, kW);
    codec::PageOptions o;
    o.turnLeft = r.turn;
    o.xPelsPerMeter = 7874;
    o.yPelsPerMeter = 11811;
    std::vector<uint8_t> dib = codec::NormalPage(v, o);
    ASSERT_GE(dib.size(), 48u);
    codec::DibHeader h = codec::ReadInfoHeader(dib.data());
    const uint32_t w = r.turn ? kH : kW, hgt = r.turn ? kW : kH;
    EXPECT_EQ(h.width, int32_t(w));
    EXPECT_EQ(h.height, int32_t(hgt));
    EXPECT_EQ(h.bitCount, 1);
    EXPECT_EQ(h.sizeImage, codec::DibStride(w, 1) * hgt);
    EXPECT_EQ(h.xPelsPerMeter, r.turn ? 11811 : 7874);
    EXPECT_EQ(dib.size(), 48u + h.sizeImage);
    EXPECT_EQ(dib[40] + dib[41] + dib[42], 0);          // entry 0 black
    EXPECT_EQ(dib[44] + dib[45] + dib[46], 3 * 255);    // entry 1 white
    for (uint32_t y = 0; y < hgt; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        // Bottom-up rows; a left turn brings picture (px, py) to (py, kW - 1 - px).
        const uint8_t* row = &dib[48 + (hgt - 1 - y) * codec::DibStride(w, 1)];
        bool white = (row[x / 8] >> (7 - x % 8)) & 1;
        bool ink = r.turn ? Ink(kW - 1 - y, x) : Ink(x, y);
        EXPECT_EQ(white, !ink) << x << "," << y;
      }
  }
}

TEST(ScanPage, DepthsItCannotReadGiveAnEmptyView) {
  uint8_t rows[64] = {};
  EXPECT_EQ(codec::RawRowsView(rows, 16, 4, 4, 16, false).width, 0u);
  EXPECT_EQ(codec::RawRowsView(rows, 2, 4, 4, 8, false).width, 0u);  // rows shorter than the width
}

}  // namespace
