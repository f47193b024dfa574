#include "FileInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <variant>

#include "voiceconv/Conversion.h"
#include "voiceconv/WaveLayout.h"

namespace voiceconv::tool {
namespace {

std::string Format(const char* format, auto... args) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

std::string Duration(uint64_t samples, uint32_t rate) {
  return rate ? Format("%.3f s", static_cast<double>(samples) / rate) : std::string("unknown");
}

std::string ChunkName(const WaveChunk& chunk) {
  std::string name;
  for (char c : chunk.id) name += (c >= 0x20 && c < 0x7F) ? c : '?';
  return name;
}

std::string DescribeWave(const WaveLayout& w, uint64_t fileSize) {
  std::string text = "RIFF WAVE, " + w.DescribeFormat() + "\n";
  text += Format("  file %llu bytes, RIFF length %u\n", static_cast<unsigned long long>(fileSize),
                 w.riffSize);
  text += Format("  format tag 0x%04X, %u channel(s), %u Hz, %u bytes/s, block align %u, %u bits\n",
                 w.formatTag, w.channels, w.sampleRate, w.byteRate, w.blockAlign, w.bitsPerSample);
  if (w.factSamples) text += Format("  fact: %u samples\n", *w.factSamples);
  text += "  chunks:";
  for (const WaveChunk& c : w.chunks) {
    text += Format(" '%s' (%u bytes at %llu)", ChunkName(c).c_str(), c.size,
                   static_cast<unsigned long long>(c.offset));
  }
  text += "\n";
  const uint64_t frames = w.blockAlign ? w.dataSize / w.blockAlign : 0;
  text += Format("  data: %llu bytes at offset %llu", static_cast<unsigned long long>(w.dataSize),
                 static_cast<unsigned long long>(w.dataOffset));
  if (w.dataSizeOpen) {
    text += Format(" (declared %u: %s)", w.declaredDataSize,
                   w.declaredDataSize == 0xFFFFFFFF ? "unknown length, taken to the end of the file"
                                                    : "more than the file holds");
  }
  text += Format(", %llu samples, %s\n", static_cast<unsigned long long>(frames),
                 Duration(frames, w.sampleRate).c_str());
  text += w.IsTelephonyPcm() ? "  wave2pcm converts it\n"
                             : "  wave2pcm refuses it: it needs 16-bit mono 8000 Hz PCM\n";
  return text;
}

std::string DescribeHeaderless(uint64_t size, int rate) {
  const auto r = static_cast<uint32_t>(rate);
  std::string text = Format("headerless, %llu bytes\n", static_cast<unsigned long long>(size));
  text += Format("  as A-law PCM at %u Hz: %llu samples, %s\n", r,
                 static_cast<unsigned long long>(size), Duration(size, r).c_str());
  text += Format("  as 4-bit ADPCM at %u Hz: %llu samples, %s\n", r,
                 static_cast<unsigned long long>(2 * size), Duration(2 * size, r).c_str());
  return text;
}

}  // namespace

FileReport DescribeFile(const std::string& path, int headerlessRate) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {false, "'" + path + "': cannot open: " + std::strerror(errno)};
  struct stat st {};
  FileReport report;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    report = {false, "'" + path + "': not a regular file"};
  } else {
    const auto size = static_cast<uint64_t>(st.st_size);
    const ReadAt readAt = [fd](uint64_t offset, std::span<uint8_t> buffer) {
      return ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(offset)) ==
             static_cast<ssize_t>(buffer.size());
    };
    std::array<uint8_t, 12> head{};
    if (size >= head.size() && readAt(0, head) && LooksLikeWave(head)) {
      auto parsed = ParseWaveLayout(readAt, size);
      if (auto* problem = std::get_if<std::string>(&parsed)) {
        report = {false, "'" + path + "': RIFF WAVE, but " + *problem};
      } else {
        report = {true, path + ": " + DescribeWave(std::get<WaveLayout>(parsed), size)};
      }
    } else {
      report = {true, path + ": " + DescribeHeaderless(size, headerlessRate)};
    }
  }
  ::close(fd);
  return report;
}

}  // namespace voiceconv::tool
