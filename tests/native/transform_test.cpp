// Black-and-white conversion and the quarter turn of scanned pages.
#include <gtest/gtest.h>

#include "codec/transform.h"

namespace {

bool White(const codec::Image& img, uint32_t x, uint32_t y) {
  return (img.bits[y * img.stride + (x >> 3)] >> (7 - (x & 7))) & 1;
}

double WhiteShare(const codec::Image& img) {
  int white = 0;
  for (uint32_t y = 0; y < img.height; ++y)
    for (uint32_t x = 0; x < img.width; ++x) white += White(img, x, y);
  return double(white) / (double(img.width) * img.height);
}

TEST(Transform, ThresholdSplitsARampAtItsLevel) {
  codec::Image ramp = codec::MakeImage(256, 4, codec::PixelFormat::Gray8);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 256; ++x) ramp.bits[y * ramp.stride + x] = static_cast<uint8_t>(x);
  for (uint8_t level : {1, 128, 255}) {
    codec::Image bw = codec::ToBilevel(ramp.View(), codec::Halftone::Threshold, level);
    for (uint32_t x = 0; x < 256; ++x) ASSERT_EQ(White(bw, x, 2), x >= level) << x << " at level " << int(level);
  }
}

TEST(Transform, DiffusionKeepsTheDensityOfGreyWhereThresholdGivesOneColour) {
  for (uint8_t level : {32, 128, 200}) {
    codec::Image g = codec::MakeImage(200, 200, codec::PixelFormat::Gray8);
    std::fill(g.bits.begin(), g.bits.end(), level);
    EXPECT_NEAR(WhiteShare(codec::ToBilevel(g.View(), codec::Halftone::Diffusion)), level / 255.0, 0.02) << int(level);
    EXPECT_EQ(WhiteShare(codec::ToBilevel(g.View(), codec::Halftone::Threshold)), level >= 128 ? 1.0 : 0.0);
  }
}

TEST(Transform, BilevelIsCopiedWithWhiteAsOne) {
  codec::Image src = codec::MakeImage(12, 3, codec::PixelFormat::Bilevel);
  src.bits[0] = 0x0F;  // top row: 4 pixels of one bit value, then the other
  codec::ImageView v = src.View();
  for (bool whiteIs1 : {true, false}) {
    v.whiteIs1 = whiteIs1;
    codec::Image bw = codec::ToBilevel(v, codec::Halftone::Threshold);
    EXPECT_EQ(White(bw, 0, 0), !whiteIs1);
    EXPECT_EQ(White(bw, 5, 0), whiteIs1);
  }
}

TEST(Transform, RotateLeftMovesTheTopRowToTheLeftColumn) {
  codec::Image src = codec::MakeImage(10, 3, codec::PixelFormat::Bilevel);
  src.bits[1] &= static_cast<uint8_t>(~0x40);  // one black pixel at the top right, x = 9
  src.xPelsPerMeter = 1;
  src.yPelsPerMeter = 2;
  codec::Image turned = codec::RotateLeft(src.View());
  ASSERT_EQ(turned.width, 3u);
  ASSERT_EQ(turned.height, 10u);
  EXPECT_EQ(turned.xPelsPerMeter, 2);
  for (uint32_t y = 0; y < 10; ++y)
    for (uint32_t x = 0; x < 3; ++x) EXPECT_EQ(White(turned, x, y), !(x == 0 && y == 0)) << x << "," << y;
  for (int i = 0; i < 3; ++i) turned = codec::RotateLeft(turned.View());  // four turns give the page back
  EXPECT_EQ(turned.width, 10u);
  for (uint32_t x = 0; x < 10; ++x) EXPECT_EQ(White(turned, x, 0), x != 9);
}

}  // namespace
