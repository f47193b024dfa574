#include "DecodeResult.h"

namespace harnvik {

std::string_view DecodeStatusText(DecodeStatus status) {
  switch (status) {
    case DecodeStatus::kOk:
      return "no fault";
    case DecodeStatus::kEmptyStream:
      return "a stream of length 0";
    case DecodeStatus::kTruncated:
      return "the coded data ends too early";
    case DecodeStatus::kOutputTooSmall:
      return "the decoded data does not fit its buffer";
    case DecodeStatus::kBadTable:
      return "a malformed Huffman table";
    case DecodeStatus::kBadNodeReference:
      return "a Huffman table that names a missing node";
    case DecodeStatus::kRunPastEnd:
      return "a run longer than the data";
    case DecodeStatus::kBadPasses:
      return "an impossible number of Huffman passes";
    case DecodeStatus::kUnknownMode:
      return "an unknown compression mode";
  }
  return "an unknown fault";
}

}  // namespace harnvik
