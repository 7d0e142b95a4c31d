// The printed size of a page on a printable area of 4800 by 6600 pixels: the
// page fills the width or the height, whichever it reaches first.
#include "view/PrintScale.h"

#include <gtest/gtest.h>

namespace {

void ExpectPrinted(int w, int h, int wantW, int wantH)
{
    const PrintSize s = ScaleToPrintable(4800, 6600, w, h);
    EXPECT_EQ(s.width, wantW) << w << "x" << h;
    EXPECT_EQ(s.height, wantH) << w << "x" << h;
}

TEST(PrintScale, PageRelativelyWiderThanPaperFillsTheWidth)
{
    ExpectPrinted(1700, 2200, 4800, 6211);  // portrait, truncated from 6211.76
    ExpectPrinted(2200, 1700, 4800, 3709);  // landscape, truncated from 3709.09
    ExpectPrinted(1, 1, 4800, 4800);
}

TEST(PrintScale, PageRelativelyNarrowerThanPaperFillsTheHeight)
{
    ExpectPrinted(1000, 2200, 3000, 6600);
    ExpectPrinted(826, 1169, 4663, 6600);  // 4663.47
    ExpectPrinted(1, 10000, 0, 6600);      // a sliver truncates to nothing
}

TEST(PrintScale, SameProportionsFillTheArea)
{
    ExpectPrinted(1600, 2200, 4800, 6600);
    ExpectPrinted(4800, 6600, 4800, 6600);
    ExpectPrinted(8, 11, 4800, 6600);
}

} // namespace
