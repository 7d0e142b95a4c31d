// MSB-first bit output into a growing byte vector, 64 bits buffered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace codec {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : m_out(out), m_pos(out.size()) {}

  // Makes room for `bytes` more output so that Put need not check.
  void Reserve(size_t bytes) {
    if (m_out.size() - m_pos < bytes + 8) m_out.resize(m_pos + bytes + 8 + m_out.size() / 2);
  }

  // len <= 32.
  void Put(uint32_t code, unsigned len) {
    m_acc = (m_acc << len) | code;
    m_bits += len;
    if (m_bits >= 32) {
      m_bits -= 32;
      uint32_t w = static_cast<uint32_t>(m_acc >> m_bits);
      uint8_t* p = m_out.data() + m_pos;
      p[0] = static_cast<uint8_t>(w >> 24);
      p[1] = static_cast<uint8_t>(w >> 16);
      p[2] = static_cast<uint8_t>(w >> 8);
      p[3] = static_cast<uint8_t>(w);
      m_pos += 4;
    }
  }

  // Pads the last byte with zero bits and trims the vector to what was written.
  void Finish() {
    Reserve(0);
    uint8_t* p = m_out.data() + m_pos;
    while (m_bits >= 8) {
      m_bits -= 8;
      *p++ = static_cast<uint8_t>(m_acc >> m_bits);
      ++m_pos;
    }
    if (m_bits > 0) {
      *p = static_cast<uint8_t>(m_acc << (8 - m_bits));
      ++m_pos;
      m_bits = 0;
    }
    m_out.resize(m_pos);
  }

 private:
  std::vector<uint8_t>& m_out;
  size_t m_pos;
  uint64_t m_acc = 0;
  unsigned m_bits = 0;
};

}  // namespace codec
