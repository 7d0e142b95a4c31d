// PDF files of image pages checked by qpdf and Ghostscript, and the codes of their PackBits filter.
#include <gtest/gtest.h>

#include "codec/packbits.h"
#include "codec/pdf.h"
#include "support.h"

namespace {

using codec::PdfCompression;
using support::Quote;
using support::RunTool;

struct Mode {
  const char* name;
  PdfCompression compression;
  const char* filter;  // as the image dictionaries name it
  size_t coded;  // pages with that filter: every page for PackBits, the bilevel ones for CCITT
};

class PdfPages : public testing::TestWithParam<Mode> {};

// Every page as Ghostscript renders it at the page's resolution.
TEST_P(PdfPages, ReadBackByEveryReader) {
  const Mode mode = GetParam();
  const std::vector<testpages::Sample> samples = testpages::Samples();
  support::TempDir dir;
  const auto pdf = dir / "out.pdf";
  testpages::MemorySink sink;
  codec::PdfWriter w(sink);
  ASSERT_TRUE(w.Begin());
  for (const testpages::Sample& s : samples) {
    const size_t before = sink.bytes.size();
    ASSERT_TRUE(w.AddPage(s.view, mode.compression)) << s.name;
    EXPECT_GT(sink.bytes.size(), before) << "each page is out before the next is made";
  }
  ASSERT_TRUE(w.Finish());
  support::WriteFile(pdf, sink.bytes);
  const std::string text(sink.bytes.begin(), sink.bytes.end());
  size_t coded = 0;
  for (size_t at = text.find(mode.filter); at != std::string::npos;
       at = text.find(mode.filter, at + 1))
    ++coded;
  EXPECT_EQ(coded, mode.coded) << mode.filter;

  // qpdf also refuses a wrong cross-reference offset and a number with an exponent, but takes
  // entries shorter than 20 bytes.
  EXPECT_EQ(RunTool("qpdf --check " + Quote(pdf)), "");
  const size_t xref = std::stoul(text.substr(text.rfind("startxref\n") + 10));
  ASSERT_EQ(text.compare(xref, 7, "xref\n0 "), 0);
  const size_t entries = std::stoul(text.substr(xref + 7)), at = text.find('\n', xref + 7) + 1;
  EXPECT_EQ(text.substr(at, 20), "0000000000 65535 f \n");
  for (size_t i = 1; i < entries; ++i)
    EXPECT_EQ(text.substr(at + 20 * i + 10, 10), " 00000 n \n") << i;
  EXPECT_EQ(text.compare(at + 20 * entries, 7, "trailer"), 0);
  for (size_t i = 0; i < samples.size(); ++i) {
    const testpages::Sample& s = samples[i];
    SCOPED_TRACE(s.name);
    const char* device = s.view.format == codec::PixelFormat::Bilevel ? "tiffg4"
                         : s.view.format == codec::PixelFormat::Gray8 ? "tiffgray"
                                                                      : "tiff24nc";
    const std::string n = std::to_string(i + 1);
    ASSERT_EQ(RunTool("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=" + std::string(device) + " -r" +
                      std::to_string(s.xdpi) + "x" + std::to_string(s.ydpi) + " -dFirstPage=" + n +
                      " -dLastPage=" + n + " -o " + Quote(dir / "page.tif") + " " + Quote(pdf)),
              "");
    support::TiffDir shown;
    ASSERT_TRUE(support::ReadTiff(dir / "page.tif", 0, &shown));
    EXPECT_EQ(shown.width, s.view.width);
    EXPECT_EQ(shown.height, s.view.height);
    EXPECT_TRUE(shown.rows == support::Expected(s.view, true)) << "Ghostscript page " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pdf, PdfPages,
    testing::Values(
        Mode{"Uncompressed", PdfCompression::None, "/Filter", 0},
        Mode{"PackBits", PdfCompression::PackBits, "/Filter /RunLengthDecode", 10},
        Mode{"CcittGroup3", PdfCompression::G3, "/CCITTFaxDecode /DecodeParms << /K 0 ", 7},
        Mode{"CcittGroup4", PdfCompression::G4, "/CCITTFaxDecode /DecodeParms << /K -1 ", 7}),
    [](const testing::TestParamInfo<Mode>& mode) { return std::string(mode.param.name); });

// PackBits at the run and literal limits; Ghostscript decodes it above.
using Bytes = std::vector<uint8_t>;

Bytes Pack(const Bytes& in) {
  Bytes out;
  codec::PackBits(in.data(), in.size(), out);
  return out;
}

TEST(PackBits, CodesAroundTheLongestRun) {
  struct Row {
    Bytes in, want;
  };
  const Row rows[] = {
      {{}, {}},
      {{5}, {0, 5}},
      {{5, 5}, {255, 5}},
      {Bytes(128, 7), {129, 7}},
      {Bytes(129, 7), {129, 7, 0, 7}},
      {Bytes(130, 7), {129, 7, 255, 7}},
      {Bytes(256, 0), {129, 0, 129, 0}},
      {{1, 2, 2, 3}, {3, 1, 2, 2, 3}},  // a pair inside a literal stays literal
      {{1, 2, 2, 2, 3}, {0, 1, 254, 2, 0, 3}},
  };
  for (const Row& r : rows) EXPECT_EQ(Pack(r.in), r.want) << r.in.size() << " bytes";
}

TEST(PackBits, LiteralsAroundTheLongestCode) {
  for (size_t n : {127u, 128u, 129u, 256u, 257u}) {
    Bytes in(n);
    for (size_t i = 0; i < n; ++i) in[i] = static_cast<uint8_t>(i);
    const Bytes out = Pack(in);
    EXPECT_EQ(out.size(), n + (n + 127) / 128) << n;
    EXPECT_EQ(out[0], std::min<size_t>(n, 128) - 1) << n;
  }
}

}  // namespace
