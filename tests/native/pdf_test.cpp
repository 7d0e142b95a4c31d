// PDF files of image pages checked by qpdf, poppler's pdfimages and Ghostscript.
#include <gtest/gtest.h>

#include "codec/pdf.h"
#include "support.h"

namespace {

using codec::PdfCompression;
using support::Quote;
using support::RunTool;

std::string Text(const testpages::MemorySink& sink) {
  return std::string(sink.bytes.begin(), sink.bytes.end());
}

struct Mode {
  const char* name;
  PdfCompression compression;
  const char* filter;  // as the image dictionaries name it; "" for no filter at all
};

class PdfPages : public testing::TestWithParam<Mode> {};

// Every page as pdfimages extracts it and as Ghostscript renders it.
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
  const std::string text = Text(sink);
  // Each page coded as asked: all of them for PackBits, the bilevel ones for CCITT.
  size_t bilevelPages = 0, coded = 0;
  for (const testpages::Sample& s : samples)
    bilevelPages += s.view.format == codec::PixelFormat::Bilevel;
  const std::string filter = *mode.filter ? mode.filter : "/Filter";
  for (size_t at = text.find(filter); at != std::string::npos; at = text.find(filter, at + 1))
    ++coded;
  EXPECT_EQ(coded, !*mode.filter                                  ? 0
                   : mode.compression == PdfCompression::PackBits ? samples.size()
                                                                  : bilevelPages)
      << filter;

  auto r = RunTool("qpdf --check " + Quote(pdf));
  EXPECT_EQ(r.status, 0) << r.output;
  r = RunTool("cd " + Quote(dir.path) + " && pdfimages -tiff " + Quote(pdf) + " img");
  ASSERT_EQ(r.status, 0) << r.output;
  for (size_t i = 0; i < samples.size(); ++i) {
    const testpages::Sample& s = samples[i];
    SCOPED_TRACE(s.name);
    const bool bilevel = s.view.format == codec::PixelFormat::Bilevel;
    const std::vector<uint8_t> expected = support::Expected(s.view, true);
    char name[32];
    std::snprintf(name, sizeof name, "img-%03zu.tif", i);
    support::TiffDir extracted, shown;
    ASSERT_TRUE(support::ReadTiff(dir / name, 0, &extracted)) << name;
    EXPECT_TRUE(extracted.rows == expected) << "pdfimages " << name;
    const char* device = bilevel                                      ? "tiffg4"
                         : s.view.format == codec::PixelFormat::Gray8 ? "tiffgray"
                                                                      : "tiff24nc";
    const std::string n = std::to_string(i + 1);
    r = RunTool("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=" + std::string(device) + " -r" +
                std::to_string(s.xdpi) + "x" + std::to_string(s.ydpi) + " -dFirstPage=" + n +
                " -dLastPage=" + n + " -o " + Quote(dir / "page.tif") + " " + Quote(pdf));
    ASSERT_EQ(r.status, 0) << r.output;
    ASSERT_TRUE(support::ReadTiff(dir / "page.tif", 0, &shown));
    EXPECT_EQ(shown.width, s.view.width);
    EXPECT_EQ(shown.height, s.view.height);
    EXPECT_TRUE(shown.rows == expected) << "Ghostscript page " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pdf, PdfPages,
    testing::Values(
        Mode{"Uncompressed", PdfCompression::None, ""},
        Mode{"PackBits", PdfCompression::PackBits, "/Filter /RunLengthDecode"},
        Mode{"CcittGroup3", PdfCompression::G3, "/CCITTFaxDecode /DecodeParms << /K 0 "},
        Mode{"CcittGroup4", PdfCompression::G4, "/CCITTFaxDecode /DecodeParms << /K -1 "}),
    [](const testing::TestParamInfo<Mode>& mode) { return std::string(mode.param.name); });

TEST(Pdf, SinkFailureIsReported) {
  testpages::Page p = testpages::Document(300, 200, 100, 1);
  for (size_t limit : {0u, 20u, 200u, 2000u}) {
    testpages::MemorySink sink;
    sink.limit = limit;
    codec::PdfWriter w(sink);
    bool ok = w.Begin();
    ok = w.AddPage(p.View(), PdfCompression::None) && ok;
    EXPECT_FALSE(w.Finish() && ok) << limit;
  }
}

TEST(Pdf, NumbersHaveNoExponentAndNoLocale) {
  std::locale::global(std::locale::classic());
  struct Row {
    double v;
    const char* want;
  };
  for (Row r : {Row{595.44, "595.44"}, Row{216.0, "216"}, Row{0.5, "0.5"},
                Row{1e15, "1000000000000000"}, Row{1.0 / 3, "0.3333"}})
    EXPECT_EQ(codec::PdfNumber(r.v), r.want);
  EXPECT_EQ(codec::PdfNumber(uint64_t{1234567890123}), "1234567890123");
}

TEST(Pdf, CrossReferenceEntriesAreTwentyBytesAtTheObjects) {
  testpages::MemorySink sink;
  codec::PdfWriter w(sink);
  testpages::Page p = testpages::White(10, 10, 72);
  ASSERT_TRUE(w.Begin() && w.AddPage(p.View(), PdfCompression::None) &&
              w.AddPage(p.View(), PdfCompression::G4) && w.Finish());
  const std::string text = Text(sink);
  const size_t start = std::stoul(text.substr(text.rfind("startxref\n") + 10));
  ASSERT_EQ(text.compare(start, 5, "xref\n"), 0);
  const size_t at = text.find('\n', start + 5) + 1;
  EXPECT_EQ(text.substr(at, 20), "0000000000 65535 f \n");
  for (int obj = 1; obj <= 8; ++obj) {
    const std::string entry = text.substr(at + 20 * obj, 20), head = std::to_string(obj) + " 0 obj";
    ASSERT_EQ(entry.substr(10), " 00000 n \n");
    EXPECT_EQ(text.compare(std::stoul(entry.substr(0, 10)), head.size(), head), 0) << obj;
  }
}

}  // namespace
