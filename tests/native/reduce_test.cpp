// The 1/16 thumbnail reduction of 1-bit pages.
#include <gtest/gtest.h>

#include "codec/dib.h"
#include "codec/endian.h"
#include "codec/reduce.h"
#include "support.h"

namespace {

std::vector<uint8_t> Reduce(const std::vector<uint8_t>& bmp) { return codec::ReduceBmp(bmp.data(), bmp.size()); }

TEST(Reduce, SmallPagesStayWhole) {
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::Noise(64, 1000, 200, 0.5, 1).View());
  EXPECT_EQ(Reduce(bmp), std::vector<uint8_t>(bmp.begin() + 14, bmp.end()));
  codec::Reduction plan;
  EXPECT_FALSE(codec::PlanReduction(1000, 64, &plan));
}

TEST(Reduce, SixtyFiveSquareGivesFourByFour) {
  std::vector<uint8_t> r = Reduce(codec::MakeBmpFile(testpages::Black(65, 65, 200).View()));
  ASSERT_EQ(r.size(), 48u + 4 * 4);
  codec::DibHeader h = codec::ReadInfoHeader(r.data());
  EXPECT_EQ(h.width, 4);
  EXPECT_EQ(h.height, 4);
  EXPECT_EQ(h.bitCount, 1);
  EXPECT_EQ(h.sizeImage, 16u);
  EXPECT_EQ(h.xPelsPerMeter, testpages::PelsPerMeter(200));
  EXPECT_EQ(std::vector<uint8_t>(r.begin() + 40, r.begin() + 48), (std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
}

TEST(Reduce, MajorityOfSixteenBits) {
  struct Row { std::vector<uint8_t> src; uint32_t width; uint8_t want; };
  const Row rows[] = {
      {{0xFF, 0x00, 0x0F, 0xF0}, 2, 0x00},              // 8 of 16 set
      {{0xFF, 0x01, 0x00, 0x00}, 2, 0x80},              // 9 of 16
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 3, 0xC0},        // the row stops where the source does
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 3, 0xE0},  // a partial last byte from its top bit
  };
  for (const Row& r : rows) {
    uint8_t dst = 0;
    codec::ReduceRow(r.src.data(), r.src.size(), r.width, &dst);
    EXPECT_EQ(dst, r.want) << r.src.size() << " bytes";
  }
}

TEST(Reduce, SamplesTheFirstRowOfEachBand) {
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::Black(128, 128, 200).View());
  // Rows of 16 bytes in file order: file row 16 starts the second band, 17 is not sampled.
  std::fill_n(&bmp[62 + 16 * 16], 2 * 16, 0xFF);
  std::vector<uint8_t> r = Reduce(bmp);
  ASSERT_EQ(r.size(), 48u + 8 * 4);
  EXPECT_EQ((std::vector<uint8_t>{r[48], r[52], r[56]}), (std::vector<uint8_t>{0x00, 0xFF, 0x00}));
}

TEST(Reduce, StopsAtTheImageSizeAndRefusesShortFiles) {
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::White(128, 128, 200).View());
  std::vector<uint8_t> small = bmp;
  codec::PutLe32(&small[14 + 20], 100);  // biSizeImage: only the first reduced row is read, the rest stay zero
  std::vector<uint8_t> r = Reduce(small);
  ASSERT_EQ(r.size(), 48u + 8 * 4);
  EXPECT_EQ(r[48], 0xFF);
  EXPECT_EQ(r[48 + 4], 0x00);
  EXPECT_TRUE(codec::ReduceBmp(bmp.data(), 62 + 16 * 16 * 3).empty());
  EXPECT_TRUE(codec::ReduceBmp(bmp.data(), 20).empty());
  codec::PutLe32(&small[14 + 8], 1u << 30);  // a huge page, even one read row at a time
  codec::PutLe32(&small[14 + 20], 16);
  EXPECT_TRUE(Reduce(small).empty());
}

}  // namespace
