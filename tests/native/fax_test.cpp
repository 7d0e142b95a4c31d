// Group 3 and Group 4 coding, checked bit for bit against libtiff's encoder
// (tiffcp) and decoded back by libtiff.
#include <gtest/gtest.h>

#include <random>

#include "codec/fax.h"
#include "codec/tiff.h"
#include "pages.h"
#include "support.h"

namespace {

using support::Quote;
using support::RunTool;
using testpages::Page;

std::vector<uint8_t> TiffOf(const codec::ImageView& v, codec::TiffCompression c) {
  codec::TiffPage page;
  EXPECT_TRUE(codec::BuildTiffPage(v, c, 8, codec::ByteOrder::Little, &page));
  std::vector<uint8_t> file(8);
  codec::MakeTiffHeader(codec::ByteOrder::Little, file.data());
  file[4] = static_cast<uint8_t>(page.ifd);
  file[5] = static_cast<uint8_t>(page.ifd >> 8);
  file[6] = static_cast<uint8_t>(page.ifd >> 16);
  file[7] = static_cast<uint8_t>(page.ifd >> 24);
  file.insert(file.end(), page.bytes.begin(), page.bytes.end());
  return file;
}

// Our strip must equal what tiffcp writes for the same pixels, and both
// files must decode to the page.
void CheckAgainstLibtiff(const codec::ImageView& v, const std::string& what) {
  SCOPED_TRACE(what + " " + std::to_string(v.width) + "x" + std::to_string(v.height));
  support::TempDir dir;
  support::WriteFile(dir / "plain.tif", TiffOf(v, codec::TiffCompression::None));
  const std::vector<uint8_t> expected = support::Expected(v);
  for (auto [c, flag] : {std::pair{codec::TiffCompression::G3, "g3"}, std::pair{codec::TiffCompression::G4, "g4"}}) {
    SCOPED_TRACE(flag);
    std::string ours = std::string("ours-") + flag + ".tif", theirs = std::string("theirs-") + flag + ".tif";
    support::WriteFile(dir / ours, TiffOf(v, c));
    auto r = RunTool("tiffcp -c " + std::string(flag) + " -r " + std::to_string(v.height) + " " +
                 Quote(dir / "plain.tif") + " " + Quote(dir / theirs));
    ASSERT_EQ(r.status, 0) << r.output;
    support::TiffDir mine, lib;
    ASSERT_TRUE(support::ReadTiff(dir / ours, 0, &mine));
    ASSERT_TRUE(support::ReadTiff(dir / theirs, 0, &lib));
    ASSERT_EQ(lib.strips, 1u);
    EXPECT_EQ(mine.compression, static_cast<uint16_t>(c));
    EXPECT_TRUE(mine.rawStrip == lib.rawStrip) << "strip sizes " << mine.rawStrip.size() << " vs " << lib.rawStrip.size();

    r = RunTool("tiffinfo -D " + Quote(dir / ours) + " >/dev/null");
    EXPECT_EQ(r.status, 0) << r.output;
    r = RunTool("tiffcp -c none " + Quote(dir / ours) + " " + Quote(dir / "back.tif"));
    ASSERT_EQ(r.status, 0) << r.output;
    support::TiffDir back;
    ASSERT_TRUE(support::ReadTiff(dir / "back.tif", 0, &back));
    EXPECT_TRUE(back.rows == expected);
  }
}

TEST(FindChanges, MatchesPixelByPixelScan) {
  std::mt19937 rng(7);
  for (uint32_t width : {1u, 7u, 8u, 9u, 31u, 32u, 33u, 63u, 64u, 65u, 127u, 129u, 1000u, 1728u}) {
    for (double density : {0.0, 0.02, 0.5, 0.98, 1.0}) {
      Page p = testpages::Noise(width, 4, 200, density, rng());
      // Garbage past the width must not count.
      for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = width; x < p.stride * 8; ++x)
          if (rng() & 1) p.bits[y * p.stride + x / 8] ^= static_cast<uint8_t>(0x80 >> (x & 7));
      for (bool whiteIs1 : {true, false}) {
        for (uint32_t y = 0; y < p.height; ++y) {
          std::vector<uint32_t> got(width + 3);
          size_t n = codec::FindChanges(&p.bits[y * p.stride], width, whiteIs1, got.data());
          std::vector<uint32_t> want;
          bool prev = false;  // white
          for (uint32_t x = 0; x < width; ++x) {
            bool black = p.Black(x, y) == whiteIs1;
            if (black != prev) want.push_back(x);
            prev = black;
          }
          ASSERT_EQ(n, want.size()) << "width " << width;
          for (size_t i = 0; i < n; ++i) ASSERT_EQ(got[i], want[i]);
          EXPECT_EQ(got[n], width);
          EXPECT_EQ(got[n + 2], width);
        }
      }
    }
  }
}

