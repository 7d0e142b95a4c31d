// Shared by the codec tests, fuzzers and benchmarks: scanner-like pages, the writers' file and sink in
// memory, and the independent readers of what the codec wrote.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/pdf.h"
#include "codec/tiff.h"
#include "codec/transform.h"

namespace testpages {  // pages.cpp: portable, for the benchmarks under Wine too

using Page = codec::Image;  // bilevel, bit 1 = white
inline void SetBlack(Page& p, uint32_t x, uint32_t y) {
  p.bits[y * p.stride + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
}

int32_t PelsPerMeter(int dpi);
uint32_t A4Width(int dpi);
uint32_t A4Height(int dpi);

Page White(uint32_t width, uint32_t height, int dpi);
Page Black(uint32_t width, uint32_t height, int dpi);
Page Document(uint32_t width, uint32_t height, int dpi, uint32_t seed);  // the virtual scanner's
// Grey rings diffused: a change at almost every pixel.
Page Halftone(uint32_t width, uint32_t height, int dpi);
Page Noise(uint32_t width, uint32_t height, int dpi, double black,
           uint32_t seed);  // `black`: its chance
// For each length n, a row of alternating runs of n starting white, then one starting black.
Page Runs(const std::vector<uint32_t>& lengths, uint32_t width);

// One image of every kind the writers take: A4 documents, a halftone, white, black, a page whose colour
// table says 0 is white, then grey, palette and colour pixels at 300 by 150 dpi.
struct Sample {
  std::string name;
  std::vector<uint8_t> pixels;  // what `view` shows
  codec::ImageView view;
  int xdpi, ydpi;
};
std::vector<Sample> Samples();

struct MemoryFile : codec::TiffFile {
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

struct MemorySink : codec::ByteSink {
  std::vector<uint8_t> bytes;

  bool Write(const void* data, size_t size) override {
    bytes.insert(bytes.end(), static_cast<const uint8_t*>(data),
                 static_cast<const uint8_t*>(data) + size);
    return true;
  }
};

}  // namespace testpages

namespace support {  // support.cpp: the readers

// A shell line, paths in it through Quote: empty when it succeeds, else what it said.
std::string RunTool(const std::string& command);
std::string Quote(const std::filesystem::path& p);

// A fresh folder, removed again at the end of the test.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return path / name; }
  std::filesystem::path path;
};

void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes);

// Top-down rows without padding as the readers give them back: bilevel 1 = black, grey and palette
// indexes as bytes (`expandPalette`: palette as RGB), colour as RGB.
std::vector<uint8_t> Expected(const codec::ImageView& image, bool expandPalette = false);

// libtiff's view of one directory of a file.
struct TiffDir {
  int directories = 0;  // in the whole file
  uint32_t width = 0, height = 0, strips = 0;
  uint16_t compression = 0, photometric = 0, fillOrder = 0, resUnit = 0;
  float xres = 0, yres = 0;
  std::vector<uint8_t> rawStrip;  // strip 0 as stored
  std::vector<uint8_t> rows;      // decoded by libtiff, top-down, no padding; bilevel 1 = black
};
bool ReadTiff(const std::filesystem::path& p, int directory, TiffDir* out);

}  // namespace support
