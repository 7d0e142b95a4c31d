#include "support.h"

#include <stdlib.h>
#include <tiffio.h>

#include <cstdio>
#include <fstream>

namespace support {

std::string RunTool(const std::string& command) {
  FILE* f = popen((command + " 2>&1").c_str(), "r");
  if (!f) return "cannot start: " + command;
  std::string output;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) output.append(buf, n);
  const int status = pclose(f);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "failed: " + command + "\n" + output;
}

std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

TempDir::TempDir() {
  std::string name = (std::filesystem::temp_directory_path() / "tolvix-codec-XXXXXX").string();
  path = mkdtemp(name.data()) ? name : "";
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path.empty()) std::filesystem::remove_all(path, ec);
}

void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

namespace {
// Bits past the width of a last partial byte carry nothing.
uint8_t LastByteMask(uint32_t width) {
  return width & 7 ? static_cast<uint8_t>(0xFF00 >> (width & 7)) : 0xFF;
}
}  // namespace

std::vector<uint8_t> Expected(const codec::ImageView& image, bool expandPalette) {
  std::vector<uint8_t> out;
  const size_t rowBytes = codec::RowBytes(image.format, image.width);
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = image.Row(y);
    for (size_t i = 0; i < rowBytes; ++i) {
      const uint8_t b = row[i];
      const codec::Rgb& c = image.palette[b];
      if (image.format == codec::PixelFormat::Bilevel)
        out.push_back((image.whiteIs1 ? static_cast<uint8_t>(~b) : b) &
                      (i + 1 < rowBytes ? 0xFF : LastByteMask(image.width)));
      else if (image.format == codec::PixelFormat::Bgr24)
        out.push_back(row[i - i % 3 + 2 - i % 3]);  // BGR to RGB
      else if (image.format == codec::PixelFormat::Palette8 && expandPalette)
        out.insert(out.end(), {c.r, c.g, c.b});
      else
        out.push_back(b);
    }
  }
  return out;
}

bool ReadTiff(const std::filesystem::path& p, int directory, TiffDir* out) {
  TIFFSetWarningHandler([](const char*, const char*, va_list) {});
  TIFF* t = TIFFOpen(p.c_str(), "rc");  // c: strips as stored, not cut up for reading
  if (!t) return false;
  bool ok = TIFFSetDirectory(t, static_cast<tdir_t>(directory)) == 1;
  uint16_t bits = 0;
  if (ok) {
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &out->width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &out->height);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &out->compression);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &out->photometric);
    TIFFGetFieldDefaulted(t, TIFFTAG_FILLORDER, &out->fillOrder);
    TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &out->resUnit);
    TIFFGetField(t, TIFFTAG_XRESOLUTION, &out->xres);
    TIFFGetField(t, TIFFTAG_YRESOLUTION, &out->yres);
    out->strips = TIFFNumberOfStrips(t);
    out->directories = TIFFNumberOfDirectories(t);
    const tmsize_t size = TIFFRawStripSize(t, 0);
    out->rawStrip.resize(size > 0 ? static_cast<size_t>(size) : 0);
    ok = size > 0 && TIFFReadRawStrip(t, 0, out->rawStrip.data(), size) == size;
  }
  std::vector<uint8_t> buf(ok ? static_cast<size_t>(TIFFScanlineSize(t)) : 0);
  out->rows.clear();
  for (uint32_t y = 0; ok && y < out->height; ++y) {
    ok = TIFFReadScanline(t, buf.data(), y, 0) == 1;
    if (bits == 1 && out->photometric == 1)  // min-is-black: made 1 = black like every other file
      for (uint8_t& b : buf) b = static_cast<uint8_t>(~b);
    if (bits == 1) buf.back() &= LastByteMask(out->width);
    out->rows.insert(out->rows.end(), buf.begin(), buf.end());
  }
  TIFFClose(t);
  return ok;
}

}  // namespace support
