#include <gtest/gtest.h>

#include <random>

#include "codec/packbits.h"

namespace {

std::vector<uint8_t> Pack(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> out;
  codec::PackBits(in.data(), in.size(), out);
  return out;
}

std::vector<uint8_t> Unpack(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(codec::UnpackBits(in.data(), in.size(), out));
  return out;
}

TEST(PackBits, RunsAroundTheLongestCode) {
  EXPECT_EQ(Pack(std::vector<uint8_t>(128, 7)), (std::vector<uint8_t>{129, 7}));
  EXPECT_EQ(Pack(std::vector<uint8_t>(129, 7)), (std::vector<uint8_t>{129, 7, 0, 7}));
  EXPECT_EQ(Pack(std::vector<uint8_t>(130, 7)), (std::vector<uint8_t>{129, 7, 255, 7}));
  EXPECT_EQ(Pack(std::vector<uint8_t>(256, 0)), (std::vector<uint8_t>{129, 0, 129, 0}));
  EXPECT_EQ(Pack({}), std::vector<uint8_t>{});
  EXPECT_EQ(Pack({5}), (std::vector<uint8_t>{0, 5}));
  EXPECT_EQ(Pack({5, 5}), (std::vector<uint8_t>{255, 5}));
}

TEST(PackBits, LiteralsAroundTheLongestCode) {
  for (size_t n : {127u, 128u, 129u, 256u, 257u}) {
    std::vector<uint8_t> in(n);
    for (size_t i = 0; i < n; ++i) in[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> out = Pack(in);
    EXPECT_EQ(out.size(), n + (n + 127) / 128) << n;
    EXPECT_EQ(out[0], n >= 128 ? 127 : n - 1);
    EXPECT_EQ(Unpack(out), in);
  }
}

TEST(PackBits, PairsInsideLiteralsStayLiteral) {
  EXPECT_EQ(Pack({1, 2, 2, 3}), (std::vector<uint8_t>{3, 1, 2, 2, 3}));
  EXPECT_EQ(Pack({1, 2, 2, 2, 3}), (std::vector<uint8_t>{0, 1, 254, 2, 0, 3}));
}

TEST(PackBits, RandomRoundTrips) {
  std::mt19937 rng(3);
  for (int t = 0; t < 300; ++t) {
    std::vector<uint8_t> in(rng() % 2000);
    for (size_t i = 0; i < in.size();) {
      size_t run = 1 + rng() % (rng() % 4 == 0 ? 300 : 3);
      uint8_t v = static_cast<uint8_t>(rng() % 3);
      for (size_t k = 0; k < run && i < in.size(); ++k) in[i++] = v;
    }
    EXPECT_EQ(Unpack(Pack(in)), in);
  }
}

TEST(PackBits, DecoderRejectsOverruns) {
  std::vector<uint8_t> out;
  const uint8_t literal[] = {5, 1, 2};
  EXPECT_FALSE(codec::UnpackBits(literal, sizeof literal, out));
  const uint8_t repeat[] = {200};
  EXPECT_FALSE(codec::UnpackBits(repeat, sizeof repeat, out));
}

}  // namespace
