// Black-and-white conversion and the quarter turn of scanned pages.
#include <gtest/gtest.h>

#include "codec/dib.h"
#include "codec/transform.h"

namespace {

bool White(const codec::Image& img, uint32_t x, uint32_t y) {
  return (img.bits[y * img.stride + (x >> 3)] >> (7 - (x & 7))) & 1;
}

codec::Image GrayRamp(uint32_t w, uint32_t h) {
  codec::Image g = codec::MakeImage(w, h, codec::PixelFormat::Gray8);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) g.bits[y * g.stride + x] = static_cast<uint8_t>(x * 255 / (w - 1));
  return g;
}

double WhiteShare(const codec::Image& img, uint32_t x0, uint32_t x1) {
  int white = 0;
  for (uint32_t y = 0; y < img.height; ++y)
    for (uint32_t x = x0; x < x1; ++x) white += White(img, x, y);
  return double(white) / (double(x1 - x0) * img.height);
}

TEST(Transform, ThresholdSplitsARampAtItsLevel) {
  codec::Image ramp = GrayRamp(256, 4);
  codec::Image bw = codec::ToBilevel(ramp.View(), codec::Halftone::Threshold, 128);
  for (uint32_t x = 0; x < 256; ++x) EXPECT_EQ(White(bw, x, 2), ramp.bits[x] >= 128) << x;
}

TEST(Transform, DiffusionKeepsTheDensityOfGrey) {
  struct Row { uint8_t level; };
  for (Row r : {Row{32}, Row{128}, Row{200}}) {
    codec::Image g = codec::MakeImage(200, 200, codec::PixelFormat::Gray8);
    std::fill(g.bits.begin(), g.bits.end(), r.level);
    codec::Image bw = codec::ToBilevel(g.View(), codec::Halftone::Diffusion);
    EXPECT_NEAR(WhiteShare(bw, 0, 200), r.level / 255.0, 0.02) << int(r.level);
    // Threshold would make the whole area one colour; diffusion gives dots.
    codec::Image th = codec::ToBilevel(g.View(), codec::Halftone::Threshold);
    EXPECT_EQ(WhiteShare(th, 0, 200), r.level >= 128 ? 1.0 : 0.0);
  }
}

TEST(Transform, BilevelIsCopiedWithWhiteAsOne) {
  codec::Image src = codec::MakeImage(12, 3, codec::PixelFormat::Bilevel);
  src.bits[0] = 0x0F;  // top row: 4 black pixels, then white
  codec::ImageView v = src.View();
  for (bool whiteIs1 : {true, false}) {
    v.whiteIs1 = whiteIs1;
    codec::Image bw = codec::ToBilevel(v, codec::Halftone::Threshold);
    EXPECT_EQ(White(bw, 0, 0), !whiteIs1);
    EXPECT_EQ(White(bw, 5, 0), whiteIs1);
  }
}

TEST(Transform, RotateLeftMovesTheTopRowToTheLeftColumn) {
  // A 10 x 3 page with one black pixel at its top-right corner.
  codec::Image src = codec::MakeImage(10, 3, codec::PixelFormat::Bilevel);
  src.bits[1] &= static_cast<uint8_t>(~0x40);  // x = 9, y = 0
  src.xPelsPerMeter = 1;
  src.yPelsPerMeter = 2;
  codec::Image turned = codec::RotateLeft(src.View());
  ASSERT_EQ(turned.width, 3u);
  ASSERT_EQ(turned.height, 10u);
  EXPECT_EQ(turned.xPelsPerMeter, 2);
  for (uint32_t y = 0; y < 10; ++y)
    for (uint32_t x = 0; x < 3; ++x) EXPECT_EQ(White(turned, x, y), !(x == 0 && y == 0)) << x << "," << y;
  // Four turns give the page back.
  codec::Image back = turned;
  for (int i = 0; i < 3; ++i) back = codec::RotateLeft(back.View());
  EXPECT_EQ(back.width, 10u);
  for (uint32_t x = 0; x < 10; ++x) EXPECT_EQ(White(back, x, 0), x != 9);
}

TEST(Transform, ScannerDibsWithLongerHeadersParseOnlyWhenAllowed) {
  codec::Image src = codec::MakeImage(16, 2, codec::PixelFormat::Bilevel);
  std::vector<uint8_t> dib = codec::MakePackedDib(src.View());
  // A V5 header: 124 bytes, the colour table after it.
  std::vector<uint8_t> v5(dib.begin(), dib.begin() + 40);
  v5.resize(124, 0);
  v5[0] = 124;
  v5.insert(v5.end(), dib.begin() + 40, dib.end());
  codec::ImageView view;
  EXPECT_EQ(codec::ParseDib(v5.data(), v5.size(), &view), codec::DibError::BadHeader);
  ASSERT_EQ(codec::ParseDib(v5.data(), v5.size(), &view, true), codec::DibError::None);
  EXPECT_EQ(view.width, 16u);
  EXPECT_TRUE(view.whiteIs1);
}

}  // namespace
