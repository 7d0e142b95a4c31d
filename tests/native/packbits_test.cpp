// PackBits codes at the run and literal limits; other readers decode them in the PDF tests.
#include <gtest/gtest.h>

#include "codec/packbits.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pack(const Bytes& in) {
  Bytes out;
  codec::PackBits(in.data(), in.size(), out);
  return out;
}

TEST(PackBits, CodesAroundTheLongestRun) {
  struct Row {
    Bytes in, want;
  };
  const Row rows[] = {
      {{}, {}},
      {{5}, {0, 5}},
      {{5, 5}, {255, 5}},
      {Bytes(128, 7), {129, 7}},
      {Bytes(129, 7), {129, 7, 0, 7}},
      {Bytes(130, 7), {129, 7, 255, 7}},
      {Bytes(256, 0), {129, 0, 129, 0}},
      {{1, 2, 2, 3}, {3, 1, 2, 2, 3}},  // a pair inside a literal stays literal
      {{1, 2, 2, 2, 3}, {0, 1, 254, 2, 0, 3}},
  };
  for (const Row& r : rows) EXPECT_EQ(Pack(r.in), r.want) << r.in.size() << " bytes";
}

TEST(PackBits, LiteralsAroundTheLongestCode) {
  for (size_t n : {127u, 128u, 129u, 256u, 257u}) {
    Bytes in(n);
    for (size_t i = 0; i < n; ++i) in[i] = static_cast<uint8_t>(i);
    const Bytes out = Pack(in);
    EXPECT_EQ(out.size(), n + (n + 127) / 128) << n;
    EXPECT_EQ(out[0], std::min<size_t>(n, 128) - 1) << n;
  }
}

}  // namespace
