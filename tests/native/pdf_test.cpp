// PDF files of image pages checked by qpdf, poppler's pdfimages and Ghostscript.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "codec/pdf.h"
#include "pages.h"
#include "support.h"

namespace {

using support::Quote;
using support::RunTool;

class VectorSink : public codec::ByteSink {
 public:
  std::vector<uint8_t> bytes;
  size_t limit = SIZE_MAX;
  bool Write(const void* data, size_t size) override {
    if (bytes.size() + size > limit) return false;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return true;
  }
};

struct Sample {
  std::string name;
  testpages::Page page;
  std::vector<uint8_t> pixels;
  codec::ImageView view;
  int dpi;
};

std::vector<Sample> Samples() {
  std::vector<Sample> s;
  auto add = [&](std::string name, testpages::Page p) {
    int dpi = p.dpi;
    s.push_back({std::move(name), std::move(p), {}, {}, dpi});
  };
  for (int dpi : {200, 300, 400})
    add("document " + std::to_string(dpi),
        testpages::Document(testpages::A4Width(dpi), testpages::A4Height(dpi), dpi, static_cast<uint32_t>(dpi)));
  add("halftone", testpages::Halftone(testpages::A4Width(200), testpages::A4Height(200), 200));
  add("white", testpages::White(testpages::A4Width(300), testpages::A4Height(300), 300));
  add("black", testpages::Black(1001, 777, 150));
  add("inverted table", testpages::Document(1203, 900, 150, 4));
  for (auto& x : s) x.view = x.page.View();
  for (auto& b : s.back().page.bits) b = static_cast<uint8_t>(~b);
  s.back().view = s.back().page.View();
  s.back().view.whiteIs1 = false;
  for (int kind = 0; kind < 3; ++kind) {
    Sample x;
    x.dpi = 100;
    uint32_t w = 203, h = 101, bpp = kind == 2 ? 3 : 1;
    x.pixels.resize(size_t{w} * h * bpp);
    for (size_t i = 0; i < x.pixels.size(); ++i) x.pixels[i] = static_cast<uint8_t>((i / 7) * 13 + i / (w * bpp));
    x.view.top = x.pixels.data();
    x.view.stride = static_cast<ptrdiff_t>(w * bpp);
    x.view.width = w;
    x.view.height = h;
    x.view.xPelsPerMeter = x.view.yPelsPerMeter = testpages::PelsPerMeter(100);
    x.view.format = kind == 0 ? codec::PixelFormat::Gray8 : kind == 1 ? codec::PixelFormat::Palette8 : codec::PixelFormat::Bgr24;
    x.name = kind == 0 ? "gray" : kind == 1 ? "palette" : "rgb";
    if (kind == 1) {
      x.view.paletteSize = 256;
      for (int i = 0; i < 256; ++i) x.view.palette[i] = codec::Rgb{uint8_t(i * 5), uint8_t(i), uint8_t(255 - i)};
    }
    s.push_back(std::move(x));
  }
  return s;
}

struct ListedImage {
  int page = 0;
  uint32_t width = 0, height = 0;
  std::string color, enc;
  int bpc = 0;
  int xppi = 0, yppi = 0;
};

std::vector<ListedImage> ListImages(const std::filesystem::path& pdf) {
  auto r = RunTool("pdfimages -list " + Quote(pdf));
  EXPECT_EQ(r.status, 0) << r.output;
  std::vector<ListedImage> out;
  std::istringstream in(r.output);
  std::string line;
  std::getline(in, line);
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream f(line);
    ListedImage li;
    std::string num, type, comp, interp, object, id;
    f >> li.page >> num >> type >> li.width >> li.height >> li.color >> comp >> li.bpc >> li.enc >> interp >> object >> id >>
        li.xppi >> li.yppi;
    out.push_back(li);
  }
  return out;
}

