// Synthetic document pages for the virtual scanner. A grey document lies on the
// scan area; a scan cuts the frame out of it and turns it into what the
// capabilities ask for (black and white by threshold or error diffusion, grey).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "codec/transform.h"

namespace vscan {

// Paper sizes the scanner offers, in thousandths of an inch, portrait.
struct PaperSize {
    uint16_t code; // TWSS_ value
    int widthMils;
    int heightMils;
};

const PaperSize* FindPaper(uint16_t code);
const PaperSize* Papers(size_t* count);

inline int RowBytes(int width) { return ((width + 31) / 32) * 4; }

// Everything a delivered page depends on.
struct ScanParams {
    int dpi = 200;
    int divisor = 1; // page sides are divided by this (small test pages)
    uint32_t seed = 0;
    int sheetWidthMils = 8268; // the sheet in the feeder, at the top left of the scan area
    int sheetHeightMils = 11693;
    int frameMils[4] = {0, 0, 8268, 11693}; // left, top, right, bottom on the scan area
    int depth = 1;                          // 1 (black and white) or 8 (grey); 24-bit pages are the grey page in colour
    bool diffusion = false;                 // 1 bit: error diffusion instead of the threshold
    int threshold = 128;
    bool textEmphasis = false; // 1 bit: text and text-like strokes solid black
    bool trim = false;         // cropped to the content
    bool landscape = false;    // turned a quarter to the left
};

// Page `page` (1-based) of a batch as the scanner delivers it: top-down rows,
// Bilevel (1 = white) at depth 1, else Gray8. Every page of a batch differs;
// the same parameters and page give the same pixels.
codec::Image ScanPage(const ScanParams& params, int page);

} // namespace vscan
