// Scanned pages: black and white from grey, and every raw form a buffered
// transfer can take, turned or not, ending as the same 1-bit DIB.
#include <gtest/gtest.h>

#include "codec/dib.h"
#include "codec/scanpage.h"
#include "support.h"

namespace {

// A flat grey field: all white from the threshold on, or diffused to its density.
TEST(Transform, GreyBecomesItsShareOfWhite) {
  using codec::Halftone;
  struct Row {
    Halftone method;
    uint8_t threshold, grey;
    double white;
  };
  for (Row r : {Row{Halftone::Threshold, 1, 0, 0}, Row{Halftone::Threshold, 1, 1, 1},
                Row{Halftone::Threshold, 128, 127, 0}, Row{Halftone::Threshold, 128, 128, 1},
                Row{Halftone::Threshold, 255, 254, 0}, Row{Halftone::Threshold, 255, 255, 1},
                Row{Halftone::Diffusion, 128, 32, 32 / 255.0},
                Row{Halftone::Diffusion, 128, 128, 128 / 255.0},
                Row{Halftone::Diffusion, 128, 200, 200 / 255.0}}) {
    codec::Image g = codec::MakeImage(200, 200, codec::PixelFormat::Gray8);
    std::fill(g.bits.begin(), g.bits.end(), r.grey);
    size_t black = 0;
    for (uint8_t b : support::Expected(codec::ToBilevel(g.View(), r.method, r.threshold).View()))
      black += __builtin_popcount(b);
    EXPECT_NEAR(1 - black / 40000.0, r.white, 0.02)
        << "grey " << int(r.grey) << " at " << int(r.threshold);
  }
}

constexpr uint32_t kW = 13, kH = 5;

bool Ink(uint32_t x, uint32_t y) { return (x * 7 + y * 3) % 5 == 0; }

TEST(ScanPage, EveryRawFormBecomesTheSameBilevelDib) {
  struct Row {
    int bits;
    bool zeroIsWhite;
    bool turn;
  };
  for (Row r :
       {Row{1, false, false}, Row{1, true, false}, Row{8, false, false}, Row{8, true, false},
        Row{24, false, false}, Row{1, false, true}, Row{24, false, true}}) {
    SCOPED_TRACE(testing::Message()
                 << r.bits << " bits, zero white " << r.zeroIsWhite << ", turn " << r.turn);
    // The test picture in this raw form, ink black, rows wider than needed as sources may pad them.
    const size_t stride = ((kW * r.bits + 7) / 8 + 3) / 4 * 4 + 4;
    std::vector<uint8_t> raw(stride * kH, 0);
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        const uint8_t level = (Ink(x, y) == r.zeroIsWhite) ? 255 : 0;
        uint8_t* row = &raw[y * stride];
        if (r.bits == 1 && level) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        if (r.bits == 8) row[x] = level;
        if (r.bits == 24) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = level;
      }
    codec::PageOptions o;
    o.turnLeft = r.turn;
    o.xPelsPerMeter = 7874;
    o.yPelsPerMeter = 11811;
    const std::vector<uint8_t> dib =
        codec::NormalPage(codec::RawRowsView(raw.data(), stride, kW, kH, r.bits, r.zeroIsWhite), o);
    // The page file's form: 40-byte header, table {black, white}, bottom-up rows.
    codec::ImageView v;
    ASSERT_EQ(codec::ParsePageDib(dib.data(), dib.size(), &v), codec::DibError::None);
    EXPECT_TRUE(v.whiteIs1);
    EXPECT_LT(v.stride, 0);
    EXPECT_EQ(v.xPelsPerMeter, r.turn ? 11811 : 7874);
    // A left turn brings picture (px, py) to (py, kW - 1 - px).
    testpages::Page want = testpages::White(r.turn ? kH : kW, r.turn ? kW : kH, 200);
    for (uint32_t y = 0; y < want.height; ++y)
      for (uint32_t x = 0; x < want.width; ++x)
        if (r.turn ? Ink(kW - 1 - y, x) : Ink(x, y)) testpages::SetBlack(want, x, y);
    EXPECT_EQ(support::Expected(v), support::Expected(want.View()));
  }
}

TEST(ScanPage, DepthsItCannotReadGiveAnEmptyView) {
  uint8_t rows[64] = {};
  EXPECT_EQ(codec::RawRowsView(rows, 16, 4, 4, 16, false).width, 0u);
  EXPECT_EQ(codec::RawRowsView(rows, 2, 4, 4, 8, false).width, 0u);  // rows shorter than the width
}

}  // namespace
