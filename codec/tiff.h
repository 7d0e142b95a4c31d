// Multi-page TIFF written one page at a time. Each page is one strip followed
// by its directory; adding a page appends those bytes and patches the previous
// directory's link, so the cost of a page does not depend on the pages before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/image.h"

namespace codec {

enum class TiffCompression : uint16_t { None = 1, G3 = 3, G4 = 4 };
enum class ByteOrder : uint8_t { Little, Big };

// Bilevel pages are written min-is-white with white coded as 0, whatever bit
// the source called white. Pages of other formats are always uncompressed.
struct TiffPage {
  std::vector<uint8_t> bytes;  // to be written at the offset given to BuildTiffPage
  uint32_t ifd = 0;            // file offset of the page's directory
  uint32_t link = 0;           // file offset of that directory's next-directory field
};

// `at` is the (even) file offset the bytes will be written at. False when the
// page would not fit below 4 GiB.
bool BuildTiffPage(const ImageView& image, TiffCompression compression, uint64_t at,
                   ByteOrder order, TiffPage* out);

// The 8-byte header of an empty file whose first-directory offset is still 0.
void MakeTiffHeader(ByteOrder order, uint8_t out[8]);

// What an appender must know about a file to add the next page: the byte order
// and where the last directory's link is. `end` is the file size it was taken at.
struct TiffTail {
  ByteOrder order = ByteOrder::Little;
  uint32_t link = 4;
  uint64_t end = 0;
};

class TiffFile {
 public:
  virtual uint64_t Size() = 0;
  virtual bool ReadAt(uint64_t offset, void* data, size_t size) = 0;
  virtual bool WriteAt(uint64_t offset, const void* data, size_t size) = 0;

 protected:
  ~TiffFile() = default;
};

// Follows the directory chain of an existing file to its last link. False for
// a file that is not a classic TIFF or whose chain leaves the file or loops.
bool FindTiffTail(TiffFile& file, TiffTail* tail);

// Adds a page to `file`, creating the header when the file is empty. `tail`
// carries the file's tail from the previous call; it is trusted only while the
// file size is the one it was taken at and its link is still 0, and else found
// again by walking the chain. On success `tail` describes the grown file.
bool AppendTiffPage(TiffFile& file, const ImageView& image, TiffCompression compression,
                    TiffTail* tail);

// The same, building the page in `scratch`: a caller that keeps it between
// pages reuses its buffer instead of taking fresh memory for every page.
bool AppendTiffPage(TiffFile& file, const ImageView& image, TiffCompression compression,
                    TiffTail* tail, TiffPage* scratch);

}  // namespace codec
