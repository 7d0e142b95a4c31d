// Synthetic pages shaped like what a document scanner delivers: 1-bit rows,
// top-down, bit 1 = white, at a stated resolution.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/image.h"

namespace testpages {

struct Page {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t stride = 0;  // bytes per row in `bits`
  int dpi = 0;
  std::vector<uint8_t> bits;

  codec::ImageView View() const;
  bool Black(uint32_t x, uint32_t y) const { return !(bits[y * stride + x / 8] & (0x80 >> (x & 7))); }
  void SetBlack(uint32_t x, uint32_t y) { bits[y * stride + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x & 7))); }
};

int32_t PelsPerMeter(int dpi);
uint32_t A4Width(int dpi);
uint32_t A4Height(int dpi);

Page White(uint32_t width, uint32_t height, int dpi);
Page Black(uint32_t width, uint32_t height, int dpi);
// Text in paragraphs of blocky glyphs, a heading, rules and ruled tables.
Page Document(uint32_t width, uint32_t height, int dpi, uint32_t seed);
// Error-diffused grey gradients and rings: a transition at almost every pixel.
Page Halftone(uint32_t width, uint32_t height, int dpi);
// Random pixels with the given chance of black.
Page Noise(uint32_t width, uint32_t height, int dpi, double black, uint32_t seed);
// For each length n, a row of alternating runs of n starting white, then one starting black.
Page Runs(const std::vector<uint32_t>& lengths, uint32_t width);

// One image of every kind the writers take: A4 documents, a halftone, white and
// black pages, a page whose colour table says 0 is white, then grey, palette and
// colour pixels at different horizontal and vertical resolutions.
struct Sample {
  std::string name;
  std::vector<uint8_t> pixels;  // what `view` shows
  codec::ImageView view;
};
std::vector<Sample> Samples();

}  // namespace testpages