void CheckPdf(codec::PdfCompression compression, const char* expectedEnc) {
  std::vector<Sample> samples = Samples();
  support::TempDir dir;
  const auto pdf = dir / "out.pdf";
  {
    VectorSink sink;
    codec::PdfWriter w(sink);
    ASSERT_TRUE(w.Begin());
    size_t before = 0;
    for (const Sample& s : samples) {
      ASSERT_TRUE(w.AddPage(s.view, compression)) << s.name;
      // Written as it goes: each page is out before the next is made.
      EXPECT_GT(sink.bytes.size(), before);
      before = sink.bytes.size();
    }
    ASSERT_TRUE(w.Finish());
    support::WriteFile(pdf, sink.bytes);
  }
  auto r = RunTool("qpdf --check " + Quote(pdf));
  EXPECT_EQ(r.status, 0) << r.output;

  std::vector<ListedImage> listed = ListImages(pdf);
  ASSERT_EQ(listed.size(), samples.size());
  r = RunTool("cd " + Quote(dir.path()) + " && pdfimages " + Quote(pdf) + " img");
  ASSERT_EQ(r.status, 0) << r.output;
  for (size_t i = 0; i < samples.size(); ++i) {
    const Sample& s = samples[i];
    SCOPED_TRACE(s.name);
    const bool bilevel = s.view.format == codec::PixelFormat::Bilevel;
    const ListedImage& li = listed[i];
    EXPECT_EQ(li.page, static_cast<int>(i + 1));
    EXPECT_EQ(li.width, s.view.width);
    EXPECT_EQ(li.height, s.view.height);
    EXPECT_EQ(li.enc, bilevel ? expectedEnc : "image");
    EXPECT_EQ(li.bpc, bilevel ? 1 : 8);
    EXPECT_EQ(li.xppi, s.dpi);
    EXPECT_EQ(li.yppi, s.dpi);

    char name[32];
    // pdfimages writes grey as RGB too.
    std::snprintf(name, sizeof name, "img-%03zu.%s", i, bilevel ? "pbm" : "ppm");
    support::Netpbm extracted;
    ASSERT_TRUE(support::ReadNetpbm(dir / name, &extracted)) << name;
    std::vector<uint8_t> expected = support::Expected(s.view, true);
    if (s.view.format == codec::PixelFormat::Gray8) {
      std::vector<uint8_t> rgb;
      for (uint8_t v : expected) rgb.insert(rgb.end(), {v, v, v});
      expected.swap(rgb);
    }
    EXPECT_TRUE(extracted.rows == expected) << "pdfimages " << name;

    // pgmraw posterises grey; pnmraw writes a grey page as full-depth PGM.
    const char* device = bilevel ? "pbmraw" : s.view.format == codec::PixelFormat::Gray8 ? "pnmraw" : "ppmraw";
    const auto rendered = dir / ("page" + std::to_string(i + 1));
    r = RunTool("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=" + std::string(device) + " -r" + std::to_string(s.dpi) +
                " -dFirstPage=" + std::to_string(i + 1) + " -dLastPage=" + std::to_string(i + 1) + " -o " +
                Quote(rendered) + " " + Quote(pdf));
    ASSERT_EQ(r.status, 0) << r.output;
    support::Netpbm page;
    ASSERT_TRUE(support::ReadNetpbm(rendered, &page));
    EXPECT_EQ(page.width, s.view.width);
    EXPECT_EQ(page.height, s.view.height);
    EXPECT_TRUE(page.rows == support::Expected(s.view, true)) << "Ghostscript page " << i + 1;
  }
}

TEST(Pdf, Uncompressed) { CheckPdf(codec::PdfCompression::None, "image"); }
TEST(Pdf, PackBits) { CheckPdf(codec::PdfCompression::PackBits, "image"); }
TEST(Pdf, CcittGroup3) { CheckPdf(codec::PdfCompression::G3, "ccitt"); }
TEST(Pdf, CcittGroup4) { CheckPdf(codec::PdfCompression::G4, "ccitt"); }

