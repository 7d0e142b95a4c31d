// TIFF32.dll and PDFLIB.dll called as the program calls them, on real BMP files; what they
// wrote is listed in expect.txt for check-common.sh to read back.
// Usage: test_formats [tiff] [pdf]   TOLVIX_FORMATS_WORK = the work folder
#include "../harness/Harness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/dib.h"
#include "libs/pdflib/pdflib.h"
#include "libs/tiff32/tiff32.h"
#include "tests/native/support.h"

using namespace harness;

namespace {

std::string g_work;
FILE* g_expect = nullptr;

std::string Path(const std::string& name) { return g_work + "\\" + name; }

void Expect(const std::string& line) { std::fprintf(g_expect, "%s\n", line.c_str()); }

// A page as the export engine hands it over: the page file without its file
// header, in local memory.
HLOCAL PageBlock(const Bytes& bmp, UINT flags = LMEM_ZEROINIT) {
  HLOCAL h = LocalAlloc(flags, bmp.size() - 14);
  std::memcpy(LocalLock(h), bmp.data() + 14, bmp.size() - 14);
  LocalUnlock(h);
  return h;
}

Bytes WithByte(Bytes b, size_t at, unsigned char value) {
  b[at] = value;
  return b;
}

struct Page {
  std::string name;
  Bytes bmp;
};

// 8-bit grey or palette, or 24-bit colour, of a pattern that changes at every pixel.
Bytes Synthetic(codec::PixelFormat format, uint32_t w, uint32_t h) {
  const uint32_t bpp = format == codec::PixelFormat::Bgr24 ? 3 : 1;
  Bytes px(size_t{w} * h * bpp);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 5 + i / (bpp * w));
  codec::ImageView v{px.data(), static_cast<ptrdiff_t>(w * bpp), w, h, format};
  v.xPelsPerMeter = v.yPelsPerMeter = testpages::PelsPerMeter(100);
  if (format == codec::PixelFormat::Palette8) v.paletteSize = 256;
  for (int i = 0; i < 256; ++i)
    v.palette[i] = codec::Rgb{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
  return codec::MakeBmpFile(v);
}

std::vector<Page> MakePages() {
  std::vector<Page> pages;
  auto add = [&](const std::string& name, Bytes bmp) {
    CHECK(WriteFileBytes(Path(name), bmp));
    pages.push_back({name, std::move(bmp)});
  };
  // Page content is the codecs' concern (their native tests); here each kind of BMP the DLLs read.
  auto bilevel = [](const testpages::Page& p) { return codec::MakeBmpFile(p.View()); };
  add("doc.bmp",
      bilevel(testpages::Document(testpages::A4Width(200), testpages::A4Height(200), 200, 1)));
  // White first in the colour table: the same document must come out the same.
  Bytes inverted = bilevel(testpages::Document(900, 600, 100, 7));
  for (size_t i = 62; i < inverted.size(); ++i) inverted[i] = static_cast<uint8_t>(~inverted[i]);
  std::swap_ranges(&inverted[54], &inverted[58], &inverted[58]);
  add("inverted.bmp", inverted);
  add("gray.bmp", Synthetic(codec::PixelFormat::Gray8, 203, 101));
  add("palette.bmp", Synthetic(codec::PixelFormat::Palette8, 203, 101));
  add("rgb.bmp", Synthetic(codec::PixelFormat::Bgr24, 203, 101));
  return pages;
}

void TestTiff() {
  HMODULE lib = LoadLibraryA("TIFF32.dll");
  auto writePage = reinterpret_cast<PFN_TIFF32_WRITEPAGE>(
      reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(TIFF32_ORDINAL_WRITEPAGE))));
  if (!writePage) return CHECK(!"TIFF32.dll with ordinal 50");
  CHECK(GetProcAddress(lib, "Tiff32WritePage") == nullptr);
  const std::vector<Page> pages = MakePages();

  // One file per page and code; then all pages into one file, in order.
  const struct {
    int code;
    const char* scheme;
  } codes[] = {{TIFF32_NONE, "None"},
               {TIFF32_CCITT_G3, "CCITT_Group_3"},
               {TIFF32_CCITT_G4, "CCITT_Group_4"}};
  // Fax coding is for bilevel pages only.
  auto scheme = [&](const Page& p, int i) { return p.bmp[28] == 1 ? codes[i].scheme : "None"; };
  for (size_t i = 0; i < pages.size(); ++i) {
    const Page& p = pages[i];
    for (int k = 0; k < 3; ++k) {
      const auto& c = codes[k];
      std::string name =
          p.name.substr(0, p.name.size() - 4) + "-" + std::to_string(c.code) + ".tif";
      HLOCAL block = PageBlock(p.bmp, c.code == TIFF32_CCITT_G3 ? LHND : LMEM_ZEROINIT);
      Check(writePage(Path(name).c_str(), block, c.code, 0) != 0, name.c_str());
      LocalFree(block);
      Expect("tiff " + name + " 0 " + p.name + " " + scheme(p, k));
    }
    HLOCAL block = PageBlock(p.bmp);
    Check(writePage(Path("multi.tif").c_str(), block, codes[i % 3].code, 0) != 0,
          ("multi.tif " + p.name).c_str());
    LocalFree(block);
    Expect("tiff multi.tif " + std::to_string(i) + " " + p.name + " " + scheme(p, i % 3));
  }
  Expect("pages multi.tif " + std::to_string(pages.size()));

  // A long multi-page export: each page is added without rereading the file.
  Bytes small = codec::MakeBmpFile(testpages::Noise(120, 40, 100, 0.2, 3).View());
  HLOCAL block = PageBlock(small);
  int written = 0;
  while (written < 3000 && writePage(Path("many.tif").c_str(), block, TIFF32_CCITT_G4, 0) != 0)
    ++written;
  CHECK_EQ(written, 3000);
  CHECK(WriteFileBytes(Path("small.bmp"), small));
  Expect("pages many.tif 3000");
  Expect("tiff many.tif 2999 small.bmp CCITT_Group_4");

  // Refusals leave nothing behind, or the existing file as it was.
  const Bytes text = {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'};
  CHECK(WriteFileBytes(Path("text.tif"), text));
  const std::string refused = Path("refused.tif"), noFolder = Path("no such folder\\x.tif"),
                    textTif = Path("text.tif"), multi = Path("multi.tif");
  HLOCAL fourBit = PageBlock(WithByte(pages[0].bmp, 28, 4));
  HLOCAL tall = PageBlock(WithByte(pages[0].bmp, 23, 0x7F));  // more rows than the block holds
  HANDLE held = CreateFileA(multi.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  CHECK(held != INVALID_HANDLE_VALUE);
  const struct {
    const char* what;
    const char* path;
    HLOCAL page;
    int code;
  } refusals[] = {
      {"code 207", refused.c_str(), block, 207},
      {"code 0", refused.c_str(), block, 0},
      {"no file name", nullptr, block, TIFF32_NONE},
      {"no page", refused.c_str(), nullptr, TIFF32_NONE},
      {"no folder", noFolder.c_str(), block, TIFF32_NONE},
      {"4-bit page", refused.c_str(), fourBit, TIFF32_NONE},
      {"rows beyond the block", refused.c_str(), tall, TIFF32_CCITT_G4},
      {"not a TIFF", textTif.c_str(), block, TIFF32_NONE},
      {"held open by another", multi.c_str(), block, TIFF32_NONE},
  };
  for (const auto& r : refusals)
    Check(writePage(r.path, r.page, r.code, 0) == 0, r.what, "is refused");
  CloseHandle(held);
  for (HLOCAL h : {block, fourBit, tall}) LocalFree(h);
  CHECK(!FileExists(refused));
  Bytes after;
  CHECK(ReadFileBytes(textTif, after) && after == text);
}

std::string List(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& n : names) list += Path(n) + '\0';
  return list + '\0';
}

