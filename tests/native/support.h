// Running the independent readers (libtiff and its tools, qpdf, poppler,
// Ghostscript) on files the codec wrote, and reading their answers back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/image.h"

namespace support {

struct ToolResult {
  int status = -1;
  std::string output;  // stdout and stderr together
};
// `command` is a shell line; paths in it go through Quote.
ToolResult RunTool(const std::string& command);
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
std::vector<uint8_t> ReadFile(const std::filesystem::path& p);

// Top-down rows without padding as the readers give them back: bilevel
// 1 = black (TIFF min-is-white, PBM), grey and palette indexes as bytes,
// colour as RGB; `rgb` turns palette and grey pixels into RGB too.
std::vector<uint8_t> Expected(const codec::ImageView& image, bool rgb = false);

// A netpbm image (P4, P5 or P6): its size and rows without padding.
struct Netpbm {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rows;
};
bool ReadNetpbm(const std::filesystem::path& p, Netpbm* out);

// libtiff's view of one directory of a file.
struct TiffDir {
  uint32_t width = 0, height = 0, strips = 0;
  uint16_t compression = 0, photometric = 0, fillOrder = 0, resUnit = 0;
  float xres = 0, yres = 0;
  std::vector<uint8_t> rawStrip;  // strip 0 as stored
  std::vector<uint8_t> rows;      // decoded by libtiff, top-down, no padding
};
bool ReadTiff(const std::filesystem::path& p, int directory, TiffDir* out);
int TiffDirectories(const std::filesystem::path& p);

}  // namespace support
