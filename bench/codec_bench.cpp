// Encoder speed against libtiff's, on the same pages in the same run. Before
// timing, each of our strips is checked to equal libtiff's byte for byte.
// Throughput is in bytes of raw 1-bit input per second.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "codec/fax.h"
#include "codec/packbits.h"
#include "codec/tiff.h"
#include "pages.h"

namespace {

// libtiff writing into memory through its client I/O hooks.
struct MemStream {
  std::vector<uint8_t> bytes;
  uint64_t pos = 0;

  static tmsize_t Read(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<MemStream*>(h);
    uint64_t avail = s->pos < s->bytes.size() ? s->bytes.size() - s->pos : 0;
    size_t take = static_cast<size_t>(std::min<uint64_t>(avail, static_cast<uint64_t>(n)));
    std::memcpy(buf, s->bytes.data() + s->pos, take);
    s->pos += take;
    return static_cast<tmsize_t>(take);
  }
  static tmsize_t Write(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<MemStream*>(h);
    if (s->pos + static_cast<uint64_t>(n) > s->bytes.size()) s->bytes.resize(s->pos + static_cast<size_t>(n));
    std::memcpy(s->bytes.data() + s->pos, buf, static_cast<size_t>(n));
    s->pos += static_cast<uint64_t>(n);
    return n;
  }
  static toff_t Seek(thandle_t h, toff_t off, int whence) {
    auto* s = static_cast<MemStream*>(h);
    if (whence == SEEK_SET) s->pos = off;
    if (whence == SEEK_CUR) s->pos += off;
    if (whence == SEEK_END) s->pos = s->bytes.size() + off;
    return s->pos;
  }
  static int Close(thandle_t) { return 0; }
  static toff_t Size(thandle_t h) { return static_cast<MemStream*>(h)->bytes.size(); }
  static int Map(thandle_t, void**, toff_t*) { return 0; }
  static void Unmap(thandle_t, void*, toff_t) {}

  TIFF* Open(const char* mode) { return TIFFClientOpen("mem", mode, this, Read, Write, Seek, Close, Size, Map, Unmap); }
};

struct Input {
  testpages::Page page;
  std::vector<uint8_t> packed;  // rows without padding, 0 = white: what libtiff takes
  codec::ImageView view;        // the same rows for our encoders
};

Input MakeInput(testpages::Page page) {
  Input in;
  in.page = std::move(page);
  const size_t rowBytes = (in.page.width + 7) / 8;
  in.packed.resize(rowBytes * in.page.height);
  for (uint32_t y = 0; y < in.page.height; ++y)
    for (size_t i = 0; i < rowBytes; ++i) in.packed[y * rowBytes + i] = static_cast<uint8_t>(~in.page.bits[y * in.page.stride + i]);
  in.view = in.page.View();
  in.view.top = in.packed.data();
  in.view.stride = static_cast<ptrdiff_t>(rowBytes);
  in.view.whiteIs1 = false;
  return in;
}

const Input& Page(const std::string& name) {
  static std::map<std::string, Input> pages;
  auto it = pages.find(name);
  if (it != pages.end()) return it->second;
  const int dpi = 400;
  const uint32_t w = testpages::A4Width(dpi), h = testpages::A4Height(dpi);
  testpages::Page p = name == "document" ? testpages::Document(w, h, dpi, 1) : testpages::Halftone(w, h, dpi);
  return pages.emplace(name, MakeInput(std::move(p))).first->second;
}

// libtiff's whole write of one page: directory set-up, encoding, flush.
std::vector<uint8_t> LibtiffStrip(const Input& in, uint16_t compression, std::vector<uint8_t>& scratch, bool readBack) {
  MemStream mem;
  TIFF* t = mem.Open("w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, in.page.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, in.page.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, in.page.height);
  // The encoder may work in the buffer it is given.
  scratch.assign(in.packed.begin(), in.packed.end());
  TIFFWriteEncodedStrip(t, 0, scratch.data(), static_cast<tmsize_t>(scratch.size()));
  TIFFClose(t);
  if (!readBack) return {};
  mem.pos = 0;
  TIFF* r = mem.Open("r");
  uint64_t* counts = nullptr;
  TIFFGetField(r, TIFFTAG_STRIPBYTECOUNTS, &counts);
  std::vector<uint8_t> strip(counts[0]);
  TIFFReadRawStrip(r, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
  TIFFClose(r);
  return strip;
}

std::vector<uint8_t> Ours(const Input& in, uint16_t compression) {
  std::vector<uint8_t> out;
  if (compression == COMPRESSION_CCITTFAX4) codec::EncodeG4(in.view, out);
  if (compression == COMPRESSION_CCITTFAX3) codec::EncodeG3(in.view, out);
  if (compression == COMPRESSION_PACKBITS) {
    const size_t rowBytes = (in.page.width + 7) / 8;
    for (uint32_t y = 0; y < in.page.height; ++y) codec::PackBits(in.view.Row(y), rowBytes, out);
  }
  return out;
}

void SetRate(benchmark::State& state, const Input& in) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.packed.size()));
}

