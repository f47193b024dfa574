#include "BlockHeader.h"

#include <array>
#include <limits>

#include "TextNumber.h"

namespace harnvik {

ParsedHeader ParseBlockHeader(std::string_view text) {
  std::array<std::int64_t, kBlockHeaderFields> values{};
  int fields = 0;
  std::size_t start = 0;
  for (std::size_t semicolon = text.find(';'); semicolon != std::string_view::npos;
       semicolon = text.find(';', start)) {
    if (fields == kBlockHeaderFields) return {HeaderParse::kWrongFieldCount, {}};
    values[fields++] = ReadLeadingNumber(text.substr(start, semicolon - start));
    start = semicolon + 1;
  }
  if (fields == 0) return {HeaderParse::kNoFields, {}};
  if (fields != kBlockHeaderFields) return {HeaderParse::kWrongFieldCount, {}};

  constexpr auto kIntMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kIntMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kUintMax = std::numeric_limits<std::uint32_t>::max();
  for (int i = 0; i < kBlockHeaderFields; ++i) {
    const bool isRawSize = i == 4;
    const std::int64_t low = isRawSize ? 0 : kIntMin;
    const std::int64_t high = isRawSize ? std::int64_t{kUintMax} : std::int64_t{kIntMax};
    if (values[i] < low || values[i] > high) return {HeaderParse::kOutOfRange, {}};
  }
  ParsedHeader parsed{HeaderParse::kFields, {}};
  parsed.header.passes = static_cast<std::int32_t>(values[0]);
  parsed.header.column = static_cast<std::int32_t>(values[1]);
  parsed.header.row = static_cast<std::int32_t>(values[2]);
  parsed.header.offset = static_cast<std::int32_t>(values[3]);
  parsed.header.rawSize = static_cast<std::uint32_t>(values[4]);
  parsed.header.length = static_cast<std::int32_t>(values[5]);
  return parsed;
}

}  // namespace harnvik
