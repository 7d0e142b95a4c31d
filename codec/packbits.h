// PackBits run-length coding (TIFF compression 32773, PDF RunLengthDecode).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace codec {

// Appends the coded bytes of one run of input to `out`. Runs of two equal
// bytes stay literal inside a literal, three or more are repeated.
void PackBits(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

// Decoder for tests and for reading back; false on a run that overruns `data`.
bool UnpackBits(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

}  // namespace codec
