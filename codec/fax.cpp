#include "codec/fax.h"

#include "codec/bitwriter.h"
#include "codec/endian.h"

namespace codec {

namespace {

struct Code {
  uint16_t bits;
  uint8_t len;
};

// ITU-T T.4 tables 2 and 3: terminating codes for runs 0..63, make-up codes
// for 64..1728 in steps of 64, and the make-up codes 1792..2560 both colours share.
constexpr Code kWhiteTerm[64] = {
    {0b00110101, 8}, {0b000111, 6},   {0b0111, 4},     {0b1000, 4},     {0b1011, 4},
    {0b1100, 4},     {0b1110, 4},     {0b1111, 4},     {0b10011, 5},    {0b10100, 5},
    {0b00111, 5},    {0b01000, 5},    {0b001000, 6},   {0b000011, 6},   {0b110100, 6},
    {0b110101, 6},   {0b101010, 6},   {0b101011, 6},   {0b0100111, 7},  {0b0001100, 7},
    {0b0001000, 7},  {0b0010111, 7},  {0b0000011, 7},  {0b0000100, 7},  {0b0101000, 7},
    {0b0101011, 7},  {0b0010011, 7},  {0b0100100, 7},  {0b0011000, 7},  {0b00000010, 8},
    {0b00000011, 8}, {0b00011010, 8}, {0b00011011, 8}, {0b00010010, 8}, {0b00010011, 8},
    {0b00010100, 8}, {0b00010101, 8}, {0b00010110, 8}, {0b00010111, 8}, {0b00101000, 8},
    {0b00101001, 8}, {0b00101010, 8}, {0b00101011, 8}, {0b00101100, 8}, {0b00101101, 8},
    {0b00000100, 8}, {0b00000101, 8}, {0b00001010, 8}, {0b00001011, 8}, {0b01010010, 8},
    {0b01010011, 8}, {0b01010100, 8}, {0b01010101, 8}, {0b00100100, 8}, {0b00100101, 8},
    {0b01011000, 8}, {0b01011001, 8}, {0b01011010, 8}, {0b01011011, 8}, {0b01001010, 8},
    {0b01001011, 8}, {0b00110010, 8}, {0b00110011, 8}, {0b00110100, 8},
};

constexpr Code kWhiteMakeup[27] = {
    {0b11011, 5},     {0b10010, 5},     {0b010111, 6},    {0b0110111, 7},   {0b00110110, 8},
    {0b00110111, 8},  {0b01100100, 8},  {0b01100101, 8},  {0b01101000, 8},  {0b01100111, 8},
    {0b011001100, 9}, {0b011001101, 9}, {0b011010010, 9}, {0b011010011, 9}, {0b011010100, 9},
    {0b011010101, 9}, {0b011010110, 9}, {0b011010111, 9}, {0b011011000, 9}, {0b011011001, 9},
    {0b011011010, 9}, {0b011011011, 9}, {0b010011000, 9}, {0b010011001, 9}, {0b010011010, 9},
    {0b011000, 6},    {0b010011011, 9},
};

constexpr Code kBlackTerm[64] = {
    {0b0000110111, 10},
    {0b010, 3},
    {0b11, 2},
    {0b10, 2},
    {0b011, 3},
    {0b0011, 4},
    {0b0010, 4},
    {0b00011, 5},
    {0b000101, 6},
    {0b000100, 6},
    {0b0000100, 7},
    {0b0000101, 7},
    {0b0000111, 7},
    {0b00000100, 8},
    {0b00000111, 8},
    {0b000011000, 9},
    {0b0000010111, 10},
    {0b0000011000, 10},
    {0b0000001000, 10},
    {0b00001100111, 11},
    {0b00001101000, 11},
    {0b00001101100, 11},
    {0b00000110111, 11},
    {0b00000101000, 11},
    {0b00000010111, 11},
    {0b00000011000, 11},
    {0b000011001010, 12},
    {0b000011001011, 12},
    {0b000011001100, 12},
    {0b000011001101, 12},
    {0b000001101000, 12},
    {0b000001101001, 12},
    {0b000001101010, 12},
    {0b000001101011, 12},
    {0b000011010010, 12},
    {0b000011010011, 12},
    {0b000011010100, 12},
    {0b000011010101, 12},
    {0b000011010110, 12},
    {0b000011010111, 12},
    {0b000001101100, 12},
    {0b000001101101, 12},
    {0b000011011010, 12},
    {0b000011011011, 12},
    {0b000001010100, 12},
    {0b000001010101, 12},
    {0b000001010110, 12},
    {0b000001010111, 12},
    {0b000001100100, 12},
    {0b000001100101, 12},
    {0b000001010010, 12},
    {0b000001010011, 12},
    {0b000000100100, 12},
    {0b000000110111, 12},
    {0b000000111000, 12},
    {0b000000100111, 12},
    {0b000000101000, 12},
    {0b000001011000, 12},
    {0b000001011001, 12},
    {0b000000101011, 12},
    {0b000000101100, 12},
    {0b000001011010, 12},
    {0b000001100110, 12},
    {0b000001100111, 12},
};

constexpr Code kBlackMakeup[27] = {
    {0b0000001111, 10},    {0b000011001000, 12},  {0b000011001001, 12},  {0b000001011011, 12},
    {0b000000110011, 12},  {0b000000110100, 12},  {0b000000110101, 12},  {0b0000001101100, 13},
    {0b0000001101101, 13}, {0b0000001001010, 13}, {0b0000001001011, 13}, {0b0000001001100, 13},
    {0b0000001001101, 13}, {0b0000001110010, 13}, {0b0000001110011, 13}, {0b0000001110100, 13},
    {0b0000001110101, 13}, {0b0000001110110, 13}, {0b0000001110111, 13}, {0b0000001010010, 13},
    {0b0000001010011, 13}, {0b0000001010100, 13}, {0b0000001010101, 13}, {0b0000001011010, 13},
    {0b0000001011011, 13}, {0b0000001100100, 13}, {0b0000001100101, 13},
};

constexpr Code kExtendedMakeup[13] = {
    {0b00000001000, 11},  {0b00000001100, 11},  {0b00000001101, 11},  {0b000000010010, 12},
    {0b000000010011, 12}, {0b000000010100, 12}, {0b000000010101, 12}, {0b000000010110, 12},
    {0b000000010111, 12}, {0b000000011100, 12}, {0b000000011101, 12}, {0b000000011110, 12},
    {0b000000011111, 12},
};

constexpr Code kEol = {0b000000000001, 12};
constexpr Code kPass = {0b0001, 4};
constexpr Code kHorizontal = {0b001, 3};
// Vertical modes by a1 - b1 + 3.
constexpr Code kVertical[7] = {
    {0b0000010, 7}, {0b000010, 6}, {0b010, 3}, {0b1, 1}, {0b011, 3}, {0b000011, 6}, {0b0000011, 7},
};

void PutRun(BitWriter& out, bool black, uint32_t run) {
  const Code* term = black ? kBlackTerm : kWhiteTerm;
  const Code* makeup = black ? kBlackMakeup : kWhiteMakeup;
  while (run > 2560) {
    out.Put(kExtendedMakeup[12].bits, kExtendedMakeup[12].len);
    run -= 2560;
  }
  const Code& t = term[run & 63];
  if (run < 64) {
    out.Put(t.bits, t.len);
    return;
  }
  uint32_t m = run >> 6;
  const Code& mk = m <= 27 ? makeup[m - 1] : kExtendedMakeup[m - 28];
  out.Put(static_cast<uint32_t>(mk.bits) << t.len | t.bits, mk.len + t.len);
}

// 64 pixels starting at bit 64 * word; bytes past the row read as zero.
inline uint64_t Word(const uint8_t* row, size_t rowBytes, size_t word) {
  size_t at = word * 8;
  if (at + 8 <= rowBytes) return LoadBe64(row + at);
  uint8_t tail[8] = {};
  for (size_t i = 0; at + i < rowBytes; ++i) tail[i] = row[at + i];
  return LoadBe64(tail);
}

inline void Put(BitWriter& out, const Code& c) { out.Put(c.bits, c.len); }

}  // namespace

size_t FindChanges(const uint8_t* row, uint32_t width, bool whiteIs1, uint32_t* out) {
  const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
  const size_t words = (static_cast<size_t>(width) + 63) / 64;
  // After xor with `flip`, a set bit is a pixel of the other colour than the
  // current run's; each change inverts it, so short runs cost one count of
  // leading zeros each and no reload.
  uint64_t flip = whiteIs1 ? ~uint64_t{0} : 0;
  size_t n = 0;
  for (size_t word = 0; word < words; ++word) {
    const uint64_t bits = Word(row, rowBytes, word);
    unsigned used = 0;
    for (;;) {
      uint64_t w = (bits ^ flip) << used;
      if (w == 0) break;
      used += static_cast<unsigned>(__builtin_clzll(w));
      const uint64_t pos = word * 64 + used;
      if (pos >= width) break;
      out[n++] = static_cast<uint32_t>(pos);
      flip = ~flip;
    }
  }
  out[n] = out[n + 1] = out[n + 2] = width;
  return n;
}

void EncodeG3(const ImageView& image, std::vector<uint8_t>& out) {
  const uint32_t width = image.width;
  std::vector<uint32_t> changes(width + 3);
  BitWriter bw(out);
  for (uint32_t y = 0; y < image.height; ++y) {
    bw.Reserve(width + 64);
    size_t n = FindChanges(image.Row(y), width, image.whiteIs1, changes.data());
    Put(bw, kEol);
    uint32_t at = 0;
    for (size_t i = 0; i <= n; ++i) {
      uint32_t next = changes[i];
      PutRun(bw, i & 1, next - at);
      at = next;
    }
  }
  bw.Finish();
}

void EncodeG4(const ImageView& image, std::vector<uint8_t>& out) {
  const uint32_t width = image.width;
  std::vector<uint32_t> bufA(width + 3), bufB(width + 3);
  uint32_t* ref = bufA.data();
  uint32_t* cur = bufB.data();
  // The row above the first is white.
  ref[0] = ref[1] = ref[2] = width;
  BitWriter bw(out);
  const int32_t w = static_cast<int32_t>(width);
  for (uint32_t y = 0; y < image.height; ++y) {
    bw.Reserve(width + 64);
    FindChanges(image.Row(y), width, image.whiteIs1, cur);
    int32_t a0 = -1;
    unsigned color = 0;  // of the pixel at a0: 0 white, 1 black
    size_t i = 0;        // cur[i] is a1
    size_t k = 0;        // ref[k] is the first reference change right of a0
    while (a0 < w) {
      while (static_cast<int32_t>(ref[k]) <= a0) ++k;
      // b1 changes to the colour opposite a0's: changes to black sit at even indices.
      size_t j = k + ((k & 1) != color);
      int32_t b1 = static_cast<int32_t>(ref[j]);
      int32_t b2 = static_cast<int32_t>(ref[j + 1]);
      int32_t a1 = static_cast<int32_t>(cur[i]);
      if (b2 < a1) {
        Put(bw, kPass);
        a0 = b2;
      } else if (a1 - b1 <= 3 && b1 - a1 <= 3) {
        Put(bw, kVertical[a1 - b1 + 3]);
        a0 = a1;
        color ^= 1;
        ++i;
      } else {
        int32_t a2 = static_cast<int32_t>(cur[i + 1]);
        Put(bw, kHorizontal);
        PutRun(bw, color, static_cast<uint32_t>(a1 - (a0 < 0 ? 0 : a0)));
        PutRun(bw, !color, static_cast<uint32_t>(a2 - a1));
        a0 = a2;
        i += 2;
      }
    }
    uint32_t* t = ref;
    ref = cur;
    cur = t;
  }
  Put(bw, kEol);
  Put(bw, kEol);
  bw.Finish();
}

}  // namespace codec
