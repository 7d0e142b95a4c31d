// The 1/16 thumbnail reduction of 1-bit pages.
#include <gtest/gtest.h>

#include "codec/dib.h"
#include "codec/endian.h"
#include "codec/reduce.h"
#include "pages.h"

namespace {

TEST(Reduce, SmallPagesStayWhole) {
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::Noise(64, 1000, 200, 0.5, 1).View());
  std::vector<uint8_t> r = codec::ReduceBmp(bmp.data(), bmp.size());
  EXPECT_EQ(r, std::vector<uint8_t>(bmp.begin() + 14, bmp.end()));
  codec::Reduction plan;
  EXPECT_FALSE(codec::PlanReduction(1000, 64, &plan));
}

TEST(Reduce, SixtyFiveSquareGivesFourByFour) {
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::Black(65, 65, 200).View());
  std::vector<uint8_t> r = codec::ReduceBmp(bmp.data(), bmp.size());
  ASSERT_EQ(r.size(), 48u + 4 * 4);
  codec::DibHeader h = codec::ReadInfoHeader(r.data());
  EXPECT_EQ(h.width, 4);
  EXPECT_EQ(h.height, 4);
  EXPECT_EQ(h.bitCount, 1);
  EXPECT_EQ(h.sizeImage, 16u);
  EXPECT_EQ(h.xPelsPerMeter, testpages::PelsPerMeter(200));
  const uint8_t table[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  EXPECT_TRUE(std::equal(table, table + 8, r.begin() + 40));
}

TEST(Reduce, MajorityOfSixteenBits) {
  uint8_t dst[2] = {};
  const uint8_t eight[4] = {0xFF, 0x00, 0x0F, 0xF0};  // 8 set, then 8 set
  codec::ReduceRow(eight, 4, 2, dst);
  EXPECT_EQ(dst[0], 0x00);
  const uint8_t nine[4] = {0xFF, 0x01, 0x00, 0x00};
  codec::ReduceRow(nine, 4, 2, dst);
  EXPECT_EQ(dst[0], 0x80);
  // Pixels of a partial last byte start at the top bit; the row stops where the source does.
  const uint8_t all[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  dst[0] = 0;
  codec::ReduceRow(all, 5, 3, dst);
  EXPECT_EQ(dst[0], 0xC0);
  codec::ReduceRow(all, 6, 3, dst);
  EXPECT_EQ(dst[0], 0xE0);
}

TEST(Reduce, SamplesTheFirstRowOfEachBand) {
  // 128 x 128: bands of 16 rows; make only row 16 (the second band's first, top-down
  // row 16 is bottom-up row 111) white and the rest black.
  testpages::Page p = testpages::Black(128, 128, 200);
  std::vector<uint8_t> bmp = codec::MakeBmpFile(p.View());
  const uint32_t stride = 16;
  // File order is bottom-up: the reduced row r comes from file row 16 r.
  for (uint32_t i = 0; i < stride; ++i) bmp[62 + 16 * stride + i] = 0xFF;
  for (uint32_t i = 0; i < stride; ++i) bmp[62 + 17 * stride + i] = 0xFF;  // not sampled
  std::vector<uint8_t> r = codec::ReduceBmp(bmp.data(), bmp.size());
  ASSERT_EQ(r.size(), 48u + 8 * 4);
  EXPECT_EQ(r[48 + 0 * 4], 0x00);
  EXPECT_EQ(r[48 + 1 * 4], 0xFF);
  EXPECT_EQ(r[48 + 2 * 4], 0x00);
}

TEST(Reduce, StopsAtTheImageSizeAndOnShortFiles) {
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::White(128, 128, 200).View());
  // With biSizeImage small, only the first reduced row is read; the rest stay zero.
  std::vector<uint8_t> small = bmp;
  codec::PutLe32(&small[14 + 20], 100);
  std::vector<uint8_t> r = codec::ReduceBmp(small.data(), small.size());
  ASSERT_EQ(r.size(), 48u + 8 * 4);
  EXPECT_EQ(r[48], 0xFF);
  EXPECT_EQ(r[48 + 4], 0x00);
  std::vector<uint8_t> cut(bmp.begin(), bmp.begin() + 62 + 16 * 16 * 3);
  EXPECT_TRUE(codec::ReduceBmp(cut.data(), cut.size()).empty());
  EXPECT_TRUE(codec::ReduceBmp(bmp.data(), 20).empty());
}

}  // namespace

namespace {

TEST(Reduce, HeaderClaimingAHugePageIsRefused) {
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::White(128, 128, 200).View());
  codec::PutLe32(&bmp[14 + 8], 1u << 30);  // height
  codec::PutLe32(&bmp[14 + 20], 16);       // biSizeImage: stop after the first row
  EXPECT_TRUE(codec::ReduceBmp(bmp.data(), bmp.size()).empty());
}

}  // namespace
