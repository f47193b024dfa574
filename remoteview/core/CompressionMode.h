#pragma once
// The five compression modes the viewer can ask the screen server for ("WM_COMP;%d;0;0;0;").
// Listed once, with the radio button of the compression dialog that stands for each.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace harnvik {

enum class CompressionMode : std::int32_t {
  kNone = 0,
  kHuffman = 10,
  kMultiPassHuffman = 11,
  kRunLength = 12,
  kRunLengthHuffman = 13,
};

struct CompressionModeInfo {
  CompressionMode mode;
  int dialogControlId;  // radio button of the compression dialog
  std::string_view name;
};

// In the order the compression dialog reads its buttons.
inline constexpr std::array<CompressionModeInfo, 5> kCompressionModes{{
    {CompressionMode::kNone, 1009, "No Compression"},
    {CompressionMode::kHuffman, 1010, "Huffman Compression"},
    {CompressionMode::kMultiPassHuffman, 1011, "Multi Pass Huffman Compression"},
    {CompressionMode::kRunLength, 1012, "Run Length Encode"},
    {CompressionMode::kRunLengthHuffman, 1013, "Run Length Plus Huffman"},
}};

inline constexpr CompressionMode kDefaultCompressionMode = CompressionMode::kHuffman;

[[nodiscard]] constexpr std::int32_t ModeNumber(CompressionMode mode) {
  return static_cast<std::int32_t>(mode);
}

[[nodiscard]] constexpr std::optional<CompressionMode> CompressionModeFromNumber(long number) {
  for (const auto& info : kCompressionModes) {
    if (ModeNumber(info.mode) == number) return info.mode;
  }
  return std::nullopt;
}

}  // namespace harnvik
