// Where the samples of an ordinary RIFF WAVE file are, read from its chunks.
//
// WAVE writers differ: a 16-, 18- or 40-byte format chunk (WAVE_FORMAT_EXTENSIBLE), LIST and
// other chunks before or after the data, odd-length chunks followed by a pad byte, and a data
// length of 0xFFFFFFFF (or one past the end of the file) from writers that could not seek back.
// The parser reads chunk headers through a callback, so it never opens a file itself.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace voiceconv {

struct WaveChunk {
  std::array<char, 4> id;
  uint64_t offset;  // of the chunk's 8-byte header
  uint32_t size;    // as declared
};

struct WaveLayout {
  uint16_t formatTag = 0;  // 1 PCM; 0xFFFE extensible, see subFormat
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint32_t byteRate = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  std::optional<uint16_t> subFormat;  // first two bytes of the extensible sub-format GUID
  std::optional<uint32_t> factSamples;
  uint32_t riffSize = 0;
  uint64_t dataOffset = 0;  // first sample byte
  uint32_t declaredDataSize = 0;
  uint64_t dataSize = 0;      // the bytes really there: declared, or up to the end of the file
  bool dataSizeOpen = false;  // declared as unknown or past the end of the file
  std::vector<WaveChunk> chunks;

  // PCM, also when carried in an extensible format chunk.
  [[nodiscard]] bool IsPcm() const;
  // The one sample format the board's PCM comes from: 16-bit mono 8000 Hz PCM.
  [[nodiscard]] bool IsTelephonyPcm() const;
  // "16-bit stereo 44100 Hz PCM", "8-bit mono 8000 Hz format 0x0006", ...
  [[nodiscard]] std::string DescribeFormat() const;
};

// Reads size bytes at offset into buffer; false when they are not all there.
using ReadAt = std::function<bool(uint64_t offset, std::span<uint8_t> buffer)>;

// The layout, or a sentence that says what is wrong with the file.
[[nodiscard]] std::variant<WaveLayout, std::string> ParseWaveLayout(const ReadAt& read,
                                                                    uint64_t fileSize);

// True when the bytes begin like a RIFF WAVE file.
[[nodiscard]] bool LooksLikeWave(std::span<const uint8_t> head);

}  // namespace voiceconv
