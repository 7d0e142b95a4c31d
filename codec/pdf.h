// PDF of image pages, written as a stream: each object goes out as soon as it
// is made and only its offset is kept, so one page image is in memory at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/image.h"

namespace codec {

class ByteSink {
 public:
  virtual bool Write(const void* data, size_t size) = 0;

 protected:
  ~ByteSink() = default;
};

// The values are the codes callers pass; CCITT applies to bilevel pages only,
// other pages are written uncompressed then.
enum class PdfCompression : int { None = 0, PackBits = 2, G3 = 3, G4 = 4 };

class PdfWriter {
 public:
  explicit PdfWriter(ByteSink& sink) : m_sink(sink) {}

  bool Begin();
  // One page showing the image at its resolution.
  bool AddPage(const ImageView& image, PdfCompression compression);
  // Page tree, cross-reference table and trailer.
  bool Finish();

  size_t PageCount() const { return m_pages.size(); }

 private:
  uint32_t NewObject() {
    m_offsets.push_back(0);
    return static_cast<uint32_t>(m_offsets.size() - 1);
  }
  bool StartObject(uint32_t number);
  bool Put(const std::string& text) { return Put(text.data(), text.size()); }
  bool Put(const void* data, size_t size);

  ByteSink& m_sink;
  uint64_t m_pos = 0;
  bool m_ok = true;
  std::vector<uint64_t> m_offsets;  // by object number; 0 is the free-list head
  std::vector<uint32_t> m_pages;
  // Kept from page to page so that their memory is taken once per document.
  std::vector<uint8_t> m_data;
  std::vector<uint8_t> m_samples;
};

// Locale-free number text.
std::string PdfNumber(double v);
std::string PdfNumber(uint64_t v);

}  // namespace codec
