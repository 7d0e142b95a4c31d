// Synthetic document pages for the virtual scanner: 1-bit, bottom-up DIB rows.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace vscan {

// Paper sizes the scanner offers, in thousandths of an inch, portrait.
struct PaperSize {
    uint16_t code;  // TWSS_ value
    int widthMils;
    int heightMils;
};

const PaperSize* FindPaper(uint16_t code);
const PaperSize* Papers(size_t* count);

inline int RowBytes(int width)
{
    return ((width + 31) / 32) * 4;
}

// Pixel size of one scanned page; landscape swaps the sides, divisor shrinks
// both (test pages), never below one pixel.
void PageSize(const PaperSize& paper, int dpi, bool landscape, int divisor, int* width, int* height);

// Draws page number `page` (1-based) of a batch into `bits` (bottom-up rows of
// RowBytes(width) bytes, bit 1 = white paper, 0 = ink). The content depends on
// the page number and the seed, so every page of a batch differs.
void RenderPage(uint8_t* bits, int width, int height, int dpi, int page, uint32_t seed);

}  // namespace vscan
