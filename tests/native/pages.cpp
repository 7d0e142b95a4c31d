#include "pages.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace testpages {

namespace {

Page Blank(uint32_t width, uint32_t height, int dpi, uint8_t fill) {
  Page p;
  p.width = width;
  p.height = height;
  p.stride = ((width + 31) / 32) * 4;
  p.dpi = dpi;
  p.bits.assign(size_t{p.stride} * height, fill);
  return p;
}

void FillRect(Page& p, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h) {
  for (uint32_t y = y0; y < y0 + h && y < p.height; ++y)
    for (uint32_t x = x0; x < x0 + w && x < p.width; ++x) p.SetBlack(x, y);
}

}  // namespace

codec::ImageView Page::View() const {
  codec::ImageView v;
  v.top = bits.data();
  v.stride = stride;
  v.width = width;
  v.height = height;
  v.format = codec::PixelFormat::Bilevel;
  v.whiteIs1 = true;
  v.xPelsPerMeter = v.yPelsPerMeter = PelsPerMeter(dpi);
  return v;
}

int32_t PelsPerMeter(int dpi) { return static_cast<int32_t>(std::lround(dpi / 0.0254)); }

uint32_t A4Width(int dpi) { return static_cast<uint32_t>(std::lround(210 / 25.4 * dpi)); }
uint32_t A4Height(int dpi) { return static_cast<uint32_t>(std::lround(297 / 25.4 * dpi)); }

Page White(uint32_t width, uint32_t height, int dpi) { return Blank(width, height, dpi, 0xFF); }
Page Black(uint32_t width, uint32_t height, int dpi) { return Blank(width, height, dpi, 0x00); }

Page Document(uint32_t width, uint32_t height, int dpi, uint32_t seed) {
  Page p = White(width, height, dpi);
  std::mt19937 rng(seed);
  auto rnd = [&](uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(rng); };
  // A glyph is a random 5 x 7 cell scaled to the type size, like a coarse font.
  std::vector<uint64_t> font(64);
  for (auto& g : font) g = rng() | (uint64_t{rng()} << 32);
  // One inch, or less on pages too small for that.
  const uint32_t margin = std::min({static_cast<uint32_t>(dpi), width / 8, height / 8});
  const uint32_t unit = static_cast<uint32_t>(std::max(1, dpi / 75));  // one cell of a 10 pt glyph
  auto glyph = [&](uint32_t x, uint32_t y, uint32_t u, uint64_t shape) {
    for (uint32_t r = 0; r < 7; ++r)
      for (uint32_t c = 0; c < 5; ++c)
        if (shape >> (r * 5 + c) & 1) FillRect(p, x + c * u, y + r * u, u, u);
  };
  uint32_t y = margin;
  // Heading in large type, then a rule.
  for (uint32_t x = margin; x < width / 2; x += 7 * unit * 2) glyph(x, y, unit * 2, font[rnd(0, 63)]);
  y += 20 * unit;
  FillRect(p, margin, y, width - 2 * margin, std::max(1u, unit / 2));
  y += 6 * unit;
  const uint32_t line = 11 * unit;
  while (y + line < height - margin) {
    if (rnd(0, 9) == 0) {
      // A ruled table of three rows and four columns.
      uint32_t rows = 3, cellH = 10 * unit, cols = 4, cellW = (width - 2 * margin) / cols;
      if (y + rows * cellH >= height - margin) break;
      for (uint32_t r = 0; r <= rows; ++r) FillRect(p, margin, y + r * cellH, cols * cellW, 1 + unit / 3);
      for (uint32_t c = 0; c <= cols; ++c) FillRect(p, margin + c * cellW, y, 1 + unit / 3, rows * cellH);
      for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < cols; ++c)
          for (uint32_t k = 0; k < rnd(2, 8); ++k)
            glyph(margin + c * cellW + 2 * unit + k * 6 * unit, y + r * cellH + 2 * unit, unit, font[rnd(0, 63)]);
      y += rows * cellH + line;
      continue;
    }
    uint32_t x = margin + (rnd(0, 5) == 0 ? 4 * 6 * unit : 0);
    uint32_t end = width - margin - (rnd(0, 6) == 0 ? rnd(0, width / 2) : 0);
    while (x + 6 * unit < end) {
      uint32_t letters = rnd(1, 9);
      for (uint32_t k = 0; k < letters && x + 6 * unit < end; ++k, x += 6 * unit) glyph(x, y, unit, font[rnd(0, 63)]);
      x += 4 * unit;
    }
    y += line;
    if (rnd(0, 7) == 0) y += line;  // paragraph break
  }
  return p;
}

Page Halftone(uint32_t width, uint32_t height, int dpi) {
  Page p = White(width, height, dpi);
  std::vector<float> err(width + 2, 0), next(width + 2, 0);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      double fx = double(x) / width, fy = double(y) / height;
      double r = std::hypot(fx - 0.5, fy - 0.4);
      double grey = 0.5 + 0.35 * std::sin(r * 40) * (1 - fy) + 0.15 * (fx - 0.5);
      double v = grey + err[x + 1];
      double out = v < 0.5 ? 0.0 : 1.0;
      if (out == 0.0) p.SetBlack(x, y);
      double e = v - out;
      err[x + 2] += static_cast<float>(e * 7 / 16);
      next[x] += static_cast<float>(e * 3 / 16);
      next[x + 1] += static_cast<float>(e * 5 / 16);
      next[x + 2] += static_cast<float>(e * 1 / 16);
    }
    err.swap(next);
    std::fill(next.begin(), next.end(), 0.0f);
  }
  return p;
}

Page Noise(uint32_t width, uint32_t height, int dpi, double black, uint32_t seed) {
  Page p = White(width, height, dpi);
  std::mt19937 rng(seed);
  std::bernoulli_distribution coin(black);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      if (coin(rng)) p.SetBlack(x, y);
  return p;
}

Page Runs(const std::vector<uint32_t>& lengths, uint32_t width) {
  Page p = White(width, static_cast<uint32_t>(lengths.size() * 2), 200);
  for (size_t i = 0; i < lengths.size(); ++i) {
    uint32_t n = lengths[i];
    // Row 2i starts white, row 2i+1 starts black.
    for (int phase = 0; phase < 2; ++phase) {
      uint32_t y = static_cast<uint32_t>(2 * i + phase);
      bool black = phase == 1;
      for (uint32_t x = 0; x < width; x += n, black = !black)
        if (black) FillRect(p, x, y, n, 1);
    }
  }
  return p;
}

}  // namespace testpages
