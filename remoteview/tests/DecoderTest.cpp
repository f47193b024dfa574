// The two stream formats and the per-mode block decoding: the format's worked examples byte for
// byte, the edge cases of the bit layout, every malformed-stream limit, round trips through the
// screen server's encoders, and a check that decoding allocates nothing.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "BlockDecoder.h"
#include "BlockEncoder.h"
#include "HuffmanDecoder.h"
#include "HuffmanEncoder.h"
#include "RunLengthDecoder.h"
#include "RunLengthEncoder.h"

// Counts heap allocations of this test program, to show the decoders make none. GCC cannot see
// that the replaced operators pair malloc with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
std::atomic<long> gAllocations{0};
}
void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace harnvik {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Example {
  const char* name;
  Bytes stream;
  Bytes decoded;
  bool huffman;
};

// The format's own worked examples.
const std::vector<Example>& WorkedExamples() {
  static const std::vector<Example> examples{
      {"HuffmanOneNode",
       {0x02, 0, 0, 0, 0x03, 0, 0x01, 0x01, 0x61, 0, 0x62, 0, 0, 0, 0, 0x40},
       {0x61, 0x62},
       true},
      {"HuffmanTwoNodes",
       {0x04, 0,    0,    0,    0x06, 0,    0x01, 0x01, 0x62, 0, 0x63,
        0,    0x02, 0x01, 0x61, 0,    0x01, 0x01, 0,    0,    0, 0x58},
       {0x61, 0x62, 0x63, 0x61},
       true},
      {"RunLengthRunThenLiteral",
       {0x05, 0, 0, 0, 0x20, 0x36, 0x8C, 0x00},
       {0x61, 0x61, 0x61, 0x61, 0x62},
       false},
  };
  return examples;
}

DecodeResult Decode(const Example& e, Bytes& out) {
  out.assign(e.decoded.size(), 0xEE);
  return e.huffman ? HuffmanDecode(e.stream, out) : RunLengthDecode(e.stream, out);
}

TEST(StreamDecoders, WorkedExamplesDecodeByteForByte) {
  for (const Example& e : WorkedExamples()) {
    SCOPED_TRACE(e.name);
    Bytes out;
    const DecodeResult result = Decode(e, out);
    ASSERT_TRUE(result.Ok()) << DecodeStatusText(result.status);
    EXPECT_EQ(result.length, e.decoded.size());
    EXPECT_EQ(out, e.decoded);
    EXPECT_EQ(StreamOutputLength(e.stream), e.decoded.size());
  }
}

TEST(StreamDecoders, ServerEncodersReproduceTheWorkedExamples) {
  EXPECT_EQ(screenserver::HuffmanEncode(Bytes{0x61, 0x62}), WorkedExamples()[0].stream);
  EXPECT_EQ(screenserver::RunLengthEncode(Bytes{0x61, 0x61, 0x61, 0x61, 0x62}),
            WorkedExamples()[2].stream);
}

// Writes codes, most significant bit first, into little-endian words.
Bytes PackBits(const std::vector<std::pair<std::uint32_t, unsigned>>& codes) {
  Bytes words;
  std::uint64_t buffer = 0;
  unsigned pending = 0;
  for (auto [code, bits] : codes) {
    buffer = (buffer << bits) | code;
    pending += bits;
    while (pending >= 32) {
      pending -= 32;
      const auto w = static_cast<std::uint32_t>(buffer >> pending);
      words.insert(words.end(), {std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(w >> 16),
                                 std::uint8_t(w >> 24)});
    }
  }
  if (pending > 0) {
    const auto w = static_cast<std::uint32_t>(buffer << (32 - pending));
    words.insert(words.end(), {std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(w >> 16),
                               std::uint8_t(w >> 24)});
  }
  return words;
}

Bytes Le32(std::uint32_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

Bytes HuffmanStream(std::uint32_t length, const std::vector<std::uint16_t>& table,
                    const Bytes& words) {
  Bytes s = Le32(length);
  s.push_back(std::uint8_t(table.size()));
  s.push_back(std::uint8_t(table.size() >> 8));
  for (std::uint16_t e : table) {
    s.push_back(std::uint8_t(e));
    s.push_back(std::uint8_t(e >> 8));
  }
  s.insert(s.end(), words.begin(), words.end());
  return s;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(HuffmanDecode, EntryOf256IsALeafYieldingZero) {
  // Root (257, 256, 0x41): bit 0 gives byte 0, bit 1 gives 0x41.
  const Bytes stream = HuffmanStream(3, {257, 256, 0x41}, PackBits({{0b010, 3}}));
  Bytes out(3);
  ASSERT_TRUE(HuffmanDecode(stream, out).Ok());
  EXPECT_EQ(out, (Bytes{0x00, 0x41, 0x00}));
}

TEST(HuffmanDecode, CodesCrossWordBoundariesAndFillBitsAreIgnored) {
  // Three-bit codes through two nodes: 0x61 = 0, 0x62 = 10, 0x63 = 11. Seventeen codes of 0x63
  // and 0x62 alternate: 2 bits each, so they run over a word boundary; the rest is fill.
  std::vector<std::pair<std::uint32_t, unsigned>> codes;
  Bytes expected;
  for (int i = 0; i < 17; ++i) {
    codes.push_back({i % 2 ? 0b10u : 0b11u, 2});
    expected.push_back(i % 2 ? 0x62 : 0x63);
  }
  codes.push_back({0, 1});
  expected.push_back(0x61);
  Bytes words = PackBits(codes);
  ASSERT_EQ(words.size(), 8u);
  words[4] |= 0x3F;  // fill bits at the end of the last word, set to ones: never read
  const Bytes stream =
      HuffmanStream(std::uint32_t(expected.size()), {257, 0x62, 0x63, 258, 0x61, 257}, words);
  Bytes out(expected.size());
  ASSERT_TRUE(HuffmanDecode(stream, out).Ok());
  EXPECT_EQ(out, expected);
}

TEST(HuffmanDecode, DuplicateIdentifiersResolveToTheNearestEarlierTriple) {
  // Two triples both called 257; the root's child 257 means the one just before it.
  const Bytes stream =
      HuffmanStream(2, {257, 0x10, 0x11, 257, 0x20, 0x21, 258, 257, 0x30}, PackBits({{0b001, 3}}));
  Bytes out(2);
  ASSERT_TRUE(HuffmanDecode(stream, out).Ok());
  EXPECT_EQ(out, (Bytes{0x20, 0x30}));
}

TEST(RunLengthDecode, RunOfZeroWritesNothingAndDecodingGoesOn) {
  const Bytes stream =
      Concat(Le32(2), PackBits({{(0u << 8) | 0x55, 19}, {0x100 | 0x41, 9}, {0x100 | 0x42, 9}}));
  Bytes out(2);
  ASSERT_TRUE(RunLengthDecode(stream, out).Ok());
  EXPECT_EQ(out, (Bytes{0x41, 0x42}));
}

TEST(RunLengthDecode, RunsOf1023And1024) {
  const Bytes run1023 = screenserver::RunLengthEncode(Bytes(1023, 0x7A));
  const Bytes run1024 = screenserver::RunLengthEncode(Bytes(1024, 0x7A));
  // 1023 fits one 19-bit code; 1024 needs a second code for the last byte.
  EXPECT_EQ(run1023, Concat(Le32(1023), PackBits({{(1023u << 8) | 0x7A, 19}})));
  EXPECT_EQ(run1024, Concat(Le32(1024), PackBits({{(1023u << 8) | 0x7A, 19}, {0x100u | 0x7A, 9}})));
  for (const Bytes* stream : {&run1023, &run1024}) {
    Bytes out(StreamOutputLength(*stream).value());
    ASSERT_TRUE(RunLengthDecode(*stream, out).Ok());
    EXPECT_EQ(out, Bytes(out.size(), 0x7A));
  }
}

TEST(RunLengthDecode, CodesCrossWordBoundaries) {
  // Literal, run, literal, run ... 9 and 19 bits: boundaries fall inside codes of both kinds.
  std::vector<std::pair<std::uint32_t, unsigned>> codes;
  Bytes expected;
  for (int i = 0; i < 10; ++i) {
    codes.push_back({0x100u | std::uint32_t(i), 9});
    expected.push_back(std::uint8_t(i));
    codes.push_back({(std::uint32_t(i + 3) << 8) | 0xC0u, 19});
    expected.insert(expected.end(), i + 3, 0xC0);
  }
  const Bytes stream = Concat(Le32(std::uint32_t(expected.size())), PackBits(codes));
  Bytes out(expected.size());
  ASSERT_TRUE(RunLengthDecode(stream, out).Ok());
  EXPECT_EQ(out, expected);
}

struct Malformed {
  const char* name;
  Bytes stream;
  std::size_t outputSize;
  bool huffman;
  DecodeStatus expected;
};

TEST(StreamDecoders, RefuseEveryMalformedStream) {
  const Bytes oneBit = PackBits({{0, 1}});
  std::vector<std::uint16_t> fullTable;
  for (std::uint16_t i = 0; i < 256; ++i)
    fullTable.insert(fullTable.end(), {std::uint16_t(257 + i), 1, 2});
  const std::vector<Malformed> cases{
      // With L = 0 the format's decoders never stop.
      {"HuffmanLengthZero", HuffmanStream(0, {257, 1, 2}, oneBit), 4, true,
       DecodeStatus::kEmptyStream},
      {"RunLengthLengthZero", Concat(Le32(0), oneBit), 4, false, DecodeStatus::kEmptyStream},
      {"HuffmanShorterThanHeader", {1, 0, 0, 0, 3}, 4, true, DecodeStatus::kTruncated},
      {"HuffmanNoEntries", HuffmanStream(1, {}, oneBit), 4, true, DecodeStatus::kBadTable},
      {"HuffmanEntriesNotTriples", HuffmanStream(1, {257, 1, 2, 258}, oneBit), 4, true,
       DecodeStatus::kBadTable},
      {"Huffman256Nodes", HuffmanStream(1, fullTable, oneBit), 4, true, DecodeStatus::kBadTable},
      {"HuffmanTableCut", Concat(Concat(Le32(1), {6, 0}), {1, 1, 1, 0}), 4, true,
       DecodeStatus::kTruncated},
      {"HuffmanUnknownChild", HuffmanStream(1, {257, 1, 300}, PackBits({{1, 1}})), 4, true,
       DecodeStatus::kBadNodeReference},
      {"HuffmanForwardReference", HuffmanStream(1, {257, 1, 258, 258, 3, 4}, oneBit), 4, true,
       DecodeStatus::kBadNodeReference},
      {"HuffmanSelfReference", HuffmanStream(1, {257, 1, 257}, oneBit), 4, true,
       DecodeStatus::kBadNodeReference},
      {"HuffmanCodesEndEarly", HuffmanStream(40, {257, 1, 2}, oneBit), 40, true,
       DecodeStatus::kTruncated},
      {"HuffmanNoCodeWords", HuffmanStream(1, {257, 1, 2}, {}), 4, true, DecodeStatus::kTruncated},
      {"HuffmanOutputTooSmall", WorkedExamples()[1].stream, 3, true, DecodeStatus::kOutputTooSmall},
      {"RunLengthOutputTooSmall", WorkedExamples()[2].stream, 4, false,
       DecodeStatus::kOutputTooSmall},
      {"RunPastTheEnd", Concat(Le32(3), PackBits({{(4u << 8) | 0x61, 19}})), 8, false,
       DecodeStatus::kRunPastEnd},
      {"RunLengthCodesEndEarly", Concat(Le32(100), PackBits({{(4u << 8) | 0x61, 19}})), 100, false,
       DecodeStatus::kTruncated},
      {"RunLengthOnlyCountZeroRuns", Concat(Le32(1), Bytes(64, 0)), 1, false,
       DecodeStatus::kTruncated},
      {"RunLengthNoLength", {5, 0, 0}, 8, false, DecodeStatus::kTruncated},
  };
  for (const Malformed& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(c.outputSize, 0xEE);
    const DecodeResult r =
        c.huffman ? HuffmanDecode(c.stream, out) : RunLengthDecode(c.stream, out);
    EXPECT_EQ(r.status, c.expected) << DecodeStatusText(r.status);
  }
}

// Decodes a block the way the viewer's connection does, with buffers of the cell's size.
DecodeResult DecodeLikeTheViewer(CompressionMode mode, const screenserver::EncodedBlock& block,
                                 std::size_t cellBytes, Bytes& out) {
  Bytes buffer(std::max(cellBytes, block.data.size()));
  std::copy(block.data.begin(), block.data.end(), buffer.begin());
  out.assign(cellBytes, 0);
  Bytes scratch(
      mode == CompressionMode::kRunLengthHuffman ? StreamOutputLength(block.data).value_or(0) : 0);
  const BlockDecodeRequest request{mode, block.passes, std::uint32_t(cellBytes), block.data.size()};
  return DecodeBlock(request, buffer, out, scratch);
}

Bytes RandomData(std::mt19937& random, int kind, std::size_t size) {
  Bytes data(size);
  std::uniform_int_distribution<int> byte(0, 255);
  std::geometric_distribution<int> skewed(0.3);
  std::uniform_int_distribution<int> runLength(1, 3000);
  for (std::size_t i = 0; i < size;) {
    switch (kind) {
      case 0:
        data[i++] = std::uint8_t(byte(random));
        break;
      case 1:
        data[i++] = std::uint8_t(std::min(skewed(random), 255));
        break;
      default: {
        const std::uint8_t v = std::uint8_t(byte(random) & 0x0F);
        for (int n = runLength(random); n > 0 && i < size; --n) data[i++] = v;
      }
    }
  }
  return data;
}

TEST(BlockDecoder, RandomRoundTripsThroughTheServerEncodersInEveryMode) {
  std::mt19937 random(20240607);
  for (const auto& info : kCompressionModes) {
    for (int kind = 0; kind < 3; ++kind) {
      for (std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{1023}, std::size_t{1024},
                               std::size_t{4099}, std::size_t{70000}}) {
        SCOPED_TRACE(testing::Message() << info.name << " kind " << kind << " size " << size);
        const Bytes data = RandomData(random, kind, size);
        const auto block = screenserver::EncodeBlock(
            static_cast<screenserver::Compression>(ModeNumber(info.mode)), data, size);
        Bytes out;
        const DecodeResult r = DecodeLikeTheViewer(info.mode, block, size, out);
        ASSERT_TRUE(r.Ok()) << DecodeStatusText(r.status);
        ASSERT_EQ(r.length, size);
        ASSERT_EQ(out, data);
      }
    }
  }
}

TEST(BlockDecoder, MultiPassWithOnePassIsPlainHuffman) {
  const Bytes data{1, 2, 3, 3, 3, 3, 4, 4, 9};
  screenserver::EncodedBlock block{screenserver::HuffmanEncode(data), 1};
  Bytes viaMultiPass;
  Bytes viaHuffman;
  ASSERT_TRUE(
      DecodeLikeTheViewer(CompressionMode::kMultiPassHuffman, block, 16, viaMultiPass).Ok());
  ASSERT_TRUE(DecodeLikeTheViewer(CompressionMode::kHuffman, block, 16, viaHuffman).Ok());
  EXPECT_EQ(viaMultiPass, viaHuffman);
}

TEST(BlockDecoder, MultiPassDecodesEveryPass) {
  // Three passes by hand, whatever the server's encoder would choose.
  const Bytes data(5000, 0x11);
  screenserver::EncodedBlock block{screenserver::HuffmanEncode(data), 1};
  block.data = screenserver::HuffmanEncode(block.data);
  block.data = screenserver::HuffmanEncode(block.data);
  block.passes = 3;
  Bytes out;
  const DecodeResult r = DecodeLikeTheViewer(CompressionMode::kMultiPassHuffman, block, 5000, out);
  ASSERT_TRUE(r.Ok()) << DecodeStatusText(r.status);
  EXPECT_EQ(out, data);
}

TEST(BlockDecoder, RefusesBrokenLimits) {
  const Bytes data(300, 0x42);
  const screenserver::EncodedBlock huffman{screenserver::HuffmanEncode(data), 1};
  Bytes out;
  for (std::int32_t passes : {0, -1, kMaxHuffmanPasses + 1}) {
    auto block = huffman;
    block.passes = passes;
    EXPECT_EQ(DecodeLikeTheViewer(CompressionMode::kMultiPassHuffman, block, 300, out).status,
              DecodeStatus::kBadPasses);
  }
  // Mode 11 whose intermediate pass does not fit the cell: the first pass yields a 300-byte
  // stream, which a 200-byte cell cannot hold.
  screenserver::EncodedBlock twice{screenserver::HuffmanEncode(screenserver::HuffmanEncode(data)),
                                   2};
  EXPECT_EQ(DecodeLikeTheViewer(CompressionMode::kMultiPassHuffman, twice, 20, out).status,
            DecodeStatus::kOutputTooSmall);
  // Mode 0 takes raw-size bytes; a block shorter than that is refused, not read past.
  Bytes block(10, 1);
  Bytes cell(64);
  Bytes none;
  EXPECT_EQ(DecodeBlock({CompressionMode::kNone, 1, 64, 10}, block, cell, none).status,
            DecodeStatus::kTruncated);
  // Mode 13 with room for less than its inner stream.
  const Bytes rl = screenserver::RunLengthEncode(data);
  Bytes wrapped = screenserver::HuffmanEncode(rl);
  Bytes scratch(rl.size() - 1);
  EXPECT_EQ(DecodeBlock({CompressionMode::kRunLengthHuffman, 1, 300, wrapped.size()}, wrapped, cell,
                        scratch)
                .status,
            DecodeStatus::kOutputTooSmall);
  EXPECT_EQ(DecodeBlock({static_cast<CompressionMode>(7), 1, 300, 0}, block, cell, none).status,
            DecodeStatus::kUnknownMode);
}

TEST(BlockDecoder, AllocatesNothing) {
  std::mt19937 random(7);
  const Bytes data = RandomData(random, 2, 20000);
  for (const auto& info : kCompressionModes) {
    const auto block = screenserver::EncodeBlock(
        static_cast<screenserver::Compression>(ModeNumber(info.mode)), data, data.size());
    Bytes buffer(std::max(data.size(), block.data.size()));
    std::copy(block.data.begin(), block.data.end(), buffer.begin());
    Bytes out(data.size());
    Bytes scratch(2 * data.size() + 64);
    const BlockDecodeRequest request{info.mode, block.passes, std::uint32_t(data.size()),
                                     block.data.size()};
    const long before = gAllocations.load();
    const DecodeResult r = DecodeBlock(request, buffer, out, scratch);
    const long after = gAllocations.load();
    ASSERT_TRUE(r.Ok()) << info.name;
    EXPECT_EQ(after - before, 0) << info.name;
  }
}

}  // namespace
}  // namespace harnvik