void BM_Ours(benchmark::State& state, std::string page, uint16_t compression) {
  const Input& in = Page(page);
  std::vector<uint8_t> out;
  for (auto _ : state) {
    out.clear();
    if (compression == COMPRESSION_CCITTFAX4) codec::EncodeG4(in.view, out);
    if (compression == COMPRESSION_CCITTFAX3) codec::EncodeG3(in.view, out);
    if (compression == COMPRESSION_PACKBITS) {
      const size_t rowBytes = (in.page.width + 7) / 8;
      for (uint32_t y = 0; y < in.page.height; ++y) codec::PackBits(in.view.Row(y), rowBytes, out);
    }
    benchmark::DoNotOptimize(out.data());
  }
  SetRate(state, in);
  state.counters["bytes_out"] = static_cast<double>(out.size());
}

void BM_Libtiff(benchmark::State& state, std::string page, uint16_t compression) {
  const Input& in = Page(page);
  std::vector<uint8_t> scratch;
  for (auto _ : state) LibtiffStrip(in, compression, scratch, false);
  SetRate(state, in);
}

// Adding page n costs the same as adding page 1: time per page stays flat as the file grows.
class MemFile : public codec::TiffFile {
 public:
  std::vector<uint8_t> bytes;
  uint64_t Size() override { return bytes.size(); }
  bool ReadAt(uint64_t offset, void* data, size_t size) override {
    if (offset + size > bytes.size()) return false;
    std::memcpy(data, bytes.data() + offset, size);
    return true;
  }
  bool WriteAt(uint64_t offset, const void* data, size_t size) override {
    if (offset + size > bytes.size()) bytes.resize(offset + size);
    std::memcpy(bytes.data() + offset, data, size);
    return true;
  }
};

void BM_TiffAppendPages(benchmark::State& state) {
  testpages::Page p = testpages::Document(400, 64, 100, 2);
  for (auto _ : state) {
    MemFile f;
    f.bytes.reserve(static_cast<size_t>(state.range(0)) * 1200);
    codec::TiffTail tail;
    for (int64_t i = 0; i < state.range(0); ++i) codec::AppendTiffPage(f, p.View(), codec::TiffCompression::G4, &tail);
    benchmark::DoNotOptimize(f.bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void Register() {
  struct Kind {
    const char* name;
    uint16_t code;
  };
  for (const char* page : {"document", "halftone"}) {
    for (Kind k : {Kind{"G4", COMPRESSION_CCITTFAX4}, Kind{"G3", COMPRESSION_CCITTFAX3}, Kind{"PackBits", COMPRESSION_PACKBITS}}) {
      std::string suffix = std::string(k.name) + "/" + page + "400dpi";
      benchmark::RegisterBenchmark(("Ours/" + suffix).c_str(), BM_Ours, std::string(page), k.code)->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("Libtiff/" + suffix).c_str(), BM_Libtiff, std::string(page), k.code)->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("TiffAppendPages", BM_TiffAppendPages)->Arg(1000)->Arg(30000)->Unit(benchmark::kMillisecond);
}

// Speed counts only for the same output.
bool SameBytesAsLibtiff() {
  bool ok = true;
  std::vector<uint8_t> scratch;
  for (const char* page : {"document", "halftone"}) {
    for (uint16_t code : {COMPRESSION_CCITTFAX4, COMPRESSION_CCITTFAX3}) {
      const Input& in = Page(page);
      bool same = Ours(in, code) == LibtiffStrip(in, code, scratch, true);
      std::printf("%s %s: %s\n", page, code == COMPRESSION_CCITTFAX4 ? "G4" : "G3",
                  same ? "identical to libtiff" : "DIFFERS from libtiff");
      ok = ok && same;
    }
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  TIFFSetWarningHandler(nullptr);
  if (!SameBytesAsLibtiff()) return 1;
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
