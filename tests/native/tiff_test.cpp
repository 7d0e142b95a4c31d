// Multi-page TIFF files built page by page, read back by libtiff and its tools.
#include <gtest/gtest.h>

#include <fstream>

#include "codec/tiff.h"
#include "support.h"

namespace {

using codec::TiffCompression;
using support::Quote;
using support::RunTool;

TEST(Tiff, MultiPageFileOfEveryKindAndCompressionReadsBack) {
  const std::vector<testpages::Sample> samples = testpages::Samples();
  const TiffCompression compressions[] = {TiffCompression::None, TiffCompression::G3,
                                          TiffCompression::G4};
  testpages::MemoryFile f;
  codec::TiffTail tail;
  for (TiffCompression c : compressions)
    for (const testpages::Sample& s : samples)
      ASSERT_TRUE(codec::AppendTiffPage(f, s.view, c, &tail)) << s.name;
  EXPECT_EQ(f.bytes[0], 'I');
  EXPECT_EQ(f.bytes[4] % 2, 0) << "the first directory on a word boundary";
  support::TempDir dir;
  support::WriteFile(dir / "all.tif", f.bytes);
  // libtiff's RGBA path: palette and colour pages must be readable as colour.
  EXPECT_EQ(RunTool("tiff2rgba -c none " + Quote(dir / "all.tif") + " " + Quote(dir / "rgba.tif")),
            "");
  for (size_t i = 0; i < 3 * samples.size(); ++i) {
    const testpages::Sample& s = samples[i % samples.size()];
    const codec::ImageView& v = s.view;
    const bool bilevel = v.format == codec::PixelFormat::Bilevel;
    const TiffCompression c = bilevel ? compressions[i / samples.size()] : TiffCompression::None;
    SCOPED_TRACE(s.name + " compression " + std::to_string(int(c)));
    support::TiffDir d;
    ASSERT_TRUE(support::ReadTiff(dir / "all.tif", static_cast<int>(i), &d));
    ASSERT_EQ(d.directories, static_cast<int>(3 * samples.size()));
    EXPECT_EQ(d.width, v.width);
    EXPECT_EQ(d.height, v.height);
    EXPECT_TRUE(d.rows == support::Expected(v));
    EXPECT_EQ(d.strips, 1u);
    EXPECT_EQ(d.fillOrder, 1);
    EXPECT_EQ(d.resUnit, 2);
    EXPECT_NEAR(d.xres, s.xdpi, 0.02);  // exactness: Resolution.WholeDotsPerInchAreExact
    EXPECT_NEAR(d.yres, s.ydpi, 0.02);
    EXPECT_EQ(d.compression, static_cast<uint16_t>(c));
    const uint16_t photometric[] = {0, 1, 3, 2};  // min-is-white, min-is-black, palette, RGB
    EXPECT_EQ(d.photometric, photometric[static_cast<int>(v.format)]);
  }
}

TEST(Tiff, AppendingReadsOnlyTheLastLink) {
  testpages::Page p = testpages::Document(300, 200, 100, 9);
  testpages::MemoryFile f;
  codec::TiffTail tail;
  auto append = [&](codec::TiffTail* t, TiffCompression c) {
    f.bytesRead = 0;
    EXPECT_TRUE(codec::AppendTiffPage(f, p.View(), c, t));
    return f.bytesRead;
  };
  for (int i = 0; i < 300; ++i) ASSERT_LE(append(&tail, TiffCompression::G4), 4u) << "page " << i;
  // Without a tail the chain is walked once, and then trusted again.
  codec::TiffTail fresh;
  EXPECT_GT(append(&fresh, TiffCompression::G3), 300u * 6);
  EXPECT_LE(append(&fresh, TiffCompression::G3), 4u);
  // A tail from before the file changed is not trusted.
  EXPECT_GT(append(&tail, TiffCompression::None), 300u * 6);

  support::TempDir dir;
  support::WriteFile(dir / "many.tif", f.bytes);
  support::TiffDir last;
  ASSERT_TRUE(support::ReadTiff(dir / "many.tif", 302, &last));
  EXPECT_EQ(last.directories, 303);
  EXPECT_EQ(last.compression, 1);
  EXPECT_TRUE(last.rows == support::Expected(p.View()));
}

TEST(Tiff, AppendsToFilesOfOtherWritersInTheirByteOrder) {
  const testpages::Page p = testpages::Noise(333, 20, 100, 0.3, 2);
  testpages::MemoryFile f;
  codec::TiffTail tail;
  ASSERT_TRUE(codec::AppendTiffPage(f, p.View(), TiffCompression::None, &tail));
  support::TempDir dir;
  support::WriteFile(dir / "ours.tif", f.bytes);
  for (const char* order : {"-B", "-L"}) {
    SCOPED_TRACE(order);
    ASSERT_EQ(RunTool(std::string("tiffcp ") + order + " -c lzw " + Quote(dir / "ours.tif") + " " +
                      Quote(dir / "theirs.tif")),
              "");
    testpages::MemoryFile g;
    std::ifstream theirs(dir / "theirs.tif", std::ios::binary);
    g.bytes.assign(std::istreambuf_iterator<char>(theirs), {});
    // An odd length makes the new page start one byte later, on a word boundary.
    g.bytes.push_back(0);
    if (g.bytes.size() % 2 == 0) g.bytes.push_back(0);
    codec::TiffTail t;
    ASSERT_TRUE(codec::AppendTiffPage(g, p.View(), TiffCompression::G4, &t));
    EXPECT_EQ(t.order, order[1] == 'B' ? codec::ByteOrder::Big : codec::ByteOrder::Little);
    support::WriteFile(dir / "grown.tif", g.bytes);
    support::TiffDir added;  // the bytes before it: fuzz_tiff_tail
    ASSERT_TRUE(support::ReadTiff(dir / "grown.tif", 1, &added));
    EXPECT_EQ(added.directories, 2);
    EXPECT_TRUE(added.rows == support::Expected(p.View()));
  }
}

TEST(Tiff, RefusesFilesItCannotExtend) {
  struct Row {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const Row rows[] = {
      {"BigTIFF", {'I', 'I', 43, 0, 16, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0}},
      {"header cut short", {'I', 'I', 42, 0}},
      {"a directory linking to itself", {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 8, 0, 0, 0}},
      {"a link past the end", {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 1, 0, 0}},
      {"first directory past the end", {'M', 'M', 0, 42, 0, 0, 0, 200}},
  };
  testpages::Page p = testpages::White(16, 16, 200);
  for (const Row& r : rows) {
    testpages::MemoryFile f;
    f.bytes = r.bytes;
    codec::TiffTail t;
    EXPECT_FALSE(codec::AppendTiffPage(f, p.View(), TiffCompression::G4, &t)) << r.what;
    EXPECT_EQ(f.bytes, r.bytes) << r.what;
  }
}

}  // namespace
