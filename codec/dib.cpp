#include "codec/dib.h"

#include <cmath>
#include <cstring>

#include "codec/endian.h"

namespace codec {

namespace {

// Large enough for any page a scanner makes, small enough that no size
// computed from it can overflow 64 bits.
constexpr int64_t kMaxDimension = 1 << 20;

size_t PaletteEntries(const DibHeader& h) {
  if (h.bitCount > 8) return 0;
  size_t full = size_t{1} << h.bitCount;
  return (h.clrUsed != 0 && h.clrUsed < full) ? h.clrUsed : full;
}

bool IsGrayRamp(const ImageView& v) {
  if (v.paletteSize != 256) return false;
  for (int i = 0; i < 256; ++i) {
    const Rgb& c = v.palette[i];
    if (c.r != i || c.g != i || c.b != i) return false;
  }
  return true;
}

int Luma(const Rgb& c) { return 299 * c.r + 587 * c.g + 114 * c.b; }

// The BITMAPINFOHEADER and its V2 to V5 extensions, which keep its first 40 bytes.
bool KnownHeaderSize(uint32_t size, bool acceptLonger) {
  if (size == kInfoHeaderSize) return true;
  return acceptLonger && (size == 52 || size == 56 || size == 108 || size == 124);
}

// Header and colour table; `pixels` and `available` say where the rows are.
DibError Describe(const uint8_t* dib, size_t dibSize, const uint8_t* pixels, size_t available,
                  ImageView* out, bool acceptLonger) {
  if (dibSize < kInfoHeaderSize) return DibError::Truncated;
  const uint32_t headerSize = GetLe32(dib);
  if (!KnownHeaderSize(headerSize, acceptLonger)) return DibError::BadHeader;
  if (dibSize < headerSize) return DibError::Truncated;
  DibHeader h = ReadInfoHeader(dib);
  if (h.planes != 1) return DibError::BadHeader;
  if (h.compression != 0) return DibError::Unsupported;
  if (h.bitCount != 1 && h.bitCount != 8 && h.bitCount != 24) return DibError::Unsupported;
  int64_t height = h.height < 0 ? -int64_t{h.height} : h.height;
  if (h.width <= 0 || height == 0 || h.width > kMaxDimension || height > kMaxDimension)
    return DibError::BadHeader;

  size_t entries = PaletteEntries(h);
  if (dibSize - headerSize < entries * 4) return DibError::Truncated;
  ImageView v;
  v.width = static_cast<uint32_t>(h.width);
  v.height = static_cast<uint32_t>(height);
  v.xPelsPerMeter = h.xPelsPerMeter;
  v.yPelsPerMeter = h.yPelsPerMeter;
  const uint8_t* table = dib + headerSize;
  for (size_t i = 0; i < entries; ++i)
    v.palette[i] = Rgb{table[4 * i + 2], table[4 * i + 1], table[4 * i]};
  v.paletteSize = static_cast<uint16_t>(entries);

  size_t stride = DibStride(v.width, h.bitCount);
  // The last row need not carry its padding: only its pixels must be there.
  uint64_t need = uint64_t{stride} * (v.height - 1) + (uint64_t{v.width} * h.bitCount + 7) / 8;
  if (pixels == nullptr || need > available) return DibError::Truncated;

  if (h.height > 0) {
    v.top = pixels + stride * (v.height - 1);
    v.stride = -static_cast<ptrdiff_t>(stride);
  } else {
    v.top = pixels;
    v.stride = static_cast<ptrdiff_t>(stride);
  }
  if (h.bitCount == 1) {
    v.format = PixelFormat::Bilevel;
    // Which index is white is the colour table's say; equal entries keep the usual order.
    v.whiteIs1 = Luma(v.palette[1]) >= Luma(v.palette[0]);
    v.paletteSize = 0;
  } else if (h.bitCount == 8) {
    v.format = IsGrayRamp(v) ? PixelFormat::Gray8 : PixelFormat::Palette8;
    if (v.format == PixelFormat::Gray8) v.paletteSize = 0;
  } else {
    v.format = PixelFormat::Bgr24;
    v.paletteSize = 0;
  }
  *out = v;
  return DibError::None;
}

}  // namespace

DibHeader ReadInfoHeader(const uint8_t* p) {
  DibHeader h;
  h.width = static_cast<int32_t>(GetLe32(p + 4));
  h.height = static_cast<int32_t>(GetLe32(p + 8));
  h.planes = GetLe16(p + 12);
  h.bitCount = GetLe16(p + 14);
  h.compression = GetLe32(p + 16);
  h.sizeImage = GetLe32(p + 20);
  h.xPelsPerMeter = static_cast<int32_t>(GetLe32(p + 24));
  h.yPelsPerMeter = static_cast<int32_t>(GetLe32(p + 28));
  h.clrUsed = GetLe32(p + 32);
  h.clrImportant = GetLe32(p + 36);
  return h;
}

void WriteInfoHeader(const DibHeader& h, uint8_t* p) {
  PutLe32(p, kInfoHeaderSize);
  PutLe32(p + 4, static_cast<uint32_t>(h.width));
  PutLe32(p + 8, static_cast<uint32_t>(h.height));
  PutLe16(p + 12, h.planes);
  PutLe16(p + 14, h.bitCount);
  PutLe32(p + 16, h.compression);
  PutLe32(p + 20, h.sizeImage);
  PutLe32(p + 24, static_cast<uint32_t>(h.xPelsPerMeter));
  PutLe32(p + 28, static_cast<uint32_t>(h.yPelsPerMeter));
  PutLe32(p + 32, h.clrUsed);
  PutLe32(p + 36, h.clrImportant);
}

DibError ParseDib(const uint8_t* data, size_t size, ImageView* out, bool acceptLongerHeaders) {
  if (data == nullptr || size < kInfoHeaderSize) return DibError::Truncated;
  const uint32_t headerSize = GetLe32(data);
  if (!KnownHeaderSize(headerSize, acceptLongerHeaders)) return DibError::BadHeader;
  DibHeader h = ReadInfoHeader(data);
  size_t offset = headerSize + PaletteEntries(h) * 4;
  if (h.bitCount != 1 && h.bitCount != 8 && h.bitCount != 24) return DibError::Unsupported;
  if (offset > size) return DibError::Truncated;
  return Describe(data, size, data + offset, size - offset, out, acceptLongerHeaders);
}

DibError ParsePageDib(const uint8_t* data, size_t size, ImageView* out) {
  if (data == nullptr || size < kInfoHeaderSize) return DibError::Truncated;
  DibHeader h = ReadInfoHeader(data);
  // A shortened colour table would put the rows where the page rule does not.
  if (h.bitCount <= 8 && h.clrUsed != 0 && h.clrUsed < (uint32_t{1} << h.bitCount))
    return DibError::BadHeader;
  return ParseDib(data, size, out, false);
}

DibError ParseBmp(const uint8_t* data, size_t size, ImageView* out) {
  if (data == nullptr || size < kFileHeaderSize) return DibError::Truncated;
  if (data[0] != 'B' || data[1] != 'M') return DibError::NotBmp;
  uint32_t offBits = GetLe32(data + 10);
  if (offBits < kFileHeaderSize + kInfoHeaderSize) return DibError::BadHeader;
  const uint8_t* dib = data + kFileHeaderSize;
  size_t dibSize = size - kFileHeaderSize;
  if (offBits > size) return Describe(dib, dibSize, nullptr, 0, out, false);
  return Describe(dib, dibSize, data + offBits, size - offBits, out, false);
}

Resolution ResolutionFromPelsPerMeter(int32_t pelsPerMeter) {
  Resolution r;
  if (pelsPerMeter <= 0) return r;
  // One inch is 127/5000 metre.
  double dpi = pelsPerMeter * 0.0254;
  double whole = std::floor(dpi + 0.5);
  if (std::fabs(dpi - whole) < 0.01 && whole >= 1) {
    r.num = static_cast<uint32_t>(whole);
    r.den = 1;
    return r;
  }
  uint64_t num = static_cast<uint64_t>(pelsPerMeter) * 127, den = 5000;
  uint64_t a = num, b = den;
  while (b != 0) {
    uint64_t t = a % b;
    a = b;
    b = t;
  }
  r.num = static_cast<uint32_t>(num / a);
  r.den = static_cast<uint32_t>(den / a);
  return r;
}

std::vector<uint8_t> MakePackedDib(const ImageView& image) {
  uint16_t bits = image.format == PixelFormat::Bilevel ? 1
                  : image.format == PixelFormat::Bgr24 ? 24
                                                       : 8;
  size_t entries = bits == 1 ? 2 : bits == 8 ? 256 : 0;
  size_t stride = DibStride(image.width, bits);
  DibHeader h;
  h.width = static_cast<int32_t>(image.width);
  h.height = static_cast<int32_t>(image.height);
  h.bitCount = bits;
  h.sizeImage = static_cast<uint32_t>(stride * image.height);
  h.xPelsPerMeter = image.xPelsPerMeter;
  h.yPelsPerMeter = image.yPelsPerMeter;
  std::vector<uint8_t> out(kInfoHeaderSize + entries * 4 + stride * image.height, 0);
  WriteInfoHeader(h, out.data());
  uint8_t* table = out.data() + kInfoHeaderSize;
  for (size_t i = 0; i < entries; ++i) {
    Rgb c;
    if (bits == 1) {
      uint8_t v = i == 1 ? 255 : 0;
      c = Rgb{v, v, v};
    } else if (image.format == PixelFormat::Palette8) {
      c = i < image.paletteSize ? image.palette[i] : Rgb{0, 0, 0};
    } else {
      uint8_t v = static_cast<uint8_t>(i);
      c = Rgb{v, v, v};
    }
    table[4 * i] = c.b;
    table[4 * i + 1] = c.g;
    table[4 * i + 2] = c.r;
  }
  uint8_t* pixels = table + entries * 4;
  size_t rowBytes = RowBytes(image.format, image.width);
  uint8_t flip = (bits == 1 && !image.whiteIs1) ? 0xFF : 0x00;
  for (uint32_t y = 0; y < image.height; ++y) {
    uint8_t* dst = pixels + stride * (image.height - 1 - y);
    const uint8_t* src = image.Row(y);
    for (size_t i = 0; i < rowBytes; ++i) dst[i] = src[i] ^ flip;
    if (bits == 1 && (image.width & 7) != 0)
      dst[rowBytes - 1] &= static_cast<uint8_t>(0xFF00 >> (image.width & 7));
  }
  return out;
}

std::vector<uint8_t> MakeBmpFile(const ImageView& image) {
  std::vector<uint8_t> dib = MakePackedDib(image);
  std::vector<uint8_t> out(kFileHeaderSize + dib.size());
  out[0] = 'B';
  out[1] = 'M';
  PutLe32(&out[2], static_cast<uint32_t>(out.size()));
  uint32_t entries = image.format == PixelFormat::Bilevel ? 2
                     : image.format == PixelFormat::Bgr24 ? 0
                                                          : 256;
  PutLe32(&out[10], static_cast<uint32_t>(kFileHeaderSize + kInfoHeaderSize + entries * 4));
  std::memcpy(out.data() + kFileHeaderSize, dib.data(), dib.size());
  return out;
}

}  // namespace codec
