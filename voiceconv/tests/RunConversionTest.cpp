// The conversion loop against sources and sinks that fail on purpose.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "voiceconv/FileConversion.h"

namespace voiceconv {
namespace {

class MemorySource : public ByteSource {
 public:
  // Gives the bytes in short reads; fails with error (or ends, error 0) after failAfter bytes.
  MemorySource(std::vector<uint8_t> bytes, std::size_t failAfter = SIZE_MAX, int error = EIO)
      : bytes_(std::move(bytes)), failAfter_(failAfter), error_(error) {}
  IoResult Read(std::span<uint8_t> buffer) override {
    if (at_ >= failAfter_) return {0, error_};
    const std::size_t n =
        std::min({buffer.size(), bytes_.size() - at_, failAfter_ - at_, std::size_t{1000}});
    std::memcpy(buffer.data(), bytes_.data() + at_, n);
    at_ += n;
    return {n, 0};
  }

 private:
  std::vector<uint8_t> bytes_;
  std::size_t at_ = 0;
  std::size_t failAfter_;
  int error_;
};

class MemorySink : public ByteSink {
 public:
  explicit MemorySink(std::size_t room = SIZE_MAX) : room_(room) {}
  IoResult Write(std::span<const uint8_t> data) override {
    const std::size_t n = std::min(data.size(), room_ - bytes.size());
    bytes.insert(bytes.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    return n == data.size() ? IoResult{n, 0} : IoResult{n, ENOSPC};
  }
  std::vector<uint8_t> bytes;

 private:
  std::size_t room_;
};

class RecordingObserver : public BlockObserver {
 public:
  void OnBlock(uint64_t handled, uint64_t total) override {
    blocks.push_back(handled * 100 / total + 1);
  }
  std::vector<uint64_t> blocks;
};

TEST(RunConversion, ConvertsExactlyTheGivenLength) {
  MemorySource source(std::vector<uint8_t>(5000, 0x55));
  MemorySink sink;
  const auto r = RunConversion(Conversion::PcmToWave, source, 5000, sink, {.pieceSize = 777});
  EXPECT_EQ(r.status, Status::Converted);
  EXPECT_EQ(sink.bytes.size(), 58u + 10000u);
  EXPECT_EQ(r.destinationBytes, sink.bytes.size());
}

TEST(RunConversion, FailuresPartWayAreReported) {
  struct Case {
    const char* name;
    std::size_t failAfter;
    int error;
    std::size_t room;
    const char* message;
  };
  const Case cases[] = {
      {"read error", 3000, EIO, SIZE_MAX, "source: reading failed: Input/output error"},
      {"source shrank", 3000, 0, SIZE_MAX, "source: ended after 3000 of 8000 bytes"},
      {"disk full", SIZE_MAX, 0, 3000, "destination: writing failed: No space left on device"},
  };
  for (const ConversionInfo& info : kConversions) {
    for (const Case& c : cases) {
      MemorySource source(std::vector<uint8_t>(8000, 0x12), c.failAfter, c.error);
      MemorySink sink(c.room);
      const auto r = RunConversion(info.id, source, 8000, sink, {.pieceSize = 1024});
      EXPECT_EQ(r.status, Status::ConversionFailed) << info.command << ", " << c.name;
      EXPECT_EQ(r.message, c.message) << info.command << ", " << c.name;
    }
  }
}

// Memory that cannot be had part-way fails the conversion instead of escaping as an exception.
TEST(RunConversion, OutOfMemoryIsAFailedConversion) {
  class StarvedSink : public ByteSink {
   public:
    IoResult Write(std::span<const uint8_t>) override { throw std::bad_alloc(); }
  };
  for (const ConversionInfo& info : kConversions) {
    MemorySource source(std::vector<uint8_t>(5000, 0x12));
    StarvedSink sink;
    const auto r = RunConversion(info.id, source, 5000, sink);
    EXPECT_EQ(r.status, Status::ConversionFailed) << info.command;
    EXPECT_EQ(r.message, "out of memory") << info.command;
  }
}

TEST(RunConversion, ToldOfEachBlockOfAdpcm) {
  for (std::size_t piece : {7u, 160u, 4096u}) {
    MemorySource source(std::vector<uint8_t>(320, 0x77));
    MemorySink sink;
    RecordingObserver observer;
    const auto r = RunConversion(Conversion::AdToPcm, source, 320, sink,
                                 {.observer = &observer, .pieceSize = piece});
    EXPECT_EQ(r.status, Status::Converted);
    EXPECT_EQ(observer.blocks, (std::vector<uint64_t>{1, 51})) << "piece " << piece;
  }
  MemorySource source(std::vector<uint8_t>(1000, 0x77));
  MemorySink sink;
  RecordingObserver observer;
  (void)RunConversion(Conversion::AdToPcm, source, 1000, sink, {.observer = &observer});
  EXPECT_EQ(observer.blocks, (std::vector<uint64_t>{1, 17, 33, 49, 65, 81, 97}));
}

}  // namespace
}  // namespace voiceconv
