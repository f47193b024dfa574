#include "voiceconv/Conversion.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "voiceconv/Alaw.h"

namespace voiceconv {
namespace {

void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, static_cast<uint16_t>(v));
  PutLe16(p + 2, static_cast<uint16_t>(v >> 16));
}

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kChannels = 1;
constexpr uint32_t kSampleRate = 8000;
constexpr uint16_t kBitsPerSample = 16;
constexpr uint16_t kBlockAlign = kChannels * kBitsPerSample / 8;
constexpr uint32_t kFormatChunkSize = 18;  // with the (zero) extra-size field
constexpr uint32_t kFactChunkSize = 4;

}  // namespace

const ConversionInfo& Describe(Conversion conversion) {
  for (const ConversionInfo& info : kConversions) {
    if (info.id == conversion) return info;
  }
  assert(false);
  return kConversions[0];
}

std::optional<Conversion> FindConversion(std::string_view command) {
  for (const ConversionInfo& info : kConversions) {
    if (info.command == command) return info.id;
  }
  return std::nullopt;
}

std::array<uint8_t, kWaveHeaderSize> MakeWaveHeader(uint32_t sampleCount) {
  std::array<uint8_t, kWaveHeaderSize> h{};
  uint8_t* p = h.data();
  const uint32_t dataSize = 2 * sampleCount;
  std::memcpy(p + 0, "RIFF", 4);
  PutLe32(p + 4, dataSize + static_cast<uint32_t>(kWaveHeaderSize - 8));
  std::memcpy(p + 8, "WAVE", 4);
  std::memcpy(p + 12, "fmt ", 4);
  PutLe32(p + 16, kFormatChunkSize);
  PutLe16(p + 20, kWaveFormatPcm);
  PutLe16(p + 22, kChannels);
  PutLe32(p + 24, kSampleRate);
  PutLe32(p + 28, kSampleRate * kBlockAlign);
  PutLe16(p + 32, kBlockAlign);
  PutLe16(p + 34, kBitsPerSample);
  PutLe16(p + 36, 0);
  std::memcpy(p + 38, "fact", 4);
  PutLe32(p + 42, kFactChunkSize);
  PutLe32(p + 46, sampleCount);
  std::memcpy(p + 50, "data", 4);
  PutLe32(p + 54, dataSize);
  return h;
}

uint64_t OutputLength(Conversion conversion, uint64_t sourceLength) {
  switch (conversion) {
    case Conversion::PcmToWave:
      return kWaveHeaderSize + 2 * sourceLength;
    case Conversion::WaveToPcm:
    case Conversion::PcmToAd:
      return sourceLength / 2;
    case Conversion::AdToPcm:
      return 2 * sourceLength;
    case Conversion::Ad6kToPcm:
      return SampleRateConverter::OutputLength(2 * sourceLength, kResamplerOutputRate);
  }
  return 0;
}

StreamConverter::StreamConverter(Conversion conversion, uint64_t sourceLength)
    : conversion_(conversion), sourceLength_(sourceLength) {
  AdpcmReset(adpcm_);
  if (conversion_ == Conversion::Ad6kToPcm) {
    resampler_.emplace(kResamplerOutputRate);
    resampledLength_ = OutputLength(conversion_, sourceLength_);
  }
}

std::size_t StreamConverter::MaxOutput(Conversion conversion, std::size_t inputSize) {
  switch (conversion) {
    case Conversion::PcmToWave:
      return std::max(kWaveHeaderSize, 2 * inputSize);
    case Conversion::WaveToPcm:
    case Conversion::PcmToAd:
      return inputSize / 2 + 1;
    case Conversion::AdToPcm:
      return 2 * inputSize;
    case Conversion::Ad6kToPcm:
      // Each chunk of 512 samples yields at most 4/3 of it plus one per block step; the
      // chunk in progress may complete with the first byte of a piece.
      return 3 * inputSize + 2 * kConverterOutputSize;
  }
  return 0;
}

std::size_t StreamConverter::Begin(uint8_t* out) {
  if (conversion_ != Conversion::PcmToWave) return 0;
  const auto header = MakeWaveHeader(static_cast<uint32_t>(sourceLength_));
  std::memcpy(out, header.data(), header.size());
  return header.size();
}

