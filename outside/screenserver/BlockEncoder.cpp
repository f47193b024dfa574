#include "BlockEncoder.h"

#include "HuffmanEncoder.h"
#include "RunLengthEncoder.h"

namespace screenserver {

std::optional<Compression> CompressionFromNumber(long number) {
  switch (number) {
    case 0:
      return Compression::kNone;
    case 10:
      return Compression::kHuffman;
    case 11:
      return Compression::kMultiPassHuffman;
    case 12:
      return Compression::kRunLength;
    case 13:
      return Compression::kRunLengthHuffman;
    default:
      return std::nullopt;
  }
}

EncodedBlock EncodeBlock(Compression mode, std::span<const std::uint8_t> data,
                         std::size_t cellBytes, std::int32_t maxPasses) {
  switch (mode) {
    case Compression::kNone:
      return {std::vector<std::uint8_t>(data.begin(), data.end()), 1};
    case Compression::kHuffman:
      return {HuffmanEncode(data), 1};
    case Compression::kMultiPassHuffman: {
      EncodedBlock block{HuffmanEncode(data), 1};
      while (block.passes < maxPasses && block.data.size() <= cellBytes) {
        std::vector<std::uint8_t> again = HuffmanEncode(block.data);
        if (again.size() >= block.data.size()) break;
        block.data = std::move(again);
        ++block.passes;
      }
      return block;
    }
    case Compression::kRunLength:
      return {RunLengthEncode(data), 1};
    case Compression::kRunLengthHuffman:
      return {HuffmanEncode(RunLengthEncode(data)), 1};
  }
  return {};
}

}  // namespace screenserver
