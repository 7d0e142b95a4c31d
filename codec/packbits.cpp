#include "codec/packbits.h"

#include <cstring>

namespace codec {

namespace {

// Length of the run of bytes equal to p[0], at most `limit`.
size_t RunLength(const uint8_t* p, size_t limit) {
  const uint8_t b = p[0];
  size_t n = 1;
  uint64_t pattern = 0x0101010101010101ull * b;
  while (n + 8 <= limit) {
    uint64_t w;
    std::memcpy(&w, p + n, 8);
    if (w != pattern) break;
    n += 8;
  }
  while (n < limit && p[n] == b) ++n;
  return n;
}

}  // namespace

void PackBits(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  size_t i = 0;
  size_t literalStart = 0;
  auto flushLiteral = [&](size_t end) {
    while (literalStart < end) {
      size_t n = end - literalStart < 128 ? end - literalStart : 128;
      out.push_back(static_cast<uint8_t>(n - 1));
      out.insert(out.end(), data + literalStart, data + literalStart + n);
      literalStart += n;
    }
  };
  while (i < size) {
    size_t run = RunLength(data + i, size - i);
    bool inLiteral = literalStart < i;
    if (run >= 3 || (run == 2 && !inLiteral)) {
      flushLiteral(i);
      while (run > 0) {
        size_t n = run < 128 ? run : 128;
        if (n == 1) {
          out.push_back(0);
        } else {
          out.push_back(static_cast<uint8_t>(257 - n));
        }
        out.push_back(data[i]);
        i += n;
        run -= n;
      }
      literalStart = i;
    } else {
      i += run;
    }
  }
  flushLiteral(size);
}

bool UnpackBits(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < size) {
    uint8_t h = data[i++];
    if (h < 128) {
      size_t n = size_t{h} + 1;
      if (size - i < n) return false;
      out.insert(out.end(), data + i, data + i + n);
      i += n;
    } else if (h > 128) {
      if (i >= size) return false;
      out.insert(out.end(), size_t{257} - h, data[i++]);
    }
  }
  return true;
}

}  // namespace codec
