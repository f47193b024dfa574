#include "RunLengthEncoder.h"

#include "Compression.h"

namespace screenserver {
namespace {

constexpr std::size_t kMaxRun = 1023;
// A run code (19 bits) beats literals (9 bits each) from three bytes on.
constexpr std::size_t kShortestRun = 3;

}  // namespace

std::vector<std::uint8_t> RunLengthEncode(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  out.reserve(8 + data.size() * 9 / 8 + 4);
  AppendLe32(out, static_cast<std::uint32_t>(data.size()));
  WordBitWriter writer(out);
  std::size_t i = 0;
  while (i < data.size()) {
    const std::uint8_t value = data[i];
    std::size_t run = 1;
    while (i + run < data.size() && data[i + run] == value && run < kMaxRun) ++run;
    if (run >= kShortestRun) {
      writer.Put(static_cast<std::uint32_t>(run << 8) | value, 19);
    } else {
      for (std::size_t k = 0; k < run; ++k) writer.Put(0x100u | value, 9);
    }
    i += run;
  }
  writer.Finish();
  return out;
}

}  // namespace screenserver
