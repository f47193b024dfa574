#pragma once
// The header the screen server sends before each block: six fields, each ended by ";":
//   passes;column;row;offset;raw size;length;

#include <cstdint>
#include <string_view>

namespace harnvik {

struct BlockHeader {
  std::int32_t passes = 0;    // Huffman passes in mode 11
  std::int32_t column = 0;    // the cell's column
  std::int32_t row = 0;       // the cell's row
  std::int32_t offset = 0;    // where in the cell's buffer the decoded bytes go
  std::uint32_t rawSize = 0;  // size of the cell's buffer; the byte count of mode 0
  std::int32_t length = 0;    // block data bytes that follow

  bool operator==(const BlockHeader&) const = default;
};

inline constexpr int kBlockHeaderFields = 6;

enum class HeaderParse : std::uint8_t {
  kFields,           // six fields read into the header
  kNoFields,         // no ";" at all: the previous block's fields apply again
  kWrongFieldCount,  // some ";" but not six fields
  kOutOfRange,       // a number that does not fit its field
};

struct ParsedHeader {
  HeaderParse status = HeaderParse::kNoFields;
  BlockHeader header;
};

// Cuts the text at each ";" (text after the last one is ignored) and reads the six fields as
// leading decimal numbers.
[[nodiscard]] ParsedHeader ParseBlockHeader(std::string_view text);

}  // namespace harnvik