TEST(Pdf, FiltersNamedInTheImageDictionary) {
  testpages::Page p = testpages::Document(300, 200, 100, 1);
  const std::map<codec::PdfCompression, std::string> filters = {
      {codec::PdfCompression::None, ""},
      {codec::PdfCompression::PackBits, "/Filter /RunLengthDecode"},
      {codec::PdfCompression::G3, "/Filter /CCITTFaxDecode /DecodeParms << /K 0 /Columns 300 /Rows 200"},
      {codec::PdfCompression::G4, "/Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns 300 /Rows 200"},
  };
  for (const auto& [c, filter] : filters) {
    VectorSink sink;
    codec::PdfWriter w(sink);
    ASSERT_TRUE(w.Begin() && w.AddPage(p.View(), c) && w.Finish());
    std::string text(sink.bytes.begin(), sink.bytes.end());
    if (filter.empty()) {
      EXPECT_EQ(text.find("/Filter"), std::string::npos);
    } else {
      EXPECT_NE(text.find(filter), std::string::npos) << filter;
    }
    if (c == codec::PdfCompression::G3 || c == codec::PdfCompression::G4) {
      EXPECT_NE(text.find("/BlackIs1 false"), std::string::npos);
    }
    // 300 pixels at 100 dpi is 216 points.
    EXPECT_NE(text.find("/MediaBox [0 0 216 144]"), std::string::npos);
  }
}

TEST(Pdf, SinkFailureIsReported) {
  testpages::Page p = testpages::Document(300, 200, 100, 1);
  for (size_t limit : {0u, 20u, 200u, 2000u}) {
    VectorSink sink;
    sink.limit = limit;
    codec::PdfWriter w(sink);
    bool ok = w.Begin();
    ok = w.AddPage(p.View(), codec::PdfCompression::None) && ok;
    ok = w.Finish() && ok;
    EXPECT_FALSE(ok) << limit;
  }
}

TEST(Pdf, NumbersHaveNoExponentAndNoLocale) {
  std::locale::global(std::locale::classic());
  EXPECT_EQ(codec::PdfNumber(595.44), "595.44");
  EXPECT_EQ(codec::PdfNumber(216.0), "216");
  EXPECT_EQ(codec::PdfNumber(0.5), "0.5");
  EXPECT_EQ(codec::PdfNumber(1e15), "1000000000000000");
  EXPECT_EQ(codec::PdfNumber(1.0 / 3), "0.3333");
  EXPECT_EQ(codec::PdfNumber(uint64_t{1234567890123}), "1234567890123");
}

TEST(Pdf, CrossReferenceEntriesAreTwentyBytesAtTheObjects) {
  VectorSink sink;
  codec::PdfWriter w(sink);
  testpages::Page p = testpages::White(10, 10, 72);
  ASSERT_TRUE(w.Begin() && w.AddPage(p.View(), codec::PdfCompression::None) && w.AddPage(p.View(), codec::PdfCompression::G4) && w.Finish());
  std::string text(sink.bytes.begin(), sink.bytes.end());
  size_t start = std::stoul(text.substr(text.rfind("startxref\n") + 10));
  ASSERT_EQ(text.compare(start, 5, "xref\n"), 0);
  size_t at = text.find('\n', start + 5) + 1;
  EXPECT_EQ(text.substr(at, 20), "0000000000 65535 f \n");
  for (int obj = 1; obj <= 8; ++obj) {
    std::string entry = text.substr(at + 20 * obj, 20);
    ASSERT_EQ(entry.substr(10), " 00000 n \n");
    size_t offset = std::stoul(entry.substr(0, 10));
    EXPECT_EQ(text.compare(offset, std::to_string(obj).size() + 6, std::to_string(obj) + " 0 obj"), 0) << obj;
  }
}

}  // namespace
