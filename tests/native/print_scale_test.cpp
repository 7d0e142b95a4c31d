// The printed size of a page on a printable area of 4800 by 6600 pixels: the
// page fills the width or the height, whichever it reaches first, truncated.
#include "view/PrintScale.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintScale, FillsTheWidthOrTheHeightWhicheverItReachesFirst) {
  struct Row {
    int w, h, wantW, wantH;
  };
  for (Row r : {Row{1700, 2200, 4800, 6211}, Row{2200, 1700, 4800, 3709}, Row{1, 1, 4800, 4800},
                Row{1000, 2200, 3000, 6600}, Row{826, 1169, 4663, 6600}, Row{1, 10000, 0, 6600},
                Row{1600, 2200, 4800, 6600}, Row{4800, 6600, 4800, 6600}, Row{8, 11, 4800, 6600}}) {
    const PrintSize s = ScaleToPrintable(4800, 6600, r.w, r.h);
    EXPECT_EQ(s.width, r.wantW) << r.w << "x" << r.h;
    EXPECT_EQ(s.height, r.wantH) << r.w << "x" << r.h;
  }
}

}  // namespace
