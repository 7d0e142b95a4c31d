// Encoder speed against libtiff's on the same pages (the codec tests check the strips are the same bytes).
// Throughput is in bytes of raw 1-bit input per second.
#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <tiffio.h>

#include <string>

#include "codec/fax.h"
#include "codec/packbits.h"
#include "support.h"

namespace {

// A page as rows without padding, 0 = white: what libtiff takes, and the same view for ours.
struct Input {
  std::vector<uint8_t> packed;
  codec::ImageView view;
};

Input MakeInput(const testpages::Page& page) {
  Input in{support::Expected(page.View()), page.View()};
  in.view.top = in.packed.data();
  in.view.stride = static_cast<ptrdiff_t>(codec::RowBytes(in.view.format, in.view.width));
  in.view.whiteIs1 = false;
  return in;
}

void BM_Ours(benchmark::State& state, const Input* in, uint16_t compression) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    out.clear();
    if (compression == COMPRESSION_CCITTFAX4) codec::EncodeG4(in->view, out);
    if (compression == COMPRESSION_CCITTFAX3) codec::EncodeG3(in->view, out);
    if (compression == COMPRESSION_PACKBITS)
      for (uint32_t y = 0; y < in->view.height; ++y)
        codec::PackBits(in->view.Row(y), static_cast<size_t>(in->view.stride), out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in->packed.size()));
  state.counters["bytes_out"] = static_cast<double>(out.size());
}

// libtiff's whole write of one page into memory: directory set-up, encoding, flush.
void BM_Libtiff(benchmark::State& state, const Input* in, uint16_t compression) {
  std::vector<uint8_t> scratch;
  for (auto _ : state) {
    TIFF* t = TIFFFdOpen(memfd_create("libtiff", 0), "memory", "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, in->view.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, in->view.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, in->view.height);
    scratch = in->packed;  // the encoder may work in the buffer it is given
    TIFFWriteEncodedStrip(t, 0, scratch.data(), static_cast<tmsize_t>(scratch.size()));
    TIFFClose(t);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in->packed.size()));
}

// Adding page n costs the same as adding page 1: time per page stays flat as the file grows.
void BM_TiffAppendPages(benchmark::State& state) {
  testpages::Page p = testpages::Document(400, 64, 100, 2);
  for (auto _ : state) {
    testpages::MemoryFile f;
    f.bytes.reserve(static_cast<size_t>(state.range(0)) * 1200);
    codec::TiffTail tail;
    for (int64_t i = 0; i < state.range(0); ++i)
      codec::AppendTiffPage(f, p.View(), codec::TiffCompression::G4, &tail);
    benchmark::DoNotOptimize(f.bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

int main(int argc, char** argv) {
  TIFFSetWarningHandler(nullptr);
  const std::pair<const char*, uint16_t> kinds[] = {{"G4", COMPRESSION_CCITTFAX4},
                                                    {"G3", COMPRESSION_CCITTFAX3},
                                                    {"PackBits", COMPRESSION_PACKBITS}};
  const uint32_t w = testpages::A4Width(400), h = testpages::A4Height(400);
  const Input document = MakeInput(testpages::Document(w, h, 400, 1));
  const Input halftone = MakeInput(testpages::Halftone(w, h, 400));
  for (auto [page, in] : {std::pair{"document", &document}, std::pair{"halftone", &halftone}})
    for (auto [name, code] : kinds)
      for (auto [who, run] : {std::pair{"Ours/", BM_Ours}, std::pair{"Libtiff/", BM_Libtiff}})
        benchmark::RegisterBenchmark((who + std::string(name) + "/" + page + "400dpi").c_str(), run,
                                     in, code)
            ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("TiffAppendPages", BM_TiffAppendPages)
      ->Arg(1000)
      ->Arg(30000)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
