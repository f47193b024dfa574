#pragma once
// Writes the Huffman stream the viewer decodes: output length, entry count, a table of triples
// (identifier, child on 0, child on 1) in which every internal node comes before the node that
// names it and the root comes last, then the codes in 32-bit little-endian words.

#include <cstdint>
#include <span>
#include <vector>

namespace screenserver {

// `data` must not be empty (the stream format has no way to say "nothing").
[[nodiscard]] std::vector<std::uint8_t> HuffmanEncode(std::span<const std::uint8_t> data);

}  // namespace screenserver