std::size_t StreamConverter::Feed(std::span<const uint8_t> in, uint8_t* out) {
  const uint8_t* src = in.data();
  const uint8_t* const srcEnd = src + in.size();
  uint8_t* dst = out;

  switch (conversion_) {
    case Conversion::PcmToWave: {
      const int16_t* table = AlawTables::AlawToLinear16().data();
      for (; src != srcEnd; ++src, dst += 2) PutLe16(dst, static_cast<uint16_t>(table[*src]));
      break;
    }

    case Conversion::WaveToPcm: {
      // 16-bit little-endian samples; an odd last byte of the file is never completed.
      const uint8_t* table = AlawTables::Linear16ToAlaw().data();
      if (pendingByte_ && src != srcEnd) {
        *dst++ = table[*pendingByte_ | (*src++ << 8)];
        pendingByte_.reset();
      }
      for (; srcEnd - src >= 2; src += 2) *dst++ = table[src[0] | (src[1] << 8)];
      if (src != srcEnd) pendingByte_ = *src;
      break;
    }

    case Conversion::PcmToAd: {
      // Two samples make one byte, the earlier in the high nibble.
      const int16_t* linear = AlawTables::AlawToLinear12().data();
      AdpcmState state = adpcm_;
      if (pendingByte_ && src != srcEnd) {
        const uint32_t high = AdpcmEncode(state, linear[*pendingByte_]);
        const uint32_t low = AdpcmEncode(state, linear[*src++]);
        *dst++ = static_cast<uint8_t>(high << 4 | low);
        pendingByte_.reset();
      }
      for (; srcEnd - src >= 2; src += 2) {
        const uint32_t high = AdpcmEncode(state, linear[src[0]]);
        const uint32_t low = AdpcmEncode(state, linear[src[1]]);
        *dst++ = static_cast<uint8_t>(high << 4 | low);
      }
      if (src != srcEnd) pendingByte_ = *src;
      adpcm_ = state;
      break;
    }

    case Conversion::AdToPcm: {
      // Decoded samples lie within -2047 ... +2047; index the table by their bit pattern.
      const uint8_t* table = AlawTables::Linear12ToAlaw().data();
      AdpcmState state = adpcm_;
      for (; src != srcEnd; ++src, dst += 2) {
        dst[0] = table[static_cast<uint16_t>(AdpcmDecode(state, *src >> 4))];
        dst[1] = table[static_cast<uint16_t>(AdpcmDecode(state, *src & 15))];
      }
      adpcm_ = state;
      break;
    }

    case Conversion::Ad6kToPcm:
      return FeedAd6k(in, out);
  }
  return static_cast<std::size_t>(dst - out);
}

std::size_t StreamConverter::FeedAd6k(std::span<const uint8_t> in, uint8_t* out) {
  std::size_t written = 0;
  AdpcmState state = adpcm_;
  for (const uint8_t byte : in) {
    chunk_[chunkFill_++] = static_cast<int16_t>(AdpcmDecode(state, byte >> 4));
    chunk_[chunkFill_++] = static_cast<int16_t>(AdpcmDecode(state, byte & 15));
    // kResamplerChunk is even, so a byte's two samples never straddle chunks.
    if (chunkFill_ == kResamplerChunk) {
      written += EmitResampled(resampler_->ConvertChunk(chunk_), out + written);
      chunkFill_ = 0;
    }
  }
  adpcm_ = state;
  return written;
}

std::size_t StreamConverter::EmitResampled(std::span<const int16_t> samples, uint8_t* out) {
  // The output length is fixed by the input length; anything past it is dropped.
  const auto n = static_cast<std::size_t>(
      std::min<uint64_t>(samples.size(), resampledLength_ - resampledWritten_));
  const uint8_t* table = AlawTables::Linear12ToAlaw().data();
  for (std::size_t i = 0; i < n; ++i) out[i] = table[static_cast<uint16_t>(samples[i])];
  resampledWritten_ += n;
  return n;
}

void StreamConverter::Finish(std::vector<uint8_t>& tail) {
  if (conversion_ != Conversion::Ad6kToPcm) return;
  // The last, shorter chunk (possibly empty), the end step, then silence up to the length.
  std::vector<uint8_t> buffer(2 * kConverterOutputSize);
  std::size_t n = EmitResampled(
      resampler_->ConvertChunk(std::span<const int16_t>(chunk_.data(), chunkFill_)), buffer.data());
  chunkFill_ = 0;
  tail.insert(tail.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
  n = EmitResampled(resampler_->End(), buffer.data());
  tail.insert(tail.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
  tail.insert(tail.end(), resampledLength_ - resampledWritten_, kAlawSilence);
  resampledWritten_ = resampledLength_;
}

}  // namespace voiceconv
