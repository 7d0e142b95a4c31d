// Packed DIB and BMP file parsing of untrusted bytes, and writing.
#include <gtest/gtest.h>

#include "codec/dib.h"
#include "codec/endian.h"
#include "pages.h"
#include "support.h"

namespace {

codec::ImageView Gray(std::vector<uint8_t>& px, uint32_t w, uint32_t h) {
  px.resize(size_t{w} * h);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 7);
  codec::ImageView v;
  v.top = px.data();
  v.stride = w;
  v.width = w;
  v.height = h;
  v.format = codec::PixelFormat::Gray8;
  return v;
}

TEST(Dib, RoundTripsEachDepth) {
  testpages::Page page = testpages::Noise(37, 9, 300, 0.4, 1);
  std::vector<uint8_t> gray, pal, bgr;
  codec::ImageView g = Gray(gray, 13, 5);
  codec::ImageView p = Gray(pal, 13, 5);
  p.format = codec::PixelFormat::Palette8;
  p.paletteSize = 256;
  for (int i = 0; i < 256; ++i) p.palette[i] = codec::Rgb{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
  codec::ImageView c = Gray(bgr, 39, 5);  // 13 pixels of 3 bytes
  c.width = 13;
  c.format = codec::PixelFormat::Bgr24;
  for (const codec::ImageView& v : {page.View(), g, p, c}) {
    std::vector<uint8_t> dib = codec::MakePackedDib(v);
    codec::ImageView back;
    ASSERT_EQ(codec::ParseDib(dib.data(), dib.size(), &back), codec::DibError::None);
    EXPECT_EQ(back.format, v.format);
    EXPECT_EQ(back.width, v.width);
    EXPECT_EQ(back.height, v.height);
    EXPECT_EQ(back.xPelsPerMeter, v.xPelsPerMeter);
    EXPECT_EQ(support::Expected(back, true), support::Expected(v, true));

    std::vector<uint8_t> bmp = codec::MakeBmpFile(v);
    ASSERT_EQ(codec::ParseBmp(bmp.data(), bmp.size(), &back), codec::DibError::None);
    EXPECT_EQ(support::Expected(back, true), support::Expected(v, true));
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
  ASSERT_EQ(codec::ParseDib(dib.data(), dib.size(), &v), codec::DibError::None);
  EXPECT_TRUE(v.whiteIs1);
  std::swap_ranges(&dib[40], &dib[44], &dib[44]);  // white first, black second
  ASSERT_EQ(codec::ParseDib(dib.data(), dib.size(), &v), codec::DibError::None);
  EXPECT_FALSE(v.whiteIs1);
}

TEST(Dib, TopDownRowsAreReadInOrder) {
  std::vector<uint8_t> dib = codec::MakePackedDib(testpages::Runs({1}, 8).View());  // two rows
  codec::ImageView bottomUp;
  ASSERT_EQ(codec::ParseDib(dib.data(), dib.size(), &bottomUp), codec::DibError::None);
  std::vector<uint8_t> rows = support::Expected(bottomUp);
  codec::PutLe32(&dib[8], static_cast<uint32_t>(-2));
  codec::ImageView topDown;
  ASSERT_EQ(codec::ParseDib(dib.data(), dib.size(), &topDown), codec::DibError::None);
  std::vector<uint8_t> flipped = support::Expected(topDown);
  EXPECT_EQ(flipped[0], rows[1]);
  EXPECT_EQ(flipped[1], rows[0]);
}

TEST(Dib, RejectsEveryTruncation) {
  std::vector<uint8_t> dib = codec::MakePackedDib(testpages::Noise(50, 7, 200, 0.5, 2).View());
  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::Noise(50, 7, 200, 0.5, 2).View());
  codec::ImageView v;
  // The last row's padding may be missing; nothing before it.
  const size_t lastPixel = dib.size() - 8 + 7;
  for (size_t n = 0; n < lastPixel; ++n) {
    std::vector<uint8_t> cut(dib.begin(), dib.begin() + static_cast<ptrdiff_t>(n));
    EXPECT_NE(codec::ParseDib(cut.data(), cut.size(), &v), codec::DibError::None) << n;
    std::vector<uint8_t> cutBmp(bmp.begin(), bmp.begin() + static_cast<ptrdiff_t>(n + 14));
    EXPECT_NE(codec::ParseBmp(cutBmp.data(), cutBmp.size(), &v), codec::DibError::None) << n;
  }
  EXPECT_EQ(codec::ParseDib(dib.data(), lastPixel, &v), codec::DibError::None);
}

TEST(Dib, RejectsBadHeaders) {
  const std::vector<uint8_t> good = codec::MakePackedDib(testpages::White(16, 4, 200).View());
  codec::ImageView v;
  auto with = [&](size_t at, uint32_t value, int bytes) {
    std::vector<uint8_t> d = good;
    bytes == 2 ? codec::PutLe16(&d[at], static_cast<uint16_t>(value)) : codec::PutLe32(&d[at], value);
    return codec::ParseDib(d.data(), d.size(), &v);
  };
  EXPECT_EQ(with(0, 12, 4), codec::DibError::BadHeader);          // core header
  EXPECT_EQ(with(0, 124, 4), codec::DibError::BadHeader);         // V5 header
  EXPECT_EQ(with(4, 0, 4), codec::DibError::BadHeader);           // no width
  EXPECT_EQ(with(4, 0x80000000u, 4), codec::DibError::BadHeader); // negative width
  EXPECT_EQ(with(8, 0, 4), codec::DibError::BadHeader);           // no height
  EXPECT_EQ(with(8, 0x80000000u, 4), codec::DibError::BadHeader); // height that does not negate
  EXPECT_EQ(with(4, 0x7FFFFFFF, 4), codec::DibError::BadHeader);
  EXPECT_EQ(with(8, 1u << 20, 4), codec::DibError::Truncated);    // rows missing
  EXPECT_EQ(with(12, 2, 2), codec::DibError::BadHeader);          // planes
  EXPECT_EQ(with(14, 4, 2), codec::DibError::Unsupported);
  EXPECT_EQ(with(14, 32, 2), codec::DibError::Unsupported);
  EXPECT_EQ(with(16, 1, 4), codec::DibError::Unsupported);        // RLE
  EXPECT_EQ(codec::ParseDib(nullptr, 100, &v), codec::DibError::Truncated);

  std::vector<uint8_t> bmp = codec::MakeBmpFile(testpages::White(16, 4, 200).View());
  bmp[0] = 'X';
  EXPECT_EQ(codec::ParseBmp(bmp.data(), bmp.size(), &v), codec::DibError::NotBmp);
  bmp[0] = 'B';
  codec::PutLe32(&bmp[10], 0xFFFFFFF0u);  // pixels far past the end
  EXPECT_EQ(codec::ParseBmp(bmp.data(), bmp.size(), &v), codec::DibError::Truncated);
  codec::PutLe32(&bmp[10], 20);  // pixels inside the header
  EXPECT_EQ(codec::ParseBmp(bmp.data(), bmp.size(), &v), codec::DibError::BadHeader);
}

TEST(Dib, ShortColourTableFollowsClrUsed) {
  std::vector<uint8_t> px;
  codec::ImageView g = Gray(px, 8, 2);
  g.format = codec::PixelFormat::Palette8;
  g.paletteSize = 256;
  for (int i = 0; i < 256; ++i) g.palette[i] = codec::Rgb{uint8_t(i), 0, 0};
  std::vector<uint8_t> dib = codec::MakePackedDib(g);
  // Keep 4 entries: the rows move up to right after them.
  codec::PutLe32(&dib[32], 4);
  dib.erase(dib.begin() + 40 + 16, dib.begin() + 40 + 1024);
  codec::ImageView v;
  ASSERT_EQ(codec::ParseDib(dib.data(), dib.size(), &v), codec::DibError::None);
  EXPECT_EQ(v.paletteSize, 4);
  EXPECT_EQ(v.Row(1)[0], px[8]);
  EXPECT_EQ(v.Row(0)[0], px[0]);
}

TEST(Resolution, WholeDotsPerInchAreExact) {
  EXPECT_EQ(codec::ResolutionFromPelsPerMeter(7874).num, 200u);
  EXPECT_EQ(codec::ResolutionFromPelsPerMeter(7874).den, 1u);
  EXPECT_EQ(codec::ResolutionFromPelsPerMeter(11811).num, 300u);
  EXPECT_EQ(codec::ResolutionFromPelsPerMeter(15748).num, 400u);
  EXPECT_EQ(codec::ResolutionFromPelsPerMeter(0).num, 72u);
  EXPECT_EQ(codec::ResolutionFromPelsPerMeter(-5).num, 72u);
  codec::Resolution odd = codec::ResolutionFromPelsPerMeter(5000);  // 127 dpi exactly
  EXPECT_EQ(odd.num, 127u);
  codec::Resolution frac = codec::ResolutionFromPelsPerMeter(1000);  // 25.4 dpi
  EXPECT_EQ(frac.num, 127u);
  EXPECT_EQ(frac.den, 5u);
}

}  // namespace
