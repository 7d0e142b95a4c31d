// Works TIFF32.dll and PDFLIB.dll as the program does: loads them from the
// program folder, calls ordinal 50 and Bmps2Pdf on real BMP files and checks
// every result code. The files written are checked afterwards by
// check_outputs.sh with libtiff's tools, qpdf, poppler and ImageMagick; it
// reads the list of expectations this program writes to expect.txt.
// Usage: test_formats WORK_FOLDER   (a Windows path; its files are deleted first)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codec/dib.h"
#include "libs/pdflib/pdflib.h"
#include "libs/tiff32/tiff32.h"
#include "tests/native/pages.h"

namespace {

int g_failures = 0;
std::string g_work;
FILE* g_expect = nullptr;

#define CHECK(cond)                                                   \
  do {                                                                \
    if (!(cond)) {                                                    \
      std::printf("FAILED line %d: %s\n", __LINE__, #cond);           \
      ++g_failures;                                                   \
    }                                                                 \
  } while (0)

std::string Path(const std::string& name) { return g_work + "\\" + name; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
  CloseHandle(h);
  return ok;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> out;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  DWORD size = GetFileSize(h, nullptr), got = 0;
  out.resize(size);
  if (!ReadFile(h, out.data(), size, &got, nullptr) || got != size) out.clear();
  CloseHandle(h);
  return out;
}

// A page as the export engine hands it over: the page file without its file
// header, in zero-filled local memory.
HLOCAL PageBlock(const std::vector<uint8_t>& bmp, UINT flags = LMEM_ZEROINIT) {
  HLOCAL h = LocalAlloc(flags, bmp.size() - 14);
  void* p = LocalLock(h);
  std::memcpy(p, bmp.data() + 14, bmp.size() - 14);
  LocalUnlock(h);
  return h;
}

struct Page {
  std::string name;
  std::vector<uint8_t> bmp;
};

std::vector<uint8_t> EightBit(bool gray, uint32_t w, uint32_t h) {
  std::vector<uint8_t> px(size_t{w} * h);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 3 + i / w);
  codec::ImageView v;
  v.top = px.data();
  v.stride = w;
  v.width = w;
  v.height = h;
  v.format = gray ? codec::PixelFormat::Gray8 : codec::PixelFormat::Palette8;
  v.xPelsPerMeter = v.yPelsPerMeter = testpages::PelsPerMeter(100);
  v.paletteSize = 256;
  for (int i = 0; i < 256; ++i) v.palette[i] = codec::Rgb{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
  return codec::MakeBmpFile(v);
}

std::vector<uint8_t> Rgb(uint32_t w, uint32_t h) {
  std::vector<uint8_t> px(size_t{w} * h * 3);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 5 + i / (3 * w));
  codec::ImageView v;
  v.top = px.data();
  v.stride = static_cast<ptrdiff_t>(w * 3);
  v.width = w;
  v.height = h;
  v.format = codec::PixelFormat::Bgr24;
  v.xPelsPerMeter = v.yPelsPerMeter = testpages::PelsPerMeter(100);
  return codec::MakeBmpFile(v);
}

std::vector<Page> MakePages() {
  std::vector<Page> pages;
  auto add = [&](const std::string& name, std::vector<uint8_t> bmp) {
    CHECK(WriteBytes(Path(name), bmp));
    pages.push_back({name, std::move(bmp)});
  };
  add("doc1.bmp", codec::MakeBmpFile(testpages::Document(testpages::A4Width(200), testpages::A4Height(200), 200, 1).View()));
  add("doc2.bmp", codec::MakeBmpFile(testpages::Document(testpages::A4Width(300), testpages::A4Height(300), 300, 2).View()));
  add("halftone.bmp", codec::MakeBmpFile(testpages::Halftone(801, 601, 200).View()));
  add("white.bmp", codec::MakeBmpFile(testpages::White(1001, 300, 200).View()));
  add("black.bmp", codec::MakeBmpFile(testpages::Black(333, 222, 200).View()));
  // White first in the colour table: the same document must come out the same.
  std::vector<uint8_t> inverted = codec::MakeBmpFile(testpages::Document(900, 600, 100, 7).View());
  for (size_t i = 62; i < inverted.size(); ++i) inverted[i] = static_cast<uint8_t>(~inverted[i]);
  std::swap_ranges(&inverted[54], &inverted[58], &inverted[58]);
  add("inverted.bmp", inverted);
  add("gray.bmp", EightBit(true, 203, 101));
  add("palette.bmp", EightBit(false, 203, 101));
  add("rgb.bmp", Rgb(203, 101));
  return pages;
}

void EmptyFolder() {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(Path("*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(Path(found.cFileName).c_str());
  } while (FindNextFileA(h, &found));
  FindClose(h);
}

void Expect(const std::string& line) { std::fprintf(g_expect, "%s\n", line.c_str()); }

void TestTiff(HMODULE lib, const std::vector<Page>& pages) {
  auto writePage = reinterpret_cast<PFN_TIFF32_WRITEPAGE>(
      reinterpret_cast<void*>(GetProcAddress(lib, MAKEINTRESOURCEA(TIFF32_ORDINAL_WRITEPAGE))));
  CHECK(writePage != nullptr);
  if (!writePage) return;
  CHECK(GetProcAddress(lib, "Tiff32WritePage") == nullptr);

  // One file per page and code; then all pages into one file, in order.
  const int codes[] = {TIFF32_NONE, TIFF32_CCITT_G3, TIFF32_CCITT_G4};
  const std::string multi = Path("multi.tif");
  int index = 0;
  for (const Page& p : pages) {
    for (int code : codes) {
      std::string name = p.name.substr(0, p.name.size() - 4) + "-" + std::to_string(code) + ".tif";
      HLOCAL block = PageBlock(p.bmp, code == TIFF32_CCITT_G3 ? LHND : LMEM_ZEROINIT);
      CHECK(writePage(Path(name).c_str(), block, code, 0) != 0);
      LocalFree(block);
      Expect("tiff " + name + " 0 " + p.name + " " + std::to_string(code));
    }
    int code = codes[index % 3];
    HLOCAL block = PageBlock(p.bmp);
    CHECK(writePage(multi.c_str(), block, code, 0) != 0);
    LocalFree(block);
    Expect("tiff multi.tif " + std::to_string(index) + " " + p.name + " " + std::to_string(code));
    ++index;
  }
  Expect("pages multi.tif " + std::to_string(index));

  // A long multi-page export: each page is added without rereading the file.
  const std::string many = Path("many.tif");
  std::vector<uint8_t> small = codec::MakeBmpFile(testpages::Noise(120, 40, 100, 0.2, 3).View());
  HLOCAL block = PageBlock(small);
  bool all = true;
  for (int i = 0; i < 3000; ++i) all = writePage(many.c_str(), block, TIFF32_CCITT_G4, 0) != 0 && all;
  CHECK(all);
  CHECK(WriteBytes(Path("small.bmp"), small));
  Expect("pages many.tif 3000");
  Expect("tiff many.tif 2999 small.bmp 208");

  // Refusals leave nothing behind, or the existing file as it was.
  const std::string refused = Path("refused.tif");
  CHECK(writePage(refused.c_str(), block, 207, 0) == 0);
  CHECK(writePage(refused.c_str(), block, 0, 0) == 0);
  CHECK(!Exists(refused));
  CHECK(writePage(nullptr, block, TIFF32_NONE, 0) == 0);
  CHECK(writePage(refused.c_str(), nullptr, TIFF32_NONE, 0) == 0);
  CHECK(writePage(Path("no such folder\\x.tif").c_str(), block, TIFF32_NONE, 0) == 0);
  LocalFree(block);

  std::vector<uint8_t> fourBit = pages[0].bmp;
  fourBit[28] = 4;
  HLOCAL bad = PageBlock(fourBit);
  CHECK(writePage(refused.c_str(), bad, TIFF32_NONE, 0) == 0);
  LocalFree(bad);
  // A header promising more rows than the block holds.
  std::vector<uint8_t> tall = pages[0].bmp;
  tall[22 + 1] = 0x7F;
  bad = PageBlock(tall);
  CHECK(writePage(refused.c_str(), bad, TIFF32_CCITT_G4, 0) == 0);
  LocalFree(bad);
  CHECK(!Exists(refused));

  const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'};
  CHECK(WriteBytes(Path("text.tif"), text));
  block = PageBlock(pages[3].bmp);
  CHECK(writePage(Path("text.tif").c_str(), block, TIFF32_NONE, 0) == 0);
  CHECK(ReadBytes(Path("text.tif")) == text);

  // A file held open by someone else cannot be extended.
  HANDLE held = CreateFileA(multi.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  CHECK(held != INVALID_HANDLE_VALUE);
  CHECK(writePage(multi.c_str(), block, TIFF32_NONE, 0) == 0);
  CloseHandle(held);
  LocalFree(block);
}

std::string List(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& n : names) list += Path(n) + '\0';
  return list + '\0';
}

void TestPdf(HMODULE lib, const std::vector<Page>& pages) {
  auto bmps2Pdf = reinterpret_cast<PFN_BMPS2PDF>(reinterpret_cast<void*>(GetProcAddress(lib, "Bmps2Pdf")));
  CHECK(bmps2Pdf != nullptr);
  if (!bmps2Pdf) return;

  std::vector<std::string> names;
  for (const Page& p : pages) names.push_back(p.name);
  const std::string list = List(names);
  for (int code : {PDFLIB_NONE, PDFLIB_PACKBITS, PDFLIB_CCITT_G3, PDFLIB_CCITT_G4}) {
    std::string name = "out-" + std::to_string(code) + ".pdf";
    CHECK(bmps2Pdf(Path(name).c_str(), list.c_str(), code, 0) == PDFLIB_OK);
    for (size_t i = 0; i < pages.size(); ++i) Expect("pdf " + name + " " + std::to_string(i) + " " + pages[i].name + " " + std::to_string(code));
  }

  // 9: the PDF is held open without sharing.
  const std::string held = Path("held.pdf");
  HANDLE h = CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CHECK(h != INVALID_HANDLE_VALUE);
  CHECK(bmps2Pdf(held.c_str(), list.c_str(), PDFLIB_CCITT_G4, 0) == PDFLIB_CANNOT_WRITE);
  CloseHandle(h);
  CHECK(Exists(held));

  // 11: a listed file is missing, or not a BMP, or a BMP of a depth not written.
  const std::string partial = Path("partial.pdf");
  CHECK(bmps2Pdf(partial.c_str(), List({"doc1.bmp", "missing.bmp"}).c_str(), PDFLIB_NONE, 0) == PDFLIB_CANNOT_READ_BMP);
  CHECK(!Exists(partial));
  CHECK(WriteBytes(Path("text.bmp"), {'B', 'M', 'x'}));
  CHECK(bmps2Pdf(partial.c_str(), List({"text.bmp"}).c_str(), PDFLIB_NONE, 0) == PDFLIB_CANNOT_READ_BMP);
  std::vector<uint8_t> fourBit = pages[4].bmp;
  fourBit[28] = 4;
  CHECK(WriteBytes(Path("four.bmp"), fourBit));
  CHECK(bmps2Pdf(partial.c_str(), List({"white.bmp", "four.bmp"}).c_str(), PDFLIB_PACKBITS, 0) == PDFLIB_CANNOT_READ_BMP);
  std::vector<uint8_t> cut(pages[4].bmp.begin(), pages[4].bmp.end() - 100);
  CHECK(WriteBytes(Path("cut.bmp"), cut));
  CHECK(bmps2Pdf(partial.c_str(), List({"cut.bmp"}).c_str(), PDFLIB_CCITT_G3, 0) == PDFLIB_CANNOT_READ_BMP);
  CHECK(!Exists(partial));

  // 15: the folder does not exist.
  CHECK(bmps2Pdf(Path("no such folder\\x.pdf").c_str(), list.c_str(), PDFLIB_NONE, 0) == PDFLIB_NO_FOLDER);
  CHECK(bmps2Pdf(Path("no such folder\\deeper\\x.pdf").c_str(), list.c_str(), PDFLIB_NONE, 0) == PDFLIB_NO_FOLDER);

  CHECK(bmps2Pdf(partial.c_str(), list.c_str(), 1, 0) == PDFLIB_BAD_ARGUMENT);
  CHECK(bmps2Pdf(partial.c_str(), "\0", PDFLIB_NONE, 0) == PDFLIB_BAD_ARGUMENT);
  CHECK(bmps2Pdf(nullptr, list.c_str(), PDFLIB_NONE, 0) == PDFLIB_BAD_ARGUMENT);
  CHECK(!Exists(partial));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: test_formats WORK_FOLDER\n");
    return 2;
  }
  g_work = argv[1];
  CreateDirectoryA(g_work.c_str(), nullptr);
  // Pages are added to existing TIFF files: start from nothing.
  EmptyFolder();
  g_expect = std::fopen(Path("expect.txt").c_str(), "w");
  if (!g_expect) {
    std::printf("cannot write %s\n", Path("expect.txt").c_str());
    return 2;
  }
  // Loaded from the program's own folder, where the build puts them.
  HMODULE tiff = LoadLibraryA("TIFF32.dll");
  HMODULE pdf = LoadLibraryA("PDFLIB.dll");
  CHECK(tiff != nullptr);
  CHECK(pdf != nullptr);
  std::vector<Page> pages = MakePages();
  if (tiff) TestTiff(tiff, pages);
  if (pdf) TestPdf(pdf, pages);
  std::fclose(g_expect);
  std::printf("%d failure(s)\n", g_failures);
  return g_failures == 0 ? 0 : 1;
}
