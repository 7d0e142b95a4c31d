#include "support.h"

#include <tiffio.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace support {

ToolResult RunTool(const std::string& command) {
  ToolResult r;
  FILE* f = popen((command + " 2>&1").c_str(), "r");
  if (!f) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), f)) > 0) r.output.append(buf.data(), n);
  int status = pclose(f);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

TempDir::TempDir() {
  std::random_device rd;
  auto base = std::filesystem::temp_directory_path();
  do {
    m_path = base / ("tolvix-codec-" + std::to_string(rd()));
  } while (!std::filesystem::create_directory(m_path));
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream f(p, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

std::vector<uint8_t> Expected(const codec::ImageView& image, bool expandPalette) {
  std::vector<uint8_t> out;
  const size_t rowBytes = codec::RowBytes(image.format, image.width);
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = image.Row(y);
    switch (image.format) {
      case codec::PixelFormat::Bilevel:
        for (size_t i = 0; i < rowBytes; ++i) {
          uint8_t b = image.whiteIs1 ? static_cast<uint8_t>(~row[i]) : row[i];
          if (i + 1 == rowBytes && (image.width & 7)) b &= static_cast<uint8_t>(0xFF00 >> (image.width & 7));
          out.push_back(b);
        }
        break;
      case codec::PixelFormat::Gray8:
        out.insert(out.end(), row, row + rowBytes);
        break;
      case codec::PixelFormat::Palette8:
        for (size_t i = 0; i < rowBytes; ++i) {
          if (!expandPalette) {
            out.push_back(row[i]);
          } else {
            const codec::Rgb& c = image.palette[row[i]];
            out.insert(out.end(), {c.r, c.g, c.b});
          }
        }
        break;
      case codec::PixelFormat::Bgr24:
        for (size_t i = 0; i < rowBytes; i += 3) out.insert(out.end(), {row[i + 2], row[i + 1], row[i]});
        break;
    }
  }
  return out;
}

bool ReadNetpbm(const std::filesystem::path& p, Netpbm* out) {
  std::vector<uint8_t> data = ReadFile(p);
  size_t i = 0;
  auto token = [&]() {
    std::string t;
    while (i < data.size()) {
      char c = static_cast<char>(data[i]);
      if (c == '#') {
        while (i < data.size() && data[i] != '\n') ++i;
      } else if (isspace(static_cast<unsigned char>(c))) {
        if (!t.empty()) break;
        ++i;
      } else {
        t += c;
        ++i;
      }
    }
    return t;
  };
  std::string magic = token();
  if (magic.size() != 2 || magic[0] != 'P') return false;
  out->kind = magic[1];
  out->width = static_cast<uint32_t>(std::stoul(token()));
  out->height = static_cast<uint32_t>(std::stoul(token()));
  if (out->kind != '4') token();  // maxval
  ++i;                            // the one whitespace before the samples
  size_t rowBytes = out->kind == '4' ? (out->width + 7) / 8 : out->kind == '5' ? out->width : out->width * 3;
  if (data.size() < i + rowBytes * out->height) return false;
  out->rows.assign(data.begin() + static_cast<ptrdiff_t>(i),
                   data.begin() + static_cast<ptrdiff_t>(i + rowBytes * out->height));
  if (out->kind == '4' && (out->width & 7)) {
    for (size_t y = 0; y < out->height; ++y) out->rows[y * rowBytes + rowBytes - 1] &= static_cast<uint8_t>(0xFF00 >> (out->width & 7));
  }
  return true;
}

namespace {
void Quiet(const char*, const char*, va_list) {}
}  // namespace

bool ReadTiff(const std::filesystem::path& p, int directory, TiffDir* out) {
  TIFFSetWarningHandler(Quiet);
  // "c": strips as stored, not cut into pieces for reading.
  TIFF* t = TIFFOpen(p.c_str(), "rc");
  if (!t) return false;
  bool ok = TIFFSetDirectory(t, static_cast<tdir_t>(directory)) == 1;
  if (ok) {
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &out->width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &out->height);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &out->bits);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &out->samples);
    TIFFGetField(t, TIFFTAG_COMPRESSION, &out->compression);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &out->photometric);
    TIFFGetFieldDefaulted(t, TIFFTAG_FILLORDER, &out->fillOrder);
    TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &out->resUnit);
    TIFFGetField(t, TIFFTAG_XRESOLUTION, &out->xres);
    TIFFGetField(t, TIFFTAG_YRESOLUTION, &out->yres);
    out->strips = TIFFNumberOfStrips(t);
    uint64_t* counts = nullptr;
    if (TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) && counts) {
      out->rawStrip.resize(counts[0]);
      ok = TIFFReadRawStrip(t, 0, out->rawStrip.data(), static_cast<tmsize_t>(counts[0])) ==
           static_cast<tmsize_t>(counts[0]);
    }
    tmsize_t line = TIFFScanlineSize(t);
    std::vector<uint8_t> buf(static_cast<size_t>(line));
    out->rows.clear();
    for (uint32_t y = 0; ok && y < out->height; ++y) {
      ok = TIFFReadScanline(t, buf.data(), y, 0) == 1;
      if (out->bits == 1 && (out->width & 7)) buf[buf.size() - 1] &= static_cast<uint8_t>(0xFF00 >> (out->width & 7));
      out->rows.insert(out->rows.end(), buf.begin(), buf.end());
    }
  }
  TIFFClose(t);
  return ok;
}

int TiffDirectories(const std::filesystem::path& p) {
  TIFFSetWarningHandler(Quiet);
  TIFF* t = TIFFOpen(p.c_str(), "r");
  if (!t) return -1;
  int n = TIFFNumberOfDirectories(t);
  TIFFClose(t);
  return n;
}

}  // namespace support
