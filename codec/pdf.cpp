#include "codec/pdf.h"

#include <charconv>
#include <cmath>

#include "codec/fax.h"
#include "codec/packbits.h"

namespace codec {

namespace {

constexpr uint32_t kCatalog = 1;
constexpr uint32_t kPages = 2;

// Rows as the image dictionary describes them: bilevel 1 = white (DeviceGray),
// RGB order for colour.
void AppendSamples(const ImageView& image, std::vector<uint8_t>& out) {
  const size_t rowBytes = RowBytes(image.format, image.width);
  size_t at = out.size();
  out.resize(at + rowBytes * image.height);
  uint8_t* dst = out.data() + at;
  for (uint32_t y = 0; y < image.height; ++y, dst += rowBytes) {
    const uint8_t* src = image.Row(y);
    if (image.format == PixelFormat::Bgr24) {
      for (size_t i = 0; i < rowBytes; i += 3) {
        dst[i] = src[i + 2];
        dst[i + 1] = src[i + 1];
        dst[i + 2] = src[i];
      }
    } else {
      uint8_t flip = image.format == PixelFormat::Bilevel && !image.whiteIs1 ? 0xFF : 0x00;
      for (size_t i = 0; i < rowBytes; ++i) dst[i] = src[i] ^ flip;
    }
  }
}

std::string HexPalette(const ImageView& image) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s = "<";
  for (int i = 0; i < 256; ++i) {
    Rgb c = i < image.paletteSize ? image.palette[i] : Rgb{0, 0, 0};
    for (uint8_t v : {c.r, c.g, c.b}) {
      s += kHex[v >> 4];
      s += kHex[v & 15];
    }
  }
  return s + ">";
}

}  // namespace

