#pragma once
// Turns one received block into the bytes that go into (or are added to) a grid cell, by the
// connection's compression mode:
//   0   the block's first `rawSize` bytes as they are
//   10  one Huffman stream
//   11  Huffman applied `passes` times; each pass but the last decodes back over the block
//   12  one run-length stream
//   13  a Huffman stream whose content is a run-length stream

#include <cstddef>
#include <cstdint>
#include <span>

#include "CompressionMode.h"
#include "DecodeResult.h"

namespace harnvik {

// A server that needs more passes than this gains nothing from them; the bound keeps a hostile
// pass count from turning one block into minutes of work.
inline constexpr std::int32_t kMaxHuffmanPasses = 32;

struct BlockDecodeRequest {
  CompressionMode mode = CompressionMode::kNone;
  std::int32_t passes = 1;    // header field 1, used by mode 11 only
  std::uint32_t rawSize = 0;  // header field 5, the byte count of mode 0
  std::size_t received = 0;   // bytes of `block` that came from the server
};

// `block` is the whole block buffer (mode 11 writes intermediate passes back into it, so it may
// be longer than what was received); `output` is the cell's decode buffer; `scratch` holds the
// intermediate run-length stream of mode 13 and must be at least its StreamOutputLength.
// Allocates nothing.
[[nodiscard]] DecodeResult DecodeBlock(const BlockDecodeRequest& request,
                                       std::span<std::uint8_t> block,
                                       std::span<std::uint8_t> output,
                                       std::span<std::uint8_t> scratch);

}  // namespace harnvik
