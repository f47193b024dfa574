#pragma once
// The outcome of decoding one stream or one block. The screen server is another program, often
// on another machine: a stream is checked against every limit of its format before its output
// is trusted, and a stream that breaks one is refused with the reason.

#include <cstdint>
#include <string_view>

namespace harnvik {

enum class DecodeStatus : std::uint8_t {
  kOk,
  kEmptyStream,       // output length 0: the format has no way to end such a stream
  kTruncated,         // the coded words end before the output length is reached
  kOutputTooSmall,    // the output length does not fit the buffer it is decoded into
  kBadTable,          // Huffman entry count not a positive multiple of 3, or above 765
  kBadNodeReference,  // a child names no internal node of an earlier triple
  kRunPastEnd,        // a run-length code writes more bytes than remain
  kBadPasses,         // multi-pass Huffman with a pass count outside 1..kMaxHuffmanPasses
  kUnknownMode,       // not one of the five compression modes
};

struct DecodeResult {
  DecodeStatus status = DecodeStatus::kOk;
  std::uint32_t length = 0;  // bytes written to the output when status is kOk

  [[nodiscard]] bool Ok() const { return status == DecodeStatus::kOk; }
};

// A short English description, for the message that reports a refused block.
[[nodiscard]] std::string_view DecodeStatusText(DecodeStatus status);

}  // namespace harnvik
