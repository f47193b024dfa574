#include "BlockDecoder.h"

#include <cstring>

#include "HuffmanDecoder.h"
#include "RunLengthDecoder.h"

namespace harnvik {

DecodeResult DecodeBlock(const BlockDecodeRequest& request, std::span<std::uint8_t> block,
                         std::span<std::uint8_t> output, std::span<std::uint8_t> scratch) {
  if (request.received > block.size()) return {DecodeStatus::kTruncated, 0};
  const std::span<const std::uint8_t> data = block.first(request.received);
  switch (request.mode) {
    case CompressionMode::kNone:
      if (request.rawSize > data.size()) return {DecodeStatus::kTruncated, 0};
      if (request.rawSize > output.size()) return {DecodeStatus::kOutputTooSmall, 0};
      std::memcpy(output.data(), data.data(), request.rawSize);
      return {DecodeStatus::kOk, request.rawSize};

    case CompressionMode::kHuffman:
      return HuffmanDecode(data, output);

    case CompressionMode::kMultiPassHuffman: {
      if (request.passes < 1 || request.passes > kMaxHuffmanPasses) {
        return {DecodeStatus::kBadPasses, 0};
      }
      std::size_t current = data.size();
      for (std::int32_t pass = 1;; ++pass) {
        const DecodeResult result = HuffmanDecode(block.first(current), output);
        if (!result.Ok() || pass == request.passes) return result;
        if (result.length > block.size()) return {DecodeStatus::kOutputTooSmall, 0};
        std::memcpy(block.data(), output.data(), result.length);
        current = result.length;
      }
    }

    case CompressionMode::kRunLength:
      return RunLengthDecode(data, output);

    case CompressionMode::kRunLengthHuffman: {
      const auto inner = StreamOutputLength(data);
      if (!inner) return {DecodeStatus::kTruncated, 0};
      if (*inner > scratch.size()) return {DecodeStatus::kOutputTooSmall, 0};
      const DecodeResult huffman = HuffmanDecode(data, scratch.first(*inner));
      if (!huffman.Ok()) return huffman;
      return RunLengthDecode(scratch.first(huffman.length), output);
    }
  }
  return {DecodeStatus::kUnknownMode, 0};
}

}  // namespace harnvik
