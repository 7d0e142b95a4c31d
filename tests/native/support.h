// Running the independent readers (libtiff tools, qpdf, poppler, Ghostscript)
// on files the codec wrote, and reading their answers back.
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

ToolResult RunTool(const std::string& command);
std::string Quote(const std::filesystem::path& p);

// A fresh folder removed again at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::filesystem::path& p);

// Top-down rows without padding in the form the readers give them back:
// bilevel 1 = black (TIFF min-is-white, PBM), grey and palette indexes as
// bytes, colour as RGB; with `expandPalette` palette pixels become RGB.
std::vector<uint8_t> Expected(const codec::ImageView& image, bool expandPalette = false);

// A netpbm image (P4, P5 or P6) as rows without padding.
struct Netpbm {
  char kind = 0;
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rows;
};
bool ReadNetpbm(const std::filesystem::path& p, Netpbm* out);

// libtiff's view of one directory of a file.
struct TiffDir {
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, samples = 0, compression = 0, photometric = 0, fillOrder = 0, resUnit = 0;
  float xres = 0, yres = 0;
  uint32_t strips = 0;
  std::vector<uint8_t> rawStrip;  // strip 0 as stored
  std::vector<uint8_t> rows;      // decoded by libtiff, top-down, no padding
};
bool ReadTiff(const std::filesystem::path& p, int directory, TiffDir* out);
int TiffDirectories(const std::filesystem::path& p);

}  // namespace support
