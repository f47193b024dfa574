// The five voice file conversions as streams over memory: the sample codecs, the WAVE header
// and the rate converter put together, with no file in sight. The file edge feeds a
// `StreamConverter` with the source bytes in pieces of any size and writes what it returns.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "voiceconv/AdpcmCodec.h"
#include "voiceconv/SampleRateConverter.h"

namespace voiceconv {

enum class Conversion { PcmToWave, WaveToPcm, PcmToAd, AdToPcm, Ad6kToPcm };

struct ConversionInfo {
  Conversion id;
  std::string_view exportName;  // the library's export
  std::string_view command;     // the voiceconv command
  std::string_view outputExtension;
  // Source bytes per block as the board's software reads them; 0 for the whole file. Only
  // AdtoPcm's progress line shows the blocks, every other result is the same for any piece size.
  uint32_t blockSize;
  std::string_view summary;
};

inline constexpr std::array<ConversionInfo, 5> kConversions = {{
    {Conversion::PcmToWave, "PcmtoWave", "pcm2wave", ".wav", 1000,
     "A-law PCM (8000 Hz) to a 16-bit mono 8000 Hz WAVE file"},
    {Conversion::WaveToPcm, "WavetoPcm", "wave2pcm", ".pcm", 2000,
     "16-bit mono 8000 Hz WAVE to A-law PCM"},
    {Conversion::PcmToAd, "PcmtoAd", "pcm2ad", ".vox", 320,
     "A-law PCM (8000 Hz) to 4-bit ADPCM (8000 Hz)"},
    {Conversion::AdToPcm, "AdtoPcm", "ad2pcm", ".pcm", 160,
     "4-bit ADPCM (8000 Hz) to A-law PCM (8000 Hz)"},
    {Conversion::Ad6kToPcm, "Ad6ktoPcm", "ad6k2pcm", ".pcm", 0,
     "4-bit ADPCM (6000 Hz) to A-law PCM (8000 Hz)"},
}};

[[nodiscard]] const ConversionInfo& Describe(Conversion conversion);
[[nodiscard]] std::optional<Conversion> FindConversion(std::string_view command);

// The WAVE header of a converted PCM file: RIFF, an 18-byte format chunk, a fact chunk and the
// data chunk header, 58 bytes in all.
inline constexpr std::size_t kWaveHeaderSize = 58;
// Largest sample count whose file length still fits the RIFF length field.
inline constexpr uint64_t kWaveMaxSamples = (0xFFFFFFFFull - (kWaveHeaderSize - 8)) / 2;
[[nodiscard]] std::array<uint8_t, kWaveHeaderSize> MakeWaveHeader(uint32_t sampleCount);

// Destination length for a source of sourceLength bytes (the bytes fed to the converter).
[[nodiscard]] uint64_t OutputLength(Conversion conversion, uint64_t sourceLength);

class StreamConverter {
 public:
  // sourceLength: the number of bytes that will be fed in all; the WAVE header and the rate
  // converter's output length depend on it.
  StreamConverter(Conversion conversion, uint64_t sourceLength);

  // Upper bound of the bytes Begin() or one Feed() of inputSize bytes writes.
  [[nodiscard]] static std::size_t MaxOutput(Conversion conversion, std::size_t inputSize);

  // What precedes the converted samples (the WAVE header); returns the bytes written.
  [[nodiscard]] std::size_t Begin(uint8_t* out);
  // Converts the next piece of the source; returns the bytes written to out, which has room
  // for MaxOutput(conversion, in.size()).
  [[nodiscard]] std::size_t Feed(std::span<const uint8_t> in, uint8_t* out);
  // What follows the last piece (the converter's silent end); appended to tail.
  void Finish(std::vector<uint8_t>& tail);

 private:
  std::size_t FeedAd6k(std::span<const uint8_t> in, uint8_t* out);
  std::size_t EmitResampled(std::span<const int16_t> samples, uint8_t* out);

  Conversion conversion_;
  uint64_t sourceLength_;
  AdpcmState adpcm_;
  // A sample's first byte waiting for its partner at the end of a piece.
  std::optional<uint8_t> pendingByte_;
  // Rate converter: decoded 6000 Hz samples waiting to fill a chunk, and the output count.
  std::optional<SampleRateConverter> resampler_;
  std::array<int16_t, kResamplerChunk> chunk_{};
  std::size_t chunkFill_ = 0;
  uint64_t resampledLength_ = 0;
  uint64_t resampledWritten_ = 0;
};

}  // namespace voiceconv