std::string PdfNumber(uint64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string PdfNumber(double v) {
  // PDF has no exponent form; four decimals are far below a printer's dot.
  v = std::round(v * 10000) / 10000;
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  return std::string(buf, r.ptr);
}

bool PdfWriter::Put(const void* data, size_t size) {
  if (m_ok && size > 0) m_ok = m_sink.Write(data, size);
  m_pos += size;
  return m_ok;
}

bool PdfWriter::StartObject(uint32_t number) {
  m_offsets[number] = m_pos;
  return Put(PdfNumber(uint64_t{number}) + " 0 obj\n");
}

bool PdfWriter::Begin() {
  m_offsets.assign(3, 0);  // the free head, the catalog and the page tree
  // The binary comment line tells transfer programs the file is not text.
  static const char kHeader[] = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  Put(kHeader, sizeof kHeader - 1);
  StartObject(kCatalog);
  return Put("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
}

bool PdfWriter::AddPage(const ImageView& image, PdfCompression compression) {
  const bool bilevel = image.format == PixelFormat::Bilevel;
  if (!bilevel && compression != PdfCompression::PackBits) compression = PdfCompression::None;

  std::string dict = "<< /Type /XObject /Subtype /Image /Width " +
                     PdfNumber(uint64_t{image.width}) + " /Height " +
                     PdfNumber(uint64_t{image.height});
  switch (image.format) {
    case PixelFormat::Bilevel: dict += " /ColorSpace /DeviceGray /BitsPerComponent 1"; break;
    case PixelFormat::Gray8: dict += " /ColorSpace /DeviceGray /BitsPerComponent 8"; break;
    case PixelFormat::Bgr24: dict += " /ColorSpace /DeviceRGB /BitsPerComponent 8"; break;
    case PixelFormat::Palette8:
      dict +=
          " /ColorSpace [/Indexed /DeviceRGB 255 " + HexPalette(image) + "] /BitsPerComponent 8";
      break;
  }

  std::vector<uint8_t>& data = m_data;
  data.clear();
  const std::string columns = PdfNumber(uint64_t{image.width});
  const std::string rows = PdfNumber(uint64_t{image.height});
  switch (compression) {
    case PdfCompression::None: AppendSamples(image, data); break;
    case PdfCompression::PackBits: {
      std::vector<uint8_t>& samples = m_samples;
      samples.clear();
      AppendSamples(image, samples);
      const size_t rowBytes = RowBytes(image.format, image.width);
      data.reserve(samples.size() / 8);
      for (size_t at = 0; at < samples.size(); at += rowBytes)
        PackBits(samples.data() + at, rowBytes, data);
      data.push_back(128);  // end of data
      dict += " /Filter /RunLengthDecode";
      break;
    }
    case PdfCompression::G3:
      // Coded white is decoded as 1, which DeviceGray shows as white.
      EncodeG3(image, data);
      dict += " /Filter /CCITTFaxDecode /DecodeParms << /K 0 /Columns " + columns + " /Rows " +
              rows + " /EndOfLine true /EndOfBlock false /BlackIs1 false >>";
      break;
    case PdfCompression::G4:
      EncodeG4(image, data);
      dict += " /Filter /CCITTFaxDecode /DecodeParms << /K -1 /Columns " + columns + " /Rows " +
              rows + " /BlackIs1 false >>";
      break;
  }
  dict += " /Length " + PdfNumber(uint64_t{data.size()}) + " >>\nstream\n";

  const uint32_t imageObj = NewObject();
  StartObject(imageObj);
  Put(dict);
  Put(data.data(), data.size());
  Put("\nendstream\nendobj\n");

  // The page is the image at its resolution: 72 points per inch.
  const std::string w =
      PdfNumber(image.width * 72.0 / ResolutionFromPelsPerMeter(image.xPelsPerMeter).Dpi());
  const std::string h =
      PdfNumber(image.height * 72.0 / ResolutionFromPelsPerMeter(image.yPelsPerMeter).Dpi());
  const std::string content = "q " + w + " 0 0 " + h + " 0 0 cm /Im0 Do Q\n";
  const uint32_t contentObj = NewObject();
  StartObject(contentObj);
  Put("<< /Length " + PdfNumber(uint64_t{content.size()}) + " >>\nstream\n" + content +
      "endstream\nendobj\n");

  const uint32_t pageObj = NewObject();
  StartObject(pageObj);
  Put("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + w + " " + h +
      "] /Resources << /XObject << /Im0 " + PdfNumber(uint64_t{imageObj}) +
      " 0 R >> >> /Contents " + PdfNumber(uint64_t{contentObj}) + " 0 R >>\nendobj\n");
  m_pages.push_back(pageObj);
  return m_ok;
}

bool PdfWriter::Finish() {
  StartObject(kPages);
  Put("<< /Type /Pages /Count " + PdfNumber(uint64_t{m_pages.size()}) + " /Kids [");
  std::string kids;
  for (size_t i = 0; i < m_pages.size(); ++i) {
    kids += (i % 10 == 0) ? "\n" : " ";
    kids += PdfNumber(uint64_t{m_pages[i]}) + " 0 R";
    if (kids.size() > 4096) {
      Put(kids);
      kids.clear();
    }
  }
  Put(kids + "\n] >>\nendobj\n");

  const uint64_t xref = m_pos;
  Put("xref\n0 " + PdfNumber(uint64_t{m_offsets.size()}) + "\n");
  // Entries are exactly 20 bytes: ten-digit offset, five-digit generation, type, space and newline.
  Put("0000000000 65535 f \n");
  std::string block;
  for (size_t i = 1; i < m_offsets.size(); ++i) {
    char entry[21] = "0000000000 00000 n \n";
    uint64_t v = m_offsets[i];
    for (int d = 9; d >= 0; --d, v /= 10) entry[d] = static_cast<char>('0' + v % 10);
    block.append(entry, 20);
    if (block.size() >= 4000) {
      Put(block);
      block.clear();
    }
  }
  Put(block);
  Put("trailer\n<< /Size " + PdfNumber(uint64_t{m_offsets.size()}) +
      " /Root 1 0 R >>\nstartxref\n" + PdfNumber(xref) + "\n%%EOF\n");
  return m_ok;
}

}  // namespace codec
