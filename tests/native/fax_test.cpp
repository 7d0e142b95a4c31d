// Group 3 and Group 4 coding, checked bit for bit against libtiff's encoder (tiffcp).
#include <gtest/gtest.h>

#include <random>

#include "codec/fax.h"
#include "codec/tiff.h"
#include "support.h"

namespace {

using testpages::Page;

void CheckAgainstLibtiff(const Page& p, bool whiteIs1, const std::string& what) {
  SCOPED_TRACE(what + " " + std::to_string(p.width) + "x" + std::to_string(p.height) +
               (whiteIs1 ? "" : ", 0 is white"));
  std::vector<uint8_t> bits = p.bits;
  if (!whiteIs1)
    for (uint8_t& b : bits) b = static_cast<uint8_t>(~b);
  codec::ImageView v = p.View();
  v.top = bits.data();
  v.whiteIs1 = whiteIs1;
  support::TempDir dir;
  testpages::MemoryFile plain;
  codec::TiffTail tail;
  ASSERT_TRUE(codec::AppendTiffPage(plain, v, codec::TiffCompression::None, &tail));
  support::WriteFile(dir / "plain.tif", plain.bytes);
  for (auto [encode, flag] : {std::pair{codec::EncodeG3, "g3"}, std::pair{codec::EncodeG4, "g4"}}) {
    ASSERT_EQ(support::RunTool(std::string("tiffcp -c ") + flag + " -r " +
                               std::to_string(p.height) + " " + support::Quote(dir / "plain.tif") +
                               " " + support::Quote(dir / "lib.tif")),
              "");
    support::TiffDir lib;
    ASSERT_TRUE(support::ReadTiff(dir / "lib.tif", 0, &lib));
    ASSERT_EQ(lib.strips, 1u);
    ASSERT_TRUE(lib.rows == support::Expected(v)) << "libtiff did not read the page as written";
    std::vector<uint8_t> ours = {1, 2, 3}, want = {1, 2, 3};  // the code goes after what is there
    encode(v, ours);
    want.insert(want.end(), lib.rawStrip.begin(), lib.rawStrip.end());
    EXPECT_TRUE(ours == want) << flag << ": " << ours.size() << " bytes, libtiff 3 + "
                              << lib.rawStrip.size();
  }
}

TEST(Fax, PagesMatchLibtiff) {
  using testpages::A4Height;
  using testpages::A4Width;
  struct Row {
    const char* what;
    Page page;
    bool whiteIs1 = true;
  };
  std::vector<Row> rows = {
      {"white rows", testpages::White(1728, 20, 200)},
      {"black rows", testpages::Black(1728, 20, 200)},
      // Runs around every make-up boundary, and past the longest make-up code.
      {"run lengths", testpages::Runs({1,    2,    3,    4,    62,   63,   64,   65,   127,
                                       128,  129,  1727, 1728, 1729, 1791, 1792, 2559, 2560,
                                       2561, 2623, 2624, 2625, 5120, 5183, 5184, 7000},
                                      7001)},
      // The benchmark's two pages.
      {"document 400", testpages::Document(A4Width(400), A4Height(400), 400, 1)},
      {"halftone 400", testpages::Halftone(A4Width(400), A4Height(400), 400)},
  };
  // Widths around every word the change finder reads, rows from sparse to dense with garbage in the
  // bits past the width, either bit value white.
  std::mt19937 rng(7);
  const double density[] = {0.02, 0.5, 0.98};
  for (uint32_t width : {1u, 7u, 8u, 9u, 31u, 32u, 33u, 63u, 64u, 65u, 127u, 129u, 1000u}) {
    Page p = testpages::White(width, 12, 200);
    for (uint32_t y = 0; y < p.height; ++y) {
      std::bernoulli_distribution black(density[y % 3]);
      for (uint32_t x = 0; x < p.stride * 8; ++x)
        if (x < width ? black(rng) : rng() & 1)
          p.bits[y * p.stride + x / 8] ^= static_cast<uint8_t>(0x80 >> (x & 7));
    }
    rows.push_back({"ragged", p, true});
    rows.push_back({"ragged", std::move(p), false});
  }
  for (const Row& r : rows) CheckAgainstLibtiff(r.page, r.whiteIs1, r.what);
}

}  // namespace
