// Packed DIB and BMP file parsing of untrusted bytes, writing, and the 1/16
// thumbnail reduction of 1-bit pages.
#include <gtest/gtest.h>

#include "codec/dib.h"
#include "codec/endian.h"
#include "codec/reduce.h"
#include "support.h"

namespace {

using codec::DibError;

// BMP files: the DLLs' drivers, read back by other readers.
TEST(Dib, EveryKindRoundTrips) {
  for (const testpages::Sample& s : testpages::Samples()) {
    SCOPED_TRACE(s.name);
    codec::ImageView back;
    const std::vector<uint8_t> dib = codec::MakePackedDib(s.view);
    ASSERT_EQ(codec::ParseDib(dib.data(), dib.size(), &back), DibError::None);
    EXPECT_EQ(back.format, s.view.format);
    EXPECT_EQ(back.width, s.view.width);
    EXPECT_EQ(back.height, s.view.height);
    EXPECT_EQ(back.xPelsPerMeter, s.view.xPelsPerMeter);
    EXPECT_EQ(back.yPelsPerMeter, s.view.yPelsPerMeter);
    EXPECT_TRUE(support::Expected(back, true) == support::Expected(s.view, true));
  }
}

TEST(Dib, RejectsBadHeaders) {
  struct Row {
    const char* what;
    size_t at;
    uint32_t value;
    int bytes;
    DibError want;
    bool bmp;
    size_t cut = 0;  // bytes cut off the end
  };
  const Row rows[] = {
      {"core header", 0, 12, 4, DibError::BadHeader, false},
      {"V5 header", 0, 124, 4, DibError::BadHeader, false},
      {"no width", 4, 0, 4, DibError::BadHeader, false},
      {"negative width", 4, 0x80000000u, 4, DibError::BadHeader, false},
      {"huge width", 4, 0x7FFFFFFF, 4, DibError::BadHeader, false},
      {"no height", 8, 0, 4, DibError::BadHeader, false},
      {"height that does not negate", 8, 0x80000000u, 4, DibError::BadHeader, false},
      {"two planes", 12, 2, 2, DibError::BadHeader, false},
      {"32 bits", 14, 32, 2, DibError::Unsupported, false},
      {"RLE", 16, 1, 4, DibError::Unsupported, false},
      {"no BM", 0, 'X', 2, DibError::NotBmp, true},
      {"pixels past the end", 10, 0xFFFFFFF0u, 4, DibError::Truncated, true},
      {"pixels inside the header", 10, 20, 4, DibError::BadHeader, true},
      // The last row's padding may be missing, nothing before it (other cuts: the fuzzers).
      {"no padding at the end", 0, 0, 0, DibError::None, false, 2},
      {"last row short", 0, 0, 0, DibError::Truncated, false, 3},
  };
  const testpages::Page page = testpages::White(16, 4, 200);
  for (const Row& r : rows) {
    std::vector<uint8_t> d =
        r.bmp ? codec::MakeBmpFile(page.View()) : codec::MakePackedDib(page.View());
    if (r.bytes == 2) codec::PutLe16(&d[r.at], static_cast<uint16_t>(r.value));
    if (r.bytes == 4) codec::PutLe32(&d[r.at], r.value);
    d.resize(d.size() - r.cut);
    codec::ImageView v;
    EXPECT_EQ(
        r.bmp ? codec::ParseBmp(d.data(), d.size(), &v) : codec::ParseDib(d.data(), d.size(), &v),
        r.want)
        << r.what;
  }
}

TEST(Resolution, WholeDotsPerInchAreExact) {
  struct Row {
    int32_t pelsPerMeter;
    uint32_t num, den;
  };
  for (Row r : {Row{7874, 200, 1}, Row{11811, 300, 1}, Row{15748, 400, 1}, Row{0, 72, 1},
                Row{-5, 72, 1}, Row{5000, 127, 1}, Row{1000, 127, 5}}) {
    const codec::Resolution res = codec::ResolutionFromPelsPerMeter(r.pelsPerMeter);
    EXPECT_EQ(res.num, r.num) << r.pelsPerMeter;
    EXPECT_EQ(res.den, r.den) << r.pelsPerMeter;
  }
}

std::vector<uint8_t> Reduce(const std::vector<uint8_t>& bmp) {
  return codec::ReduceBmp(bmp.data(), bmp.size());
}

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
  EXPECT_EQ(std::vector<uint8_t>(r.begin() + 40, r.begin() + 48),
            (std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
}

TEST(Reduce, MajorityOfSixteenBits) {
  struct Row {
    std::vector<uint8_t> src;
    uint32_t width;
    uint8_t want;
  };
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

TEST(Reduce, SamplesTheFirstRowOfEachBandUpToTheImageSize) {
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::White(128, 128, 200).View());
  // Rows of 16 bytes in file order: row 16 starts the second band, 33 is not sampled.
  std::fill_n(&bmp[62 + 16 * 16], 16, 0);
  std::fill_n(&bmp[62 + 33 * 16], 16, 0);
  EXPECT_TRUE(codec::ReduceBmp(bmp.data(), 62 + 16 * 16 * 3).empty());  // the file ends first
  EXPECT_TRUE(codec::ReduceBmp(bmp.data(), 20).empty());
  struct Row {
    uint32_t sizeImage;
    std::vector<uint8_t> bands;  // the first three; rows not read stay zero
  };
  for (const Row& r : {Row{128 * 16, {0xFF, 0x00, 0xFF}}, Row{17 * 16, {0xFF, 0x00, 0x00}}}) {
    codec::PutLe32(&bmp[14 + 20], r.sizeImage);
    const std::vector<uint8_t> out = Reduce(bmp);
    ASSERT_EQ(out.size(), 48u + 8 * 4);
    EXPECT_EQ((std::vector<uint8_t>{out[48], out[52], out[56]}), r.bands) << r.sizeImage;
  }
}

}  // namespace
