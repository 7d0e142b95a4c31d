// TIFF32.dll and PDFLIB.dll called as the program calls them: how they are reached, and the
// arguments and files they refuse, which the export engine never hands them.
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

std::string Path(const std::string& name) { return g_work + "\\" + name; }

// A bilevel page as a BMP file; what it shows is the codecs' concern.
Bytes Page(size_t at = 0, unsigned char value = 0) {
  Bytes b = codec::MakeBmpFile(testpages::Document(300, 200, 100, 1).View());
  if (at) b[at] = value;
  return b;
}

// A page as the export engine hands it over: the page file without its file header.
HLOCAL PageBlock(const Bytes& bmp) {
  HLOCAL h = LocalAlloc(LMEM_ZEROINIT, bmp.size() - 14);
  std::memcpy(LocalLock(h), bmp.data() + 14, bmp.size() - 14);
  LocalUnlock(h);
  return h;
}

void TestTiff() {
  HMODULE lib = LoadLibraryA("TIFF32.dll");
  auto writePage = reinterpret_cast<PFN_TIFF32_WRITEPAGE>(
      reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(TIFF32_ORDINAL_WRITEPAGE))));
  if (!writePage) return CHECK(!"TIFF32.dll with ordinal 50");
  CHECK(GetProcAddress(lib, "Tiff32WritePage") == nullptr);

  HLOCAL block = PageBlock(Page());
  const std::string held = Path("held.tif"), refused = Path("refused.tif"),
                    noFolder = Path("no such folder\\x.tif"), textTif = Path("text.tif");
  Check(writePage(held.c_str(), block, TIFF32_CCITT_G4, 0) != 0, "held.tif", "is written");
  const Bytes text = {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'};
  CHECK(WriteFileBytes(textTif, text));
  HLOCAL fourBit = PageBlock(Page(28, 4));
  HLOCAL tall = PageBlock(Page(23, 0x7F));  // more rows than the block holds
  HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  CHECK(h != INVALID_HANDLE_VALUE);
  // Refusals leave nothing behind, or the existing file as it was.
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
      {"held open by another", held.c_str(), block, TIFF32_NONE},
  };
  for (const auto& r : refusals)
    Check(writePage(r.path, r.page, r.code, 0) == 0, r.what, "is refused");
  CloseHandle(h);
  for (HLOCAL b : {block, fourBit, tall}) LocalFree(b);
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
  const Bytes page = Page();
  CHECK(WriteFileBytes(Path("doc.bmp"), page));
  CHECK(WriteFileBytes(Path("text.bmp"), {'B', 'M', 'x'}));
  CHECK(WriteFileBytes(Path("four.bmp"), Page(28, 4)));
  CHECK(WriteFileBytes(Path("cut.bmp"), Bytes(page.begin(), page.end() - 100)));
  const std::string pdf = Path("refused.pdf"), doc = List({"doc.bmp"});
  const struct {
    const char* what;
    const char* pdf;
    std::string list;
    int code, result;
  } refusals[] = {
      {"not a BMP", pdf.c_str(), List({"text.bmp"}), PDFLIB_NONE, PDFLIB_CANNOT_READ_BMP},
      {"4-bit BMP", pdf.c_str(), List({"doc.bmp", "four.bmp"}), PDFLIB_PACKBITS,
       PDFLIB_CANNOT_READ_BMP},
      {"cut BMP", pdf.c_str(), List({"cut.bmp"}), PDFLIB_CCITT_G3, PDFLIB_CANNOT_READ_BMP},
      {"code 1", pdf.c_str(), doc, 1, PDFLIB_BAD_ARGUMENT},
      {"empty list", pdf.c_str(), std::string(1, '\0'), PDFLIB_NONE, PDFLIB_BAD_ARGUMENT},
      {"no file name", nullptr, doc, PDFLIB_NONE, PDFLIB_BAD_ARGUMENT},
  };
  for (const auto& r : refusals) {
    int result = bmps2Pdf(r.pdf, r.list.c_str(), r.code, 0);
    Check(result == r.result, r.what,
          "gives " + std::to_string(result) + ", not " + std::to_string(r.result));
  }
  CHECK(!FileExists(pdf));
}

}  // namespace

int main(int argc, char** argv) {
  const char* work = std::getenv("TOLVIX_FORMATS_WORK");
  if (!work || !*work) return std::printf("TOLVIX_FORMATS_WORK names no work folder\n"), 2;
  // The held file must be new: start from nothing.
  g_work = WindowsPath(work);
  RemoveTree(g_work);
  CreateDirectoryA(g_work.c_str(), nullptr);
  return RunCases(argc, argv, {{"tiff", TestTiff}, {"pdf", TestPdf}});
}