void TestPdf() {
  auto bmps2Pdf = reinterpret_cast<PFN_BMPS2PDF>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryA("PDFLIB.dll"), "Bmps2Pdf")));
  if (!bmps2Pdf) return CHECK(!"PDFLIB.dll with Bmps2Pdf");
  const std::vector<Page> pages = MakePages();
  std::vector<std::string> names;
  for (const Page& p : pages) names.push_back(p.name);
  const std::string all = List(names);
  for (int code : {PDFLIB_NONE, PDFLIB_PACKBITS, PDFLIB_CCITT_G3, PDFLIB_CCITT_G4}) {
    std::string name = "out-" + std::to_string(code) + ".pdf";
    CHECK_EQ(bmps2Pdf(Path(name).c_str(), all.c_str(), code, 0), PDFLIB_OK);
    Expect("pdfpages " + name + " " + std::to_string(pages.size()));
    for (size_t i = 0; i < pages.size(); ++i)
      Expect("pdf " + name + " " + std::to_string(i) + " " + pages[i].name +
             (pages[i].bmp[28] == 1 && code >= PDFLIB_CCITT_G3 ? " ccitt" : " image"));
  }

  CHECK(WriteFileBytes(Path("text.bmp"), {'B', 'M', 'x'}));
  CHECK(WriteFileBytes(Path("four.bmp"), WithByte(pages[0].bmp, 28, 4)));
  CHECK(WriteFileBytes(Path("cut.bmp"), Bytes(pages[0].bmp.begin(), pages[0].bmp.end() - 100)));
  const std::string held = Path("held.pdf"), partial = Path("partial.pdf"),
                    noFolder = Path("no such folder\\x.pdf"),
                    deeper = Path("no such folder\\deeper\\x.pdf");
  HANDLE h = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                         nullptr);
  CHECK(h != INVALID_HANDLE_VALUE);
  const struct {
    const char* what;
    const char* pdf;
    std::string list;
    int code, result;
  } refusals[] = {
      {"held open without sharing", held.c_str(), all, PDFLIB_CCITT_G4, PDFLIB_CANNOT_WRITE},
      {"a page missing", partial.c_str(), List({"doc.bmp", "missing.bmp"}), PDFLIB_NONE,
       PDFLIB_CANNOT_READ_BMP},
      {"not a BMP", partial.c_str(), List({"text.bmp"}), PDFLIB_NONE, PDFLIB_CANNOT_READ_BMP},
      {"4-bit BMP", partial.c_str(), List({"doc.bmp", "four.bmp"}), PDFLIB_PACKBITS,
       PDFLIB_CANNOT_READ_BMP},
      {"cut BMP", partial.c_str(), List({"cut.bmp"}), PDFLIB_CCITT_G3, PDFLIB_CANNOT_READ_BMP},
      {"no folder", noFolder.c_str(), all, PDFLIB_NONE, PDFLIB_NO_FOLDER},
      {"no folders", deeper.c_str(), all, PDFLIB_NONE, PDFLIB_NO_FOLDER},
      {"code 1", partial.c_str(), all, 1, PDFLIB_BAD_ARGUMENT},
      {"empty list", partial.c_str(), std::string(1, '\0'), PDFLIB_NONE, PDFLIB_BAD_ARGUMENT},
      {"no file name", nullptr, all, PDFLIB_NONE, PDFLIB_BAD_ARGUMENT},
  };
  for (const auto& r : refusals) {
    int result = bmps2Pdf(r.pdf, r.list.c_str(), r.code, 0);
    Check(result == r.result, r.what,
          "gives " + std::to_string(result) + ", not " + std::to_string(r.result));
  }
  CloseHandle(h);
  CHECK(FileExists(held));
  CHECK(!FileExists(partial));
}

}  // namespace

int main(int argc, char** argv) {
  // Pages are added to existing TIFF files: start from nothing.
  const char* work = std::getenv("TOLVIX_FORMATS_WORK");
  if (!work || !*work) return std::printf("TOLVIX_FORMATS_WORK names no work folder\n"), 2;
  g_work = WindowsPath(work);
  RemoveTree(g_work);
  CreateDirectoryA(g_work.c_str(), nullptr);
  if (!(g_expect = std::fopen(Path("expect.txt").c_str(), "w"))) {
    std::printf("cannot write expect.txt in TOLVIX_FORMATS_WORK '%s'\n", g_work.c_str());
    return 2;
  }
  int r = RunCases(argc, argv, {{"tiff", TestTiff}, {"pdf", TestPdf}});
  std::fclose(g_expect);
  return r;
}
