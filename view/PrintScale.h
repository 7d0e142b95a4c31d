// The printed size of a page: as large as the printable area allows with the
// page's proportions kept, compared in floating point and truncated.
#pragma once

struct PrintSize {
    int width;
    int height;
};

inline PrintSize ScaleToPrintable(int nAreaWidth, int nAreaHeight, int nPageWidth, int nPageHeight)
{
    const double a = (double)nAreaWidth / nAreaHeight;
    const double r = (double)nPageWidth / nPageHeight;
    if (a > r)
        return PrintSize{(int)(nAreaHeight * r), nAreaHeight};
    if (a < r)
        return PrintSize{nAreaWidth, (int)(nAreaWidth / r)};
    return PrintSize{nAreaWidth, nAreaHeight};
}
