#include "support.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "libs/vscanner/page.h"

namespace testpages {

int32_t PelsPerMeter(int dpi) { return static_cast<int32_t>(std::lround(dpi / 0.0254)); }
uint32_t A4Width(int dpi) { return static_cast<uint32_t>(std::lround(210 / 25.4 * dpi)); }
uint32_t A4Height(int dpi) { return static_cast<uint32_t>(std::lround(297 / 25.4 * dpi)); }

Page White(uint32_t width, uint32_t height, int dpi) {
  Page p = codec::MakeImage(width, height, codec::PixelFormat::Bilevel);
  p.xPelsPerMeter = p.yPelsPerMeter = PelsPerMeter(dpi);
  return p;
}

Page Black(uint32_t width, uint32_t height, int dpi) {
  Page p = White(width, height, dpi);
  std::fill(p.bits.begin(), p.bits.end(), 0);
  return p;
}

Page Document(uint32_t width, uint32_t height, int dpi, uint32_t seed) {
  vscan::ScanParams params;
  params.dpi = dpi;
  params.seed = seed;
  params.sheetWidthMils = params.frameMils[2] = static_cast<int>(std::lround(width * 1000.0 / dpi));
  params.sheetHeightMils = params.frameMils[3] =
      static_cast<int>(std::lround(height * 1000.0 / dpi));
  Page p = vscan::ScanPage(params, 1);
  p.xPelsPerMeter = p.yPelsPerMeter = PelsPerMeter(dpi);
  return p;
}

Page Halftone(uint32_t width, uint32_t height, int dpi) {
  codec::Image grey = codec::MakeImage(width, height, codec::PixelFormat::Gray8);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const double fx = double(x) / width, fy = double(y) / height;
      const double level =
          0.5 + 0.35 * std::sin(std::hypot(fx - 0.5, fy - 0.4) * 40) * (1 - fy) + 0.15 * (fx - 0.5);
      grey.bits[y * grey.stride + x] = static_cast<uint8_t>(std::lround(255 * level));
    }
  // As the scanner library makes grey pages.
  Page p = codec::ToBilevel(grey.View(), codec::Halftone::Diffusion);
  p.xPelsPerMeter = p.yPelsPerMeter = PelsPerMeter(dpi);
  return p;
}

Page Noise(uint32_t width, uint32_t height, int dpi, double black, uint32_t seed) {
  Page p = White(width, height, dpi);
  std::mt19937 rng(seed);
  std::bernoulli_distribution coin(black);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      if (coin(rng)) SetBlack(p, x, y);
  return p;
}

Page Runs(const std::vector<uint32_t>& lengths, uint32_t width) {
  Page p = White(width, static_cast<uint32_t>(lengths.size() * 2), 200);
  for (uint32_t row = 0; row < p.height; ++row) {
    const uint32_t n = lengths[row / 2];
    for (uint32_t x = 0; x < width; ++x)
      if ((x / n + row) % 2) SetBlack(p, x, row);
  }
  return p;
}

std::vector<Sample> Samples() {
  std::vector<Sample> s;
  auto add = [&](std::string name, codec::Image p, int xdpi, int ydpi) {
    p.xPelsPerMeter = PelsPerMeter(xdpi);
    p.yPelsPerMeter = PelsPerMeter(ydpi);
    s.push_back({std::move(name), std::move(p.bits), p.View(), xdpi, ydpi});
  };
  for (int dpi : {200, 300, 400})
    add("document " + std::to_string(dpi),
        Document(A4Width(dpi), A4Height(dpi), dpi, static_cast<uint32_t>(dpi)), dpi, dpi);
  add("halftone", Halftone(A4Width(200), A4Height(200) / 2, 200), 200, 200);
  add("white", White(A4Width(300), A4Height(300), 300), 300, 300);
  add("black", Black(1001, 777, 150), 150, 150);
  add("inverted table", Document(1203, 900, 150, 4), 150, 150);
  for (auto& b : s.back().pixels) b = static_cast<uint8_t>(~b);
  s.back().view.whiteIs1 = false;
  using codec::PixelFormat;
  for (auto [name, format] :
       {std::pair{"grey", PixelFormat::Gray8}, std::pair{"palette", PixelFormat::Palette8},
        std::pair{"colour", PixelFormat::Bgr24}}) {
    codec::Image p = codec::MakeImage(203, 101, format);
    for (size_t i = 0; i < p.bits.size(); ++i)
      p.bits[i] = static_cast<uint8_t>((i / 7) * 13 + i / p.stride);
    add(name, std::move(p), 300, 150);
  }
  codec::ImageView& palette = s[s.size() - 2].view;
  palette.paletteSize = 256;
  for (int i = 0; i < 256; ++i)
    palette.palette[i] = codec::Rgb{uint8_t(i * 5), uint8_t(i), uint8_t(255 - i)};
  for (auto& x : s) x.view.top = x.pixels.data();  // after the moves
  return s;
}

}  // namespace testpages
