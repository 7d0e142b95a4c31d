// PDFLIB.dll: BMP files to one PDF. The format work is in codec/; this file
// reads the BMP files and writes the PDF through Win32.
#include "libs/pdflib/pdflib.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/dib.h"
#include "libs/common/WriteAll.h"
#include "codec/pdf.h"

namespace {

class FileSink : public codec::ByteSink {
 public:
  explicit FileSink(HANDLE h) : m_h(h) { m_buffer.reserve(kBufferSize); }

  bool Write(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    if (m_buffer.size() + size > kBufferSize) {
      if (!Flush()) return false;
      if (size >= kBufferSize) return WriteAll(p, size);
    }
    m_buffer.insert(m_buffer.end(), p, p + size);
    return true;
  }

  bool Flush() {
    bool ok = WriteAll(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return ok;
  }

 private:
  static constexpr size_t kBufferSize = 1 << 20;

  bool WriteAll(const char* p, size_t size) { return ::WriteAll(m_h, p, size); }

  HANDLE m_h;
  std::vector<char> m_buffer;
};

bool FolderExists(const char* fileName) {
  std::string dir = fileName;
  size_t slash = dir.find_last_of("\\/");
  if (slash == std::string::npos) return true;  // the current folder
  dir.resize(slash + 1);
  // "C:\" must keep its backslash; other folders are tested without it.
  if (dir.size() > 1 && !(dir.size() == 3 && dir[1] == ':')) dir.pop_back();
  if (dir.empty() || (dir.size() == 2 && dir[1] == ':')) dir += '\\';
  DWORD attributes = GetFileAttributesA(dir.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The whole BMP file into `out`, whose memory is reused from the page before.
bool ReadWholeFile(const char* name, std::vector<uint8_t>* out) {
  HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(h, &size) && size.QuadPart > 0 && size.QuadPart < (LONGLONG{1} << 31);
  if (ok) {
    try {
      out->resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  DWORD got = 0;
  ok = ok && ReadFile(h, out->data(), static_cast<DWORD>(out->size()), &got, nullptr) &&
       got == out->size();
  CloseHandle(h);
  return ok;
}

bool CompressionFromCode(int code, codec::PdfCompression* out) {
  switch (code) {
    case PDFLIB_NONE: *out = codec::PdfCompression::None; return true;
    case PDFLIB_PACKBITS: *out = codec::PdfCompression::PackBits; return true;
    case PDFLIB_CCITT_G3: *out = codec::PdfCompression::G3; return true;
    case PDFLIB_CCITT_G4: *out = codec::PdfCompression::G4; return true;
    default: return false;
  }
}

int WritePages(codec::PdfWriter& writer, FileSink& sink, const char* pageList,
               codec::PdfCompression c) {
  if (!writer.Begin()) return PDFLIB_WRITE_FAILED;
  // One page at a time, always in the same buffer: fresh megabytes for every
  // page would cost more than coding it.
  std::vector<uint8_t> bmp;
  for (const char* name = pageList; *name != '\0'; name += std::strlen(name) + 1) {
    codec::ImageView image;
    if (!ReadWholeFile(name, &bmp) ||
        codec::ParseBmp(bmp.data(), bmp.size(), &image) != codec::DibError::None)
      return PDFLIB_CANNOT_READ_BMP;
    if (!writer.AddPage(image, c)) return PDFLIB_WRITE_FAILED;
  }
  return writer.Finish() && sink.Flush() ? PDFLIB_OK : PDFLIB_WRITE_FAILED;
}

// The whole call once the PDF is open; nothing may leave the DLL as an exception.
int WriteDocument(HANDLE h, const char* pageList, codec::PdfCompression c) {
  try {
    FileSink sink(h);
    codec::PdfWriter writer(sink);
    return WritePages(writer, sink, pageList, c);
  } catch (...) {
    return PDFLIB_NO_MEMORY;
  }
}

}  // namespace

extern "C" int WINAPI Bmps2Pdf(const char* pdfName, const char* pageList, int compression,
                               int /*reserved*/) {
  codec::PdfCompression c;
  if (pdfName == nullptr || pageList == nullptr || *pageList == '\0' ||
      !CompressionFromCode(compression, &c))
    return PDFLIB_BAD_ARGUMENT;
  bool folder;
  try {
    folder = FolderExists(pdfName);
  } catch (...) {
    return PDFLIB_NO_MEMORY;
  }
  if (!folder) return PDFLIB_NO_FOLDER;
  HANDLE h = CreateFileA(pdfName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return PDFLIB_CANNOT_WRITE;
  int result = WriteDocument(h, pageList, c);
  CloseHandle(h);
  if (result != PDFLIB_OK) DeleteFileA(pdfName);
  return result;
}
