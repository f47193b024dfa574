#pragma once
// The Huffman stream of the screen-server protocol:
//   offset 0  output length L        unsigned 32-bit little-endian
//   offset 4  entry count N          unsigned 16-bit little-endian
//   offset 6  N tree entries         unsigned 16-bit little-endian, in triples
//   then      the coded bits         32-bit little-endian words, most significant bit first
// Each triple is one internal node: identifier, child on a 0 bit, child on a 1 bit. A child of
// 256 or less is a leaf yielding its low eight bits (so 256 yields byte 0); a larger child names
// the identifier of a node described by an earlier triple. The last triple is the root.

#include <cstdint>
#include <optional>
#include <span>

#include "DecodeResult.h"

namespace harnvik {

inline constexpr std::uint32_t kHuffmanHeaderBytes = 6;
inline constexpr std::uint32_t kMaxHuffmanTableEntries = 765;  // 255 internal nodes
inline constexpr std::uint32_t kHuffmanLeafLimit = 256;        // entries <= this are leaves

// Decodes a whole stream into `output` and returns its output length L. Allocates nothing.
// Refuses L = 0, L beyond the output, a malformed table, a child that names no earlier node,
// and coded words that end before L bytes.
[[nodiscard]] DecodeResult HuffmanDecode(std::span<const std::uint8_t> stream,
                                         std::span<std::uint8_t> output);

// The stream's first word, its output length L (both stream formats begin with it); nothing
// when the stream is shorter than one word.
[[nodiscard]] std::optional<std::uint32_t> StreamOutputLength(std::span<const std::uint8_t> stream);

}  // namespace harnvik
