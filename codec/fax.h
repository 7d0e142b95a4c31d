// CCITT bilevel coding as TIFF and PDF carry it: Group 3 one-dimensional
// (modified Huffman, an EOL before every row, no fill bits) and Group 4 (T.6,
// ending with EOFB). White runs are the pixels the view calls white.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/image.h"

namespace codec {

// Positions where the colour changes along a row, taking the pixel before the
// first as white; three copies of `width` follow as sentinels. `out` holds
// width + 3 entries. Returns the number of changes.
size_t FindChanges(const uint8_t* row, uint32_t width, bool whiteIs1, uint32_t* out);

// Append the coded image to `out`. The view must be Bilevel.
void EncodeG3(const ImageView& image, std::vector<uint8_t>& out);
void EncodeG4(const ImageView& image, std::vector<uint8_t>& out);

}  // namespace codec
