#include "voiceconv/WaveLayout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace voiceconv {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;
constexpr uint64_t kRiffHeaderSize = 12;
constexpr uint64_t kChunkHeaderSize = 8;
// A file with more chunks than this before its data is not a voice prompt.
constexpr std::size_t kMaxChunks = 10000;

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
  return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16;
}

std::string Printable(const std::array<char, 4>& id) {
  std::string s;
  for (char c : id) s += (c >= 0x20 && c < 0x7F) ? c : '?';
  return s;
}

}  // namespace

bool WaveLayout::IsPcm() const {
  return formatTag == kFormatPcm || (formatTag == kFormatExtensible && subFormat == kFormatPcm);
}

bool WaveLayout::IsTelephonyPcm() const {
  return IsPcm() && channels == 1 && sampleRate == 8000 && bitsPerSample == 16;
}

std::string WaveLayout::DescribeFormat() const {
  std::string channelText = channels == 1   ? "mono"
                            : channels == 2 ? "stereo"
                                            : std::to_string(channels) + "-channel";
  std::string format;
  if (IsPcm()) {
    format = "PCM";
  } else {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "format 0x%04X", formatTag);
    format = buffer;
  }
  return std::to_string(bitsPerSample) + "-bit " + channelText + " " + std::to_string(sampleRate) +
         " Hz " + format;
}

bool LooksLikeWave(std::span<const uint8_t> head) {
  return head.size() >= kRiffHeaderSize && std::memcmp(head.data(), "RIFF", 4) == 0 &&
         std::memcmp(head.data() + 8, "WAVE", 4) == 0;
}

std::variant<WaveLayout, std::string> ParseWaveLayout(const ReadAt& read, uint64_t fileSize) {
  std::array<uint8_t, kRiffHeaderSize> riff{};
  if (fileSize < kRiffHeaderSize || !read(0, riff) || !LooksLikeWave(riff)) {
    return std::string("not a RIFF WAVE file");
  }
  WaveLayout layout;
  layout.riffSize = Le32(riff.data() + 4);
  bool haveFormat = false;
  bool haveData = false;

  uint64_t offset = kRiffHeaderSize;
  while (offset + kChunkHeaderSize <= fileSize && !haveData) {
    if (layout.chunks.size() >= kMaxChunks) return std::string("too many chunks before the data");
    std::array<uint8_t, kChunkHeaderSize> header{};
    if (!read(offset, header))
      return std::string("cannot read the chunk at offset ") + std::to_string(offset);
    WaveChunk chunk{};
    std::memcpy(chunk.id.data(), header.data(), 4);
    chunk.offset = offset;
    chunk.size = Le32(header.data() + 4);
    layout.chunks.push_back(chunk);
    const uint64_t body = offset + kChunkHeaderSize;
    const uint64_t available = fileSize - body;
    const std::string name = Printable(chunk.id);

    if (name == "data") {
      if (!haveFormat) return std::string("the data chunk comes before any format chunk");
      layout.dataOffset = body;
      layout.declaredDataSize = chunk.size;
      // A streaming writer leaves the length unknown; a cut file has less than it says.
      layout.dataSizeOpen = chunk.size == kUnknownSize || chunk.size > available;
      layout.dataSize = layout.dataSizeOpen ? available : chunk.size;
      haveData = true;
      break;
    }
    if (chunk.size > available) {
      return "chunk '" + name + "' at offset " + std::to_string(offset) + " runs past the end";
    }
    if (name == "fmt ") {
      if (chunk.size < 16) return std::string("the format chunk is shorter than 16 bytes");
      std::array<uint8_t, 40> fmt{};
      const std::size_t wanted = std::min<std::size_t>(chunk.size, fmt.size());
      if (!read(body, std::span<uint8_t>(fmt.data(), wanted))) {
        return std::string("cannot read the format chunk");
      }
      layout.formatTag = Le16(&fmt[0]);
      layout.channels = Le16(&fmt[2]);
      layout.sampleRate = Le32(&fmt[4]);
      layout.byteRate = Le32(&fmt[8]);
      layout.blockAlign = Le16(&fmt[12]);
      layout.bitsPerSample = Le16(&fmt[14]);
      // WAVE_FORMAT_EXTENSIBLE: cbSize 22, valid bits, channel mask, then the sub-format GUID
      // whose first two bytes are the format tag it stands for.
      if (layout.formatTag == kFormatExtensible && wanted >= 26) {
        layout.subFormat = Le16(&fmt[24]);
      }
      haveFormat = true;
    } else if (name == "fact" && chunk.size >= 4) {
      std::array<uint8_t, 4> fact{};
      if (!read(body, fact)) return std::string("cannot read the fact chunk");
      layout.factSamples = Le32(fact.data());
    }
    // Chunks are padded to an even length.
    offset = body + chunk.size + (chunk.size & 1);
  }
  if (!haveFormat) return std::string("no format chunk");
  if (!haveData) return std::string("no data chunk");
  return layout;
}

}  // namespace voiceconv
