#include "voiceconv/WaveLayout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace voiceconv {
namespace {

// Builds WAVE files chunk by chunk, as various writers lay them out.
class WaveBuilder {
 public:
  WaveBuilder() { Bytes("RIFF"), Le32(0), Bytes("WAVE"); }

  WaveBuilder& Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                      uint32_t size = 16) {
    Bytes("fmt "), Le32(size);
    Le16(tag), Le16(channels), Le32(rate), Le32(rate * channels * bits / 8);
    Le16(static_cast<uint16_t>(channels * bits / 8)), Le16(bits);
    if (size >= 18) Le16(static_cast<uint16_t>(size - 18));
    if (size == 40) {
      Le16(bits), Le32(4);  // valid bits, channel mask
      Le16(1);              // sub-format GUID: PCM ...
      for (int i = 0; i < 14; ++i) data_.push_back(0);
    }
    return *this;
  }
  WaveBuilder& Chunk(const char* id, std::size_t size) {
    Bytes(id), Le32(static_cast<uint32_t>(size));
    data_.insert(data_.end(), size + (size & 1), 'x');  // with its pad byte
    return *this;
  }
  WaveBuilder& Data(std::size_t size, uint32_t declared) {
    Bytes("data"), Le32(declared);
    data_.insert(data_.end(), size, 0x11);
    return *this;
  }
  std::vector<uint8_t> Build() {
    auto v = data_;
    const auto riff = static_cast<uint32_t>(v.size() - 8);
    std::memcpy(v.data() + 4, &riff, 4);
    return v;
  }

 private:
  WaveBuilder& Bytes(const char* s) {
    for (int i = 0; i < 4; ++i) data_.push_back(static_cast<uint8_t>(s[i]));
    return *this;
  }
  WaveBuilder& Le16(uint16_t v) {
    data_.push_back(static_cast<uint8_t>(v));
    data_.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  WaveBuilder& Le32(uint32_t v) {
    return Le16(static_cast<uint16_t>(v)).Le16(static_cast<uint16_t>(v >> 16));
  }
  std::vector<uint8_t> data_;
};

std::variant<WaveLayout, std::string> Parse(const std::vector<uint8_t>& file) {
  return ParseWaveLayout(
      [&file](uint64_t offset, std::span<uint8_t> buffer) {
        if (offset > file.size() || buffer.size() > file.size() - offset) return false;
        std::memcpy(buffer.data(), file.data() + offset, buffer.size());
        return true;
      },
      file.size());
}

TEST(WaveLayout, FindsTheDataChunkOfCommonLayouts) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    uint64_t dataOffset;
    uint64_t dataSize;
    bool open;
  };
  const Case cases[] = {
      {"plain 44-byte header", WaveBuilder().Format(1, 1, 8000, 16).Data(100, 100).Build(), 44, 100,
       false},
      {"18-byte format and fact chunk (the converter's own)",
       WaveBuilder().Format(1, 1, 8000, 16, 18).Chunk("fact", 4).Data(10, 10).Build(), 58, 10,
       false},
      {"LIST before the data",
       WaveBuilder().Format(1, 1, 8000, 16).Chunk("LIST", 26).Data(8, 8).Build(), 78, 8, false},
      {"odd-length chunk with pad byte",
       WaveBuilder().Format(1, 1, 8000, 16).Chunk("junk", 3).Data(6, 6).Build(), 56, 6, false},
      {"extensible format", WaveBuilder().Format(0xFFFE, 1, 8000, 16, 40).Data(4, 4).Build(), 68, 4,
       false},
      {"streaming writer's unknown length",
       WaveBuilder().Format(1, 1, 8000, 16).Data(50, 0xFFFFFFFF).Build(), 44, 50, true},
      {"cut-off file", WaveBuilder().Format(1, 1, 8000, 16).Data(20, 4000).Build(), 44, 20, true},
      {"chunk after the data",
       WaveBuilder().Format(1, 1, 8000, 16).Data(6, 6).Chunk("LIST", 10).Build(), 44, 6, false},
  };
  for (const Case& c : cases) {
    const auto parsed = Parse(c.file);
    ASSERT_TRUE(std::holds_alternative<WaveLayout>(parsed))
        << c.name << ": " << std::get<std::string>(parsed);
    const auto& layout = std::get<WaveLayout>(parsed);
    EXPECT_EQ(layout.dataOffset, c.dataOffset) << c.name;
    EXPECT_EQ(layout.dataSize, c.dataSize) << c.name;
    EXPECT_EQ(layout.dataSizeOpen, c.open) << c.name;
    EXPECT_TRUE(layout.IsTelephonyPcm()) << c.name;
  }
}

TEST(WaveLayout, DescribesOtherFormats) {
  const auto parsed = Parse(WaveBuilder().Format(1, 2, 44100, 16).Data(8, 8).Build());
  ASSERT_TRUE(std::holds_alternative<WaveLayout>(parsed));
  const auto& layout = std::get<WaveLayout>(parsed);
  EXPECT_FALSE(layout.IsTelephonyPcm());
  EXPECT_EQ(layout.DescribeFormat(), "16-bit stereo 44100 Hz PCM");
  const auto alaw =
      std::get<WaveLayout>(Parse(WaveBuilder().Format(6, 1, 8000, 8).Data(8, 8).Build()));
  EXPECT_EQ(alaw.DescribeFormat(), "8-bit mono 8000 Hz format 0x0006");
  EXPECT_FALSE(alaw.IsTelephonyPcm());
}

TEST(WaveLayout, ExplainsBrokenFiles) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    const char* problem;
  };
  std::vector<uint8_t> notRiff(64, 0x55);
  auto pastEnd = WaveBuilder().Format(1, 1, 8000, 16).Build();
  const uint8_t list[] = {'L', 'I', 'S', 'T', 0xFF, 0, 0, 0, 1, 2};
  pastEnd.insert(pastEnd.end(), std::begin(list), std::end(list));
  const Case cases[] = {
      {"headerless", notRiff, "not a RIFF WAVE file"},
      {"empty", {}, "not a RIFF WAVE file"},
      {"no format", WaveBuilder().Chunk("LIST", 4).Data(4, 4).Build(),
       "the data chunk comes before any format chunk"},
      {"no data", WaveBuilder().Format(1, 1, 8000, 16).Build(), "no data chunk"},
      {"chunk past the end", pastEnd, "chunk 'LIST' at offset 36 runs past the end"},
      {"short format", WaveBuilder().Chunk("fmt ", 8).Data(4, 4).Build(),
       "the format chunk is shorter than 16 bytes"},
  };
  for (const Case& c : cases) {
    const auto parsed = Parse(c.file);
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.name;
    EXPECT_EQ(std::get<std::string>(parsed), c.problem) << c.name;
  }
}

}  // namespace
}  // namespace voiceconv
