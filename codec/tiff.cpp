#include "codec/tiff.h"

#include "codec/endian.h"
#include "codec/fax.h"

namespace codec {

namespace {

enum : uint16_t { kShort = 3, kLong = 4, kRational = 5 };

enum Tag : uint16_t {
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kFillOrder = 266,
  kStripOffsets = 273,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kXResolution = 282,
  kYResolution = 283,
  kPlanarConfiguration = 284,
  kT4Options = 292,
  kT6Options = 293,
  kResolutionUnit = 296,
  kColorMap = 320,
};

class Out {
 public:
  Out(std::vector<uint8_t>& bytes, ByteOrder order) : m_bytes(bytes), m_order(order) {}
  void U16(uint16_t v) {
    uint8_t b[2];
    m_order == ByteOrder::Little ? PutLe16(b, v) : PutBe16(b, v);
    m_bytes.insert(m_bytes.end(), b, b + 2);
  }
  void U32(uint32_t v) {
    uint8_t b[4];
    m_order == ByteOrder::Little ? PutLe32(b, v) : PutBe32(b, v);
    m_bytes.insert(m_bytes.end(), b, b + 4);
  }
  void Align() {
    if (m_bytes.size() & 1) m_bytes.push_back(0);
  }

 private:
  std::vector<uint8_t>& m_bytes;
  ByteOrder m_order;
};

struct Entry {
  uint16_t tag, type;
  uint32_t count;
  uint32_t value;  // inline value, or offset in the block of external data
  bool external;
};

void AppendStrip(const ImageView& image, TiffCompression compression, std::vector<uint8_t>& out) {
  if (image.format == PixelFormat::Bilevel && compression == TiffCompression::G3)
    return EncodeG3(image, out);
  if (image.format == PixelFormat::Bilevel && compression == TiffCompression::G4)
    return EncodeG4(image, out);
  const size_t rowBytes = RowBytes(image.format, image.width);
  size_t at = out.size();
  out.resize(at + rowBytes * image.height);
  uint8_t* dst = out.data() + at;
  for (uint32_t y = 0; y < image.height; ++y, dst += rowBytes) {
    const uint8_t* src = image.Row(y);
    switch (image.format) {
      case PixelFormat::Bilevel: {
        uint8_t flip = image.whiteIs1 ? 0xFF : 0x00;
        for (size_t i = 0; i < rowBytes; ++i) dst[i] = src[i] ^ flip;
        if (image.width & 7) dst[rowBytes - 1] &= static_cast<uint8_t>(0xFF00 >> (image.width & 7));
        break;
      }
      case PixelFormat::Gray8:
      case PixelFormat::Palette8:
        for (size_t i = 0; i < rowBytes; ++i) dst[i] = src[i];
        break;
      case PixelFormat::Bgr24:
        for (size_t i = 0; i < rowBytes; i += 3) {
          dst[i] = src[i + 2];
          dst[i + 1] = src[i + 1];
          dst[i + 2] = src[i];
        }
        break;
    }
  }
}

}  // namespace

void MakeTiffHeader(ByteOrder order, uint8_t out[8]) {
  if (order == ByteOrder::Little) {
    out[0] = out[1] = 'I';
    PutLe16(out + 2, 42);
    PutLe32(out + 4, 0);
  } else {
    out[0] = out[1] = 'M';
    PutBe16(out + 2, 42);
    PutBe32(out + 4, 0);
  }
}

bool BuildTiffPage(const ImageView& image, TiffCompression compression, uint64_t at,
                   ByteOrder order, TiffPage* page) {
  if (image.format != PixelFormat::Bilevel) compression = TiffCompression::None;
  std::vector<uint8_t>& b = page->bytes;
  b.clear();
  AppendStrip(image, compression, b);
  const uint32_t stripBytes = static_cast<uint32_t>(b.size());
  Out out(b, order);
  out.Align();

  const bool rgb = image.format == PixelFormat::Bgr24;
  const uint16_t bits = image.format == PixelFormat::Bilevel ? 1 : 8;
  const uint16_t samples = rgb ? 3 : 1;
  uint16_t photometric = 0;
  switch (image.format) {
    case PixelFormat::Bilevel: photometric = 0; break;
    case PixelFormat::Gray8: photometric = 1; break;
    case PixelFormat::Palette8: photometric = 3; break;
    case PixelFormat::Bgr24: photometric = 2; break;
  }

  // External values go between the strip and the directory.
  auto place = [&](auto write) {
    out.Align();
    uint32_t offset = static_cast<uint32_t>(b.size());
    write();
    return offset;
  };
  uint32_t bitsAt = 0, colorMapAt = 0;
  if (rgb) bitsAt = place([&] { out.U16(8), out.U16(8), out.U16(8); });
  Resolution xr = ResolutionFromPelsPerMeter(image.xPelsPerMeter);
  Resolution yr = ResolutionFromPelsPerMeter(image.yPelsPerMeter);
  uint32_t xAt = place([&] { out.U32(xr.num), out.U32(xr.den); });
  uint32_t yAt = place([&] { out.U32(yr.num), out.U32(yr.den); });
  if (image.format == PixelFormat::Palette8) {
    colorMapAt = place([&] {
      for (int channel = 0; channel < 3; ++channel)
        for (int i = 0; i < 256; ++i) {
          const Rgb& c = image.palette[i];
          uint8_t v = i >= image.paletteSize ? 0 : channel == 0 ? c.r : channel == 1 ? c.g : c.b;
          out.U16(static_cast<uint16_t>(v * 257));
        }
    });
  }

  std::vector<Entry> entries = {
      {kImageWidth, kLong, 1, image.width, false},
      {kImageLength, kLong, 1, image.height, false},
      {kBitsPerSample, kShort, samples, rgb ? bitsAt : bits, rgb},
      {kCompression, kShort, 1, static_cast<uint16_t>(compression), false},
      {kPhotometric, kShort, 1, photometric, false},
      {kFillOrder, kShort, 1, 1, false},
      {kStripOffsets, kLong, 1, 0, true},  // the strip is at the start of the block
      {kSamplesPerPixel, kShort, 1, samples, false},
      {kRowsPerStrip, kLong, 1, image.height, false},
      {kStripByteCounts, kLong, 1, stripBytes, false},
      {kXResolution, kRational, 1, xAt, true},
      {kYResolution, kRational, 1, yAt, true},
      {kPlanarConfiguration, kShort, 1, 1, false},
  };
  if (compression == TiffCompression::G3) entries.push_back({kT4Options, kLong, 1, 0, false});
  if (compression == TiffCompression::G4) entries.push_back({kT6Options, kLong, 1, 0, false});
  entries.push_back({kResolutionUnit, kShort, 1, 2, false});
  if (image.format == PixelFormat::Palette8)
    entries.push_back({kColorMap, kShort, 768, colorMapAt, true});

  out.Align();
  const uint64_t ifd = at + b.size();
  const uint64_t end = ifd + 2 + 12 * entries.size() + 4;
  if (end > 0xFFFFFFFFull) return false;
  out.U16(static_cast<uint16_t>(entries.size()));
  for (const Entry& e : entries) {
    out.U16(e.tag);
    out.U16(e.type);
    out.U32(e.count);
    if (e.external) {
      out.U32(static_cast<uint32_t>(at + e.value));
    } else if (e.type == kShort) {
      out.U16(static_cast<uint16_t>(e.value));
      out.U16(0);
    } else {
      out.U32(e.value);
    }
  }
  out.U32(0);
  page->ifd = static_cast<uint32_t>(ifd);
  page->link = static_cast<uint32_t>(end - 4);
  return true;
}

bool FindTiffTail(TiffFile& file, TiffTail* tail) {
  const uint64_t size = file.Size();
  uint8_t h[8];
  if (size < 8 || !file.ReadAt(0, h, 8)) return false;
  ByteOrder order;
  if (h[0] == 'I' && h[1] == 'I' && GetLe16(h + 2) == 42) {
    order = ByteOrder::Little;
  } else if (h[0] == 'M' && h[1] == 'M' && GetBe16(h + 2) == 42) {
    order = ByteOrder::Big;
  } else {
    return false;
  }
  auto u16 = [order](const uint8_t* p) {
    return order == ByteOrder::Little ? GetLe16(p) : GetBe16(p);
  };
  auto u32 = [order](const uint8_t* p) {
    return order == ByteOrder::Little ? GetLe32(p) : GetBe32(p);
  };
  // The link after the directory at `dir`, or 0 when it is not in the file.
  auto linkAfter = [&](uint32_t dir) -> uint64_t {
    uint8_t c[2];
    if (dir + uint64_t{2} > size || !file.ReadAt(dir, c, 2)) return 0;
    uint64_t at = dir + 2 + 12 * uint64_t{u16(c)};
    return at + 4 > size ? 0 : at;
  };
  uint32_t link = 4;
  uint32_t next = u32(h + 4);
  // Every directory takes at least 6 bytes, so a longer chain must loop.
  // Directories follow the header on word boundaries.
  for (uint64_t steps = 0; next != 0; ++steps) {
    if (steps > size / 6 || next < 8 || (next & 1)) return false;
    uint64_t at = linkAfter(next);
    uint8_t c[4];
    if (at == 0 || !file.ReadAt(at, c, 4)) return false;
    link = static_cast<uint32_t>(at);
    next = u32(c);
  }
  // The last link is the one byte range a new page rewrites: it must not lie
  // in the header or in another directory, or what is there would break.
  for (uint64_t at = 4; at != link;) {
    uint8_t c[4];
    if (!file.ReadAt(at, c, 4)) return false;
    const uint32_t dir = u32(c);
    at = linkAfter(dir);
    if (at != link && dir < link + uint64_t{4} && link < at + 4) return false;
  }
  tail->order = order;
  tail->link = link;
  tail->end = size;
  return true;
}

bool AppendTiffPage(TiffFile& file, const ImageView& image, TiffCompression compression,
                    TiffTail* tail) {
  TiffPage page;
  return AppendTiffPage(file, image, compression, tail, &page);
}

bool AppendTiffPage(TiffFile& file, const ImageView& image, TiffCompression compression,
                    TiffTail* tail, TiffPage* scratch) {
  uint64_t size = file.Size();
  if (size == 0) {
    uint8_t h[8];
    MakeTiffHeader(ByteOrder::Little, h);
    if (!file.WriteAt(0, h, 8)) return false;
    *tail = TiffTail{ByteOrder::Little, 4, 8};
    size = 8;
  } else {
    uint8_t link[4] = {1};
    bool known = tail->end == size && tail->link + uint64_t{4} <= size &&
                 file.ReadAt(tail->link, link, 4) && (link[0] | link[1] | link[2] | link[3]) == 0;
    if (!known && !FindTiffTail(file, tail)) return false;
  }
  // Directories and the data they point at start on word boundaries.
  const uint64_t at = size + (size & 1);
  TiffPage& page = *scratch;
  if (!BuildTiffPage(image, compression, at, tail->order, &page)) return false;
  if (at != size) page.bytes.insert(page.bytes.begin(), 0);
  if (!file.WriteAt(size, page.bytes.data(), page.bytes.size())) return false;
  uint8_t link[4];
  tail->order == ByteOrder::Little ? PutLe32(link, page.ifd) : PutBe32(link, page.ifd);
  if (!file.WriteAt(tail->link, link, 4)) return false;
  tail->link = page.link;
  tail->end = size + page.bytes.size();
  return true;
}

}  // namespace codec