TEST(Fax, BoundaryRowsMatchLibtiff) {
  CheckAgainstLibtiff(testpages::White(1728, 20, 200).View(), "white rows");
  CheckAgainstLibtiff(testpages::Black(1728, 20, 200).View(), "black rows");
  CheckAgainstLibtiff(testpages::Black(1, 3, 200).View(), "one black column");
  CheckAgainstLibtiff(testpages::White(1, 3, 200).View(), "one white column");
  // Runs around every make-up boundary, and past the longest make-up code.
  CheckAgainstLibtiff(testpages::Runs({1, 2, 3, 4, 62, 63, 64, 65, 127, 128, 129, 1727, 1728, 1729, 1791, 1792,
                                       2559, 2560, 2561, 2623, 2624, 2625, 5120, 5183, 5184, 7000},
                                      7001)
                          .View(),
                      "run lengths");
}

TEST(Fax, WidthsNotMultiplesOfBytesOrWordsMatchLibtiff) {
  std::mt19937 rng(11);
  for (uint32_t width : {5u, 13u, 31u, 33u, 63u, 65u, 100u, 129u, 1001u}) {
    CheckAgainstLibtiff(testpages::Noise(width, 17, 200, 0.5, rng()).View(), "noise");
    CheckAgainstLibtiff(testpages::Noise(width, 17, 200, 0.05, rng()).View(), "sparse");
  }
}

TEST(Fax, InvertedColourTableCodesTheSamePixels) {
  Page p = testpages::Document(800, 300, 100, 3);
  Page inverted = p;
  for (auto& b : inverted.bits) b = static_cast<uint8_t>(~b);
  codec::ImageView a = p.View(), b = inverted.View();
  b.whiteIs1 = false;
  for (auto encode : {codec::EncodeG3, codec::EncodeG4}) {
    std::vector<uint8_t> x, y;
    encode(a, x);
    encode(b, y);
    EXPECT_EQ(x, y);
  }
  CheckAgainstLibtiff(b, "inverted table");
}

TEST(Fax, DocumentPagesMatchLibtiff) {
  for (int dpi : {200, 300, 400}) {
    CheckAgainstLibtiff(testpages::Document(testpages::A4Width(dpi), testpages::A4Height(dpi), dpi, 1).View(),
                        "document " + std::to_string(dpi));
  }
  CheckAgainstLibtiff(testpages::Halftone(testpages::A4Width(200), testpages::A4Height(200) / 2, 200).View(),
                      "halftone");
  CheckAgainstLibtiff(testpages::White(testpages::A4Width(300), testpages::A4Height(300), 300).View(), "white");
  CheckAgainstLibtiff(testpages::Black(testpages::A4Width(300), testpages::A4Height(300), 300).View(), "black");
}

TEST(Fax, AppendsToWhatIsAlreadyInTheBuffer) {
  Page p = testpages::Noise(100, 10, 200, 0.3, 5);
  std::vector<uint8_t> alone, after = {1, 2, 3};
  codec::EncodeG4(p.View(), alone);
  codec::EncodeG4(p.View(), after);
  ASSERT_EQ(after.size(), alone.size() + 3);
  EXPECT_TRUE(std::equal(alone.begin(), alone.end(), after.begin() + 3));
}

}  // namespace
