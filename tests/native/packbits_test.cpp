#include <gtest/gtest.h>

#include <random>

#include "codec/packbits.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pack(const Bytes& in) {
  Bytes out;
  codec::PackBits(in.data(), in.size(), out);
  return out;
}

Bytes Unpack(const Bytes& in) {
  Bytes out;
  EXPECT_TRUE(codec::UnpackBits(in.data(), in.size(), out));
  return out;
}

Bytes Counting(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i);
  return b;
}

TEST(PackBits, CodesAroundTheLongestRunAndLiteral) {
  auto literal = [](size_t from, size_t n) {
    Bytes b = {static_cast<uint8_t>(n - 1)};
    for (size_t i = from; i < from + n; ++i) b.push_back(static_cast<uint8_t>(i));
    return b;
  };
  auto join = [](Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; };
  struct Row { Bytes in, want; };
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
      {Counting(127), literal(0, 127)},
      {Counting(128), literal(0, 128)},
      {Counting(129), join(literal(0, 128), literal(128, 1))},
      {Counting(257), join(join(literal(0, 128), literal(128, 128)), literal(256, 1))},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Pack(r.in), r.want) << r.in.size() << " bytes";
    EXPECT_EQ(Unpack(r.want), r.in) << r.in.size() << " bytes";
  }
}

TEST(PackBits, RandomRoundTrips) {
  std::mt19937 rng(3);
  for (int t = 0; t < 300; ++t) {
    Bytes in(rng() % 2000);
    for (size_t i = 0; i < in.size();) {
      const size_t run = 1 + rng() % (rng() % 4 == 0 ? 300 : 3);
      const uint8_t v = static_cast<uint8_t>(rng() % 3);
      for (size_t k = 0; k < run && i < in.size(); ++k) in[i++] = v;
    }
    EXPECT_EQ(Unpack(Pack(in)), in);
  }
}

TEST(PackBits, DecoderRejectsOverruns) {
  Bytes out;
  for (Bytes in : {Bytes{5, 1, 2}, Bytes{200}}) EXPECT_FALSE(codec::UnpackBits(in.data(), in.size(), out)) << int(in[0]);
}

}  // namespace
