#include "HuffmanDecoder.h"

#include <array>

#include "ByteOrder.h"
#include "WordBitReader.h"

namespace harnvik {
namespace {

constexpr std::uint32_t kMaxInternalNodes = kMaxHuffmanTableEntries / 3;
// A resolved child: a leaf byte (below kNodeTag) or kNodeTag plus the index of a triple.
constexpr std::uint16_t kNodeTag = 0x100;

}  // namespace

std::optional<std::uint32_t> StreamOutputLength(std::span<const std::uint8_t> stream) {
  if (stream.size() < 4) return std::nullopt;
  return LoadLe32(stream.data());
}

DecodeResult HuffmanDecode(std::span<const std::uint8_t> stream, std::span<std::uint8_t> output) {
  if (stream.size() < kHuffmanHeaderBytes) return {DecodeStatus::kTruncated, 0};
  const std::uint32_t length = LoadLe32(stream.data());
  const std::uint32_t entries = LoadLe16(stream.data() + 4);
  if (length == 0) return {DecodeStatus::kEmptyStream, 0};
  if (entries == 0 || entries % 3 != 0 || entries > kMaxHuffmanTableEntries) {
    return {DecodeStatus::kBadTable, 0};
  }
  const std::size_t tableEnd = kHuffmanHeaderBytes + 2u * entries;
  if (stream.size() < tableEnd) return {DecodeStatus::kTruncated, 0};
  if (length > output.size()) return {DecodeStatus::kOutputTooSmall, 0};

  // Resolve every child once. The search is the format's own (from the triple before the one
  // that names the child, stepping back one triple at a time, nearest match wins), so the tree
  // is the one the encoder meant; doing it here rather than at every decoded bit keeps the walk
  // to one table look-up per bit. A child that names no earlier triple refuses the stream, which
  // also rules out cycles: every walk from the root reaches a leaf within 255 steps.
  const std::uint32_t nodes = entries / 3;
  std::array<std::uint16_t, kMaxInternalNodes> ids{};
  std::array<std::uint16_t, 2 * kMaxInternalNodes> children{};
  const std::uint8_t* table = stream.data() + kHuffmanHeaderBytes;
  for (std::uint32_t node = 0; node < nodes; ++node) {
    ids[node] = LoadLe16(table + 6 * node);
    for (std::uint32_t side = 0; side < 2; ++side) {
      const std::uint16_t child = LoadLe16(table + 6 * node + 2 + 2 * side);
      std::uint16_t resolved;
      if (child <= kHuffmanLeafLimit) {
        resolved = static_cast<std::uint16_t>(child & 0xFFu);
      } else {
        std::uint32_t found = node;
        while (found > 0 && ids[found - 1] != child) --found;
        if (found == 0) return {DecodeStatus::kBadNodeReference, 0};
        resolved = static_cast<std::uint16_t>(kNodeTag + (found - 1));
      }
      children[2 * node + side] = resolved;
    }
  }

  WordBitReader bits(stream.subspan(tableEnd));
  const std::uint32_t root = nodes - 1;
  std::uint32_t node = root;
  std::uint8_t* out = output.data();
  std::uint8_t* const end = out + length;
  for (;;) {
    unsigned bit;
    if (!bits.TakeBit(bit)) return {DecodeStatus::kTruncated, 0};
    const std::uint16_t child = children[2 * node + bit];
    if (child < kNodeTag) {
      *out++ = static_cast<std::uint8_t>(child);
      if (out == end) return {DecodeStatus::kOk, length};
      node = root;
    } else {
      node = child - kNodeTag;
    }
  }
}

}  // namespace harnvik
