// The writers' file and sink interfaces over memory, counting what is read.
#pragma once

#include <cstring>
#include <vector>

#include "codec/pdf.h"
#include "codec/tiff.h"

namespace testpages {

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

// Keeps what it is given up to `limit` bytes, then fails.
struct MemorySink : codec::ByteSink {
  std::vector<uint8_t> bytes;
  size_t limit = SIZE_MAX;

  bool Write(const void* data, size_t size) override {
    if (bytes.size() + size > limit) return false;
    bytes.insert(bytes.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return true;
  }
};

}  // namespace testpages
