#pragma once
// Encodes the bytes of one block in the viewer's chosen mode.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "Compression.h"

namespace screenserver {

struct EncodedBlock {
  std::vector<std::uint8_t> data;
  std::int32_t passes = 1;  // Huffman passes, for mode 11
};

// Mode 11 stops adding passes once one does not shrink the data, at `maxPasses`, or when the
// stream a pass would wrap is longer than `cellBytes`: the viewer decodes each intermediate
// pass into a buffer of the cell's size.
[[nodiscard]] EncodedBlock EncodeBlock(Compression mode, std::span<const std::uint8_t> data,
                                       std::size_t cellBytes, std::int32_t maxPasses = 4);

}  // namespace screenserver
