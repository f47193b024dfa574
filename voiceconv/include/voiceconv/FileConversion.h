// The file edge of the converter: open the two files, stream the source through a
// `StreamConverter`, write the destination, and report a status the callers know.
//
// A conversion that cannot finish (read or write error, a source that shrinks or vanishes
// part-way, no memory) reports ConversionFailed and removes the destination it created, so no
// cut-off file is left behind that looks like a finished one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "voiceconv/Conversion.h"

namespace voiceconv {

// The exports' status values.
enum class Status : int32_t {
  Converted = 1,
  SourceUnavailable = -1,       // cannot be opened or is not acceptable; nothing created
  DestinationUnavailable = -2,  // cannot be created or truncated
  ConversionFailed = -3,        // read, write or memory failure after both files were opened
};

struct ConversionResult {
  Status status = Status::Converted;
  std::string message;  // for people: names the file and the reason; empty on success
  uint64_t sourceBytes = 0;
  uint64_t destinationBytes = 0;
};

// Where the samples of the source are.
enum class SourceRule {
  // As the library's callers expect: headerless sources whole; WavetoPcm skips 58 bytes and
  // opens its source for reading and writing.
  Exports,
  // For people: wave2pcm reads the RIFF chunks, converts exactly the data chunk, and refuses
  // anything but 16-bit mono 8000 Hz PCM.
  WaveChunks,
};

// Told before each block of the source as the board's software reads it (Describe().blockSize).
class BlockObserver {
 public:
  virtual ~BlockObserver() = default;
  virtual void OnBlock(uint64_t handled, uint64_t total) = 0;
};

// Buffers a worker reuses from one file to the next.
struct Workspace {
  std::vector<uint8_t> input;
  std::vector<uint8_t> output;
};

struct ConvertOptions {
  SourceRule source = SourceRule::Exports;
  BlockObserver* observer = nullptr;
  Workspace* workspace = nullptr;  // a fresh one per call when null
  std::size_t pieceSize = 256 * 1024;
};

[[nodiscard]] ConversionResult ConvertFile(Conversion conversion, const char* sourcePath,
                                           const char* destinationPath,
                                           const ConvertOptions& options = {});

// Byte streams under the conversion loop; the file edge uses descriptors, tests inject faults.
struct IoResult {
  std::size_t bytes = 0;
  int error = 0;  // errno value; 0 with 0 bytes is the end of the source
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  [[nodiscard]] virtual IoResult Read(std::span<uint8_t> buffer) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all of data, or fails.
  [[nodiscard]] virtual IoResult Write(std::span<const uint8_t> data) = 0;
};

// Converts exactly length bytes of source into sink. ConversionFailed when the source ends
// early or either side fails; the message then names the side and the reason.
[[nodiscard]] ConversionResult RunConversion(Conversion conversion, ByteSource& source,
                                             uint64_t length, ByteSink& sink,
                                             const ConvertOptions& options = {},
                                             std::string_view sourceName = "source",
                                             std::string_view destinationName = "destination");

}  // namespace voiceconv
