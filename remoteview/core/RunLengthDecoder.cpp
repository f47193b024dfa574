#include "RunLengthDecoder.h"

#include <cstring>

#include "ByteOrder.h"
#include "WordBitReader.h"

namespace harnvik {

DecodeResult RunLengthDecode(std::span<const std::uint8_t> stream, std::span<std::uint8_t> output) {
  if (stream.size() < 4) return {DecodeStatus::kTruncated, 0};
  const std::uint32_t length = LoadLe32(stream.data());
  if (length == 0) return {DecodeStatus::kEmptyStream, 0};
  if (length > output.size()) return {DecodeStatus::kOutputTooSmall, 0};

  WordBitReader bits(stream.subspan(4));
  std::uint8_t* out = output.data();
  std::uint32_t remaining = length;
  while (remaining > 0) {
    std::uint32_t flag;
    if (!bits.Take(1, flag)) return {DecodeStatus::kTruncated, 0};
    std::uint32_t code;
    if (flag != 0) {
      if (!bits.Take(kLiteralCodeBits - 1, code)) return {DecodeStatus::kTruncated, 0};
      *out++ = static_cast<std::uint8_t>(code);
      --remaining;
      continue;
    }
    if (!bits.Take(kRunCodeBits - 1, code)) return {DecodeStatus::kTruncated, 0};
    const std::uint32_t count = code >> 8;
    if (count > remaining) return {DecodeStatus::kRunPastEnd, 0};
    // A run of 0 writes nothing; decoding goes on with the next code.
    std::memset(out, static_cast<int>(code & 0xFFu), count);
    out += count;
    remaining -= count;
  }
  return {DecodeStatus::kOk, length};
}

}  // namespace harnvik
