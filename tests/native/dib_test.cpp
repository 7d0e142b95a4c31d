// Packed DIB and BMP file parsing of untrusted bytes, writing, and the 1/16
// thumbnail reduction of 1-bit pages.
#include <gtest/gtest.h>

#include "codec/dib.h"
#include "codec/endian.h"
#include "codec/reduce.h"
#include "support.h"

namespace {

using codec::DibError;

DibError Parse(const std::vector<uint8_t>& dib, codec::ImageView* v, bool longerHeaders = false) {
  return codec::ParseDib(dib.data(), dib.size(), v, longerHeaders);
}

TEST(Dib, EveryKindRoundTripsAsDibAndBmp) {
  for (const testpages::Sample& s : testpages::Samples()) {
    SCOPED_TRACE(s.name);
    codec::ImageView back;
    const std::vector<uint8_t> dib = codec::MakePackedDib(s.view);
    ASSERT_EQ(Parse(dib, &back), DibError::None);
    EXPECT_EQ(back.format, s.view.format);
    EXPECT_EQ(back.width, s.view.width);
    EXPECT_EQ(back.height, s.view.height);
    EXPECT_EQ(back.xPelsPerMeter, s.view.xPelsPerMeter);
    EXPECT_EQ(back.yPelsPerMeter, s.view.yPelsPerMeter);
    EXPECT_TRUE(support::Expected(back, true) == support::Expected(s.view, true));
    std::vector<uint8_t> bmp = codec::MakeBmpFile(s.view);
    ASSERT_EQ(codec::ParseBmp(bmp.data(), bmp.size(), &back), DibError::None);
    EXPECT_TRUE(support::Expected(back, true) == support::Expected(s.view, true));
    EXPECT_EQ(codec::GetLe32(&bmp[2]), bmp.size());
  }
}

TEST(Dib, OneBitFileHasPixelsAtOffset62) {
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::White(100, 10, 200).View());
  EXPECT_EQ(codec::GetLe32(&bmp[10]), 62u);
  EXPECT_EQ(bmp.size(), 62u + 16 * 10);
}

TEST(Dib, ColourTableDecidesWhichBitIsWhite) {
  std::vector<uint8_t> dib = codec::MakePackedDib(testpages::White(16, 2, 200).View());
  codec::ImageView v;
  ASSERT_EQ(Parse(dib, &v), DibError::None);
  EXPECT_TRUE(v.whiteIs1);
  std::swap_ranges(&dib[40], &dib[44], &dib[44]);  // white first, black second
  ASSERT_EQ(Parse(dib, &v), DibError::None);
  EXPECT_FALSE(v.whiteIs1);
}

TEST(Dib, TopDownRowsAreReadInOrder) {
  std::vector<uint8_t> dib = codec::MakePackedDib(testpages::Runs({1}, 8).View());  // two rows
  codec::ImageView v;
  ASSERT_EQ(Parse(dib, &v), DibError::None);
  const std::vector<uint8_t> bottomUp = support::Expected(v);
  codec::PutLe32(&dib[8], static_cast<uint32_t>(-2));
  ASSERT_EQ(Parse(dib, &v), DibError::None);
  EXPECT_EQ(support::Expected(v), (std::vector<uint8_t>{bottomUp[1], bottomUp[0]}));
}

TEST(Dib, RejectsEveryTruncation) {
  const codec::ImageView page = testpages::Noise(50, 7, 200, 0.5, 2).View();
  const std::vector<uint8_t> dib = codec::MakePackedDib(page), bmp = codec::MakeBmpFile(page);
  codec::ImageView v;
  // The last row's padding may be missing; nothing before it.
  const size_t lastPixel = dib.size() - 8 + 7;
  for (size_t n = 0; n < lastPixel; ++n) {
    EXPECT_NE(codec::ParseDib(dib.data(), n, &v), DibError::None) << n;
    EXPECT_NE(codec::ParseBmp(bmp.data(), n + 14, &v), DibError::None) << n;
  }
  EXPECT_EQ(codec::ParseDib(dib.data(), lastPixel, &v), DibError::None);
  EXPECT_EQ(codec::ParseDib(nullptr, 100, &v), DibError::Truncated);
}

TEST(Dib, RejectsBadHeaders) {
  struct Row {
    const char* what;
    size_t at;
    uint32_t value;
    int bytes;
    DibError want;
    bool bmp;
  };
  const Row rows[] = {
      {"core header", 0, 12, 4, DibError::BadHeader, false},
      {"V5 header", 0, 124, 4, DibError::BadHeader, false},
      {"no width", 4, 0, 4, DibError::BadHeader, false},
      {"negative width", 4, 0x80000000u, 4, DibError::BadHeader, false},
      {"huge width", 4, 0x7FFFFFFF, 4, DibError::BadHeader, false},
      {"no height", 8, 0, 4, DibError::BadHeader, false},
      {"height that does not negate", 8, 0x80000000u, 4, DibError::BadHeader, false},
      {"rows missing", 8, 1u << 20, 4, DibError::Truncated, false},
      {"two planes", 12, 2, 2, DibError::BadHeader, false},
      {"4 bits", 14, 4, 2, DibError::Unsupported, false},
      {"32 bits", 14, 32, 2, DibError::Unsupported, false},
      {"RLE", 16, 1, 4, DibError::Unsupported, false},
      {"no BM", 0, 'X', 2, DibError::NotBmp, true},
      {"pixels past the end", 10, 0xFFFFFFF0u, 4, DibError::Truncated, true},
      {"pixels inside the header", 10, 20, 4, DibError::BadHeader, true},
  };
  codec::ImageView page = testpages::White(16, 4, 200).View();
  for (const Row& r : rows) {
    std::vector<uint8_t> d = r.bmp ? codec::MakeBmpFile(page) : codec::MakePackedDib(page);
    r.bytes == 2 ? codec::PutLe16(&d[r.at], static_cast<uint16_t>(r.value))
                 : codec::PutLe32(&d[r.at], r.value);
    codec::ImageView v;
    EXPECT_EQ(r.bmp ? codec::ParseBmp(d.data(), d.size(), &v) : Parse(d, &v), r.want) << r.what;
  }
}

TEST(Dib, ScannerHeadersOfV5LengthParseWhenAllowed) {
  std::vector<uint8_t> dib = codec::MakePackedDib(testpages::White(16, 2, 200).View());
  dib[0] = 124;
  dib.insert(dib.begin() + 40, 124 - 40, 0);  // the colour table follows the longer header
  codec::ImageView v;
  ASSERT_EQ(Parse(dib, &v, true), DibError::None);
  EXPECT_EQ(v.width, 16u);
  EXPECT_TRUE(v.whiteIs1);
}

TEST(Dib, ShortColourTableFollowsClrUsed) {
  const testpages::Sample s = testpages::Samples()[8];
  ASSERT_EQ(s.view.format, codec::PixelFormat::Palette8);
  std::vector<uint8_t> dib = codec::MakePackedDib(s.view);
  codec::PutLe32(&dib[32], 4);  // 4 entries: the rows move up to right after them
  dib.erase(dib.begin() + 40 + 16, dib.begin() + 40 + 1024);
  codec::ImageView v;
  ASSERT_EQ(Parse(dib, &v), DibError::None);
  EXPECT_EQ(v.paletteSize, 4);
  for (uint32_t y : {0u, 1u, s.view.height - 1}) EXPECT_EQ(v.Row(y)[0], s.view.Row(y)[0]) << y;
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
  // biSizeImage: only the first reduced row is read, the rest stay zero.
  codec::PutLe32(&small[14 + 20], 100);
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
