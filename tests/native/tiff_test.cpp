// Multi-page TIFF files built page by page, read back by libtiff and its tools.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/dib.h"
#include "codec/endian.h"
#include "codec/tiff.h"
#include "pages.h"
#include "support.h"

namespace {

using support::Quote;
using support::RunTool;

class MemFile : public codec::TiffFile {
 public:
  std::vector<uint8_t> bytes;
  size_t bytesRead = 0;

  uint64_t Size() override { return bytes.size(); }
  bool ReadAt(uint64_t offset, void* data, size_t size) override {
    if (offset > bytes.size() || bytes.size() - offset < size) return false;
    std::memcpy(data, bytes.data() + offset, size);
    bytesRead += size;
    return true;
  }
  bool WriteAt(uint64_t offset, const void* data, size_t size) override {
    if (offset + size > bytes.size()) bytes.resize(offset + size);
    std::memcpy(bytes.data() + offset, data, size);
    return true;
  }
};

struct Sample {
  std::string name;
  testpages::Page page;
  std::vector<uint8_t> pixels;  // for the 8- and 24-bit views
  codec::ImageView view;
  codec::TiffCompression compression;
};

std::vector<Sample> Samples() {
  std::vector<Sample> s;
  auto bilevel = [&](std::string name, testpages::Page p, codec::TiffCompression c) {
    s.push_back({std::move(name), std::move(p), {}, {}, c});
  };
  bilevel("document 200 G4", testpages::Document(testpages::A4Width(200), testpages::A4Height(200), 200, 1),
          codec::TiffCompression::G4);
  bilevel("document 300 G3", testpages::Document(testpages::A4Width(300), testpages::A4Height(300), 300, 2),
          codec::TiffCompression::G3);
  bilevel("halftone none", testpages::Halftone(501, 301, 150), codec::TiffCompression::None);
  bilevel("white G4", testpages::White(1001, 50, 200), codec::TiffCompression::G4);
  bilevel("black G3", testpages::Black(1001, 50, 200), codec::TiffCompression::G3);
  bilevel("inverted table G4", testpages::Document(900, 400, 100, 5), codec::TiffCompression::G4);
  bilevel("inverted table none", testpages::Document(900, 400, 100, 5), codec::TiffCompression::None);
  for (auto& x : s) x.view = x.page.View();
  for (size_t i = s.size() - 2; i < s.size(); ++i) {
    for (auto& b : s[i].page.bits) b = static_cast<uint8_t>(~b);
    s[i].view = s[i].page.View();
    s[i].view.whiteIs1 = false;
  }
  for (int kind = 0; kind < 3; ++kind) {
    Sample x;
    x.compression = codec::TiffCompression::G4;  // not for these: written uncompressed
    uint32_t w = 77, h = 31, bpp = kind == 2 ? 3 : 1;
    x.pixels.resize(size_t{w} * h * bpp);
    for (size_t i = 0; i < x.pixels.size(); ++i) x.pixels[i] = static_cast<uint8_t>(i * 31 + i / 77);
    x.view.top = x.pixels.data();
    x.view.stride = static_cast<ptrdiff_t>(w * bpp);
    x.view.width = w;
    x.view.height = h;
    x.view.xPelsPerMeter = testpages::PelsPerMeter(300);
    x.view.yPelsPerMeter = testpages::PelsPerMeter(150);
    x.view.format = kind == 0 ? codec::PixelFormat::Gray8 : kind == 1 ? codec::PixelFormat::Palette8 : codec::PixelFormat::Bgr24;
    x.name = kind == 0 ? "gray" : kind == 1 ? "palette" : "rgb";
    if (kind == 1) {
      x.view.paletteSize = 256;
      for (int i = 0; i < 256; ++i) x.view.palette[i] = codec::Rgb{uint8_t(i), uint8_t(i * 3), uint8_t(255 - i)};
    }
    s.push_back(std::move(x));
  }
  for (auto& x : s)
    if (x.pixels.empty()) x.view = x.view.top ? x.view : x.page.View();
  return s;
}

// `ours`: the file as written, else a copy tiffcp decoded, with its own strips.
void CheckPage(const std::filesystem::path& file, int dir, const Sample& s, bool ours) {
  SCOPED_TRACE(s.name + (ours ? " as written" : " decoded by tiffcp"));
  support::TiffDir d;
  ASSERT_TRUE(support::ReadTiff(file, dir, &d));
  EXPECT_EQ(d.width, s.view.width);
  EXPECT_EQ(d.height, s.view.height);
  EXPECT_TRUE(d.rows == support::Expected(s.view));
  if (!ours) return;
  EXPECT_EQ(d.strips, 1u);
  EXPECT_EQ(d.fillOrder, 1);
  EXPECT_EQ(d.resUnit, 2);
  EXPECT_FLOAT_EQ(d.xres, static_cast<float>(codec::ResolutionFromPelsPerMeter(s.view.xPelsPerMeter).Dpi()));
  EXPECT_FLOAT_EQ(d.yres, static_cast<float>(codec::ResolutionFromPelsPerMeter(s.view.yPelsPerMeter).Dpi()));
  const bool bilevel = s.view.format == codec::PixelFormat::Bilevel;
  EXPECT_EQ(d.compression, bilevel ? static_cast<uint16_t>(s.compression) : 1);
  const uint16_t photometric[] = {0, 1, 3, 2};
  EXPECT_EQ(d.photometric, photometric[static_cast<int>(s.view.format)]);
}

TEST(Tiff, MultiPageFileOfEveryKindReadsBack) {
  std::vector<Sample> samples = Samples();
  MemFile f;
  codec::TiffTail tail;
  for (const Sample& s : samples) ASSERT_TRUE(codec::AppendTiffPage(f, s.view, s.compression, &tail)) << s.name;
  support::TempDir dir;
  support::WriteFile(dir / "all.tif", f.bytes);
  auto r = RunTool("tiffinfo -D " + Quote(dir / "all.tif"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.find("rror"), std::string::npos) << r.output;
  ASSERT_EQ(support::TiffDirectories(dir / "all.tif"), static_cast<int>(samples.size()));
  r = RunTool("tiffcp -c none " + Quote(dir / "all.tif") + " " + Quote(dir / "plain.tif"));
  ASSERT_EQ(r.status, 0) << r.output;
  for (size_t i = 0; i < samples.size(); ++i) {
    CheckPage(dir / "all.tif", static_cast<int>(i), samples[i], true);
    CheckPage(dir / "plain.tif", static_cast<int>(i), samples[i], false);
  }
  // Colour through libtiff's RGBA path: palette and RGB pages must show the source colours.
  r = RunTool("tiff2rgba -c none " + Quote(dir / "all.tif") + " " + Quote(dir / "rgba.tif"));
  EXPECT_EQ(r.status, 0) << r.output;
}

TEST(Tiff, AppendingReadsOnlyTheLastLink) {
  testpages::Page p = testpages::Document(300, 200, 100, 9);
  MemFile f;
  codec::TiffTail tail;
  for (int i = 0; i < 300; ++i) {
    f.bytesRead = 0;
    ASSERT_TRUE(codec::AppendTiffPage(f, p.View(), codec::TiffCompression::G4, &tail));
    EXPECT_LE(f.bytesRead, 4u) << "page " << i;
  }
  // Without a tail the chain is walked once, and then trusted again.
  codec::TiffTail fresh;
  f.bytesRead = 0;
  ASSERT_TRUE(codec::AppendTiffPage(f, p.View(), codec::TiffCompression::G3, &fresh));
  EXPECT_GT(f.bytesRead, 300u * 6);
  f.bytesRead = 0;
  ASSERT_TRUE(codec::AppendTiffPage(f, p.View(), codec::TiffCompression::G3, &fresh));
  EXPECT_LE(f.bytesRead, 4u);
  // A tail from before the file changed is not trusted.
  f.bytesRead = 0;
  ASSERT_TRUE(codec::AppendTiffPage(f, p.View(), codec::TiffCompression::None, &tail));
  EXPECT_GT(f.bytesRead, 300u * 6);

  support::TempDir dir;
  support::WriteFile(dir / "many.tif", f.bytes);
  ASSERT_EQ(support::TiffDirectories(dir / "many.tif"), 303);
  support::TiffDir last;
  ASSERT_TRUE(support::ReadTiff(dir / "many.tif", 302, &last));
  EXPECT_EQ(last.compression, 1);
  EXPECT_TRUE(last.rows == support::Expected(p.View()));
}

TEST(Tiff, AppendsToFilesOfOtherWritersInTheirByteOrder) {
  testpages::Page a = testpages::Document(400, 300, 100, 1), b = testpages::Noise(333, 20, 100, 0.3, 2);
  MemFile f;
  codec::TiffTail tail;
  ASSERT_TRUE(codec::AppendTiffPage(f, a.View(), codec::TiffCompression::None, &tail));
  support::TempDir dir;
  support::WriteFile(dir / "ours.tif", f.bytes);
  for (const char* order : {"-B", "-L"}) {
    SCOPED_TRACE(order);
    auto r = RunTool(std::string("tiffcp ") + order + " -c lzw " + Quote(dir / "ours.tif") + " " + Quote(dir / "theirs.tif"));
    ASSERT_EQ(r.status, 0) << r.output;
    MemFile g;
    g.bytes = support::ReadFile(dir / "theirs.tif");
    // An odd length makes the new page start one byte later, on a word boundary.
    g.bytes.push_back(0);
    if (g.bytes.size() % 2 == 0) g.bytes.push_back(0);
    codec::TiffTail t;
    ASSERT_TRUE(codec::AppendTiffPage(g, b.View(), codec::TiffCompression::G4, &t));
    EXPECT_EQ(t.order, order[1] == 'B' ? codec::ByteOrder::Big : codec::ByteOrder::Little);
    support::WriteFile(dir / "grown.tif", g.bytes);
    r = RunTool("tiffinfo -D " + Quote(dir / "grown.tif") + " >/dev/null");
    EXPECT_EQ(r.status, 0) << r.output;
    ASSERT_EQ(support::TiffDirectories(dir / "grown.tif"), 2);
    support::TiffDir d0, d1;
    ASSERT_TRUE(support::ReadTiff(dir / "grown.tif", 0, &d0));
    ASSERT_TRUE(support::ReadTiff(dir / "grown.tif", 1, &d1));
    EXPECT_TRUE(d0.rows == support::Expected(a.View()));
    EXPECT_TRUE(d1.rows == support::Expected(b.View()));
  }
}

TEST(Tiff, RefusesFilesItCannotExtend) {
  testpages::Page p = testpages::White(16, 16, 200);
  auto refuses = [&](std::vector<uint8_t> bytes) {
    MemFile f;
    f.bytes = bytes;
    codec::TiffTail t;
    EXPECT_FALSE(codec::AppendTiffPage(f, p.View(), codec::TiffCompression::G4, &t));
    EXPECT_EQ(f.bytes, bytes);
  };
  refuses({'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
  refuses({'I', 'I', 43, 0, 16, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0});  // BigTIFF
  refuses({'I', 'I', 42, 0});
  // A directory whose link points at itself.
  std::vector<uint8_t> loop = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 8, 0, 0, 0};
  refuses(loop);
  // A link past the end.
  refuses({'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 1, 0, 0});
  refuses({'M', 'M', 0, 42, 0, 0, 0, 200});
}

TEST(Tiff, EmptyFileGetsAHeader) {
  MemFile f;
  codec::TiffTail t;
  ASSERT_TRUE(codec::AppendTiffPage(f, testpages::White(8, 1, 200).View(), codec::TiffCompression::None, &t));
  EXPECT_EQ(f.bytes[0], 'I');
  EXPECT_EQ(codec::GetLe16(&f.bytes[2]), 42);
  EXPECT_EQ(codec::GetLe32(&f.bytes[4]) % 2, 0u);
  EXPECT_EQ(t.end, f.bytes.size());
}

}  // namespace
