// Line re-framing in both directions, on code streams built bit by bit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "TestStreams.h"
#include "faxconv/LineRecoder.h"

namespace faxconv {
namespace {

using ::testing::ElementsAre;
using testing::StreamBuilder;
using Bytes = std::vector<uint8_t>;

struct Page {
  std::vector<Bytes> lines;
  PageCounts counts;
};

class Capture final : public PageSink {
 public:
  void WriteLine(std::span<const uint8_t> line) override {
    current.lines.emplace_back(line.begin(), line.end());
  }
  void EndPage(const PageCounts& counts) override {
    current.counts = counts;
    pages.push_back(std::move(current));
    current = {};
  }
  std::vector<Page> pages;
  Page current;
};

// The white line 1728 + 0 as code words: 010011011 00110101, packed least significant bit
// first, then zeros to the byte boundary.
const Bytes kWhiteCodes = {0xB2, 0x59, 0x01};
// The same line closed for a TIFF: three fill bits and an EOL ending on a byte boundary.
const Bytes kTiffWhiteLine = {0xB2, 0x59, 0x01, 0x80};
const Bytes kAlignedEol = {0x00, 0x80};

Bytes BfxWhiteLine() {
  Bytes line = kWhiteCodes;
  line.resize(22, 0);
  line.push_back(0x00);
  line.push_back(0x80);
  return line;
}

// BFX to TIFF: feeds one page as the conversion does (data, then the seven-EOL trailer).
Capture BfxToTiff(const std::vector<Bytes>& pages, LeadingFill fill = LeadingFill::Absent) {
  Capture sink;
  LineRecoder r(Direction::BfxToTiff, sink);
  r.StartConversion(fill);
  for (const Bytes& data : pages) {
    r.StartPage();
    Flow flow = r.Feed(data, BitOrder::LsbFirst);
    if (flow == Flow::Continue) flow = r.Feed(bfx::kPageTrailer, BitOrder::LsbFirst);
    if (flow == Flow::Continue) r.FinishPage();
  }
  return sink;
}

// TIFF to BFX: one page of one or more strips, fed in blocks of `block` bytes.
Capture TiffToBfx(const std::vector<Bytes>& strips, std::size_t block = 4096,
                  Polarity polarity = Polarity::WhiteIsZero) {
  const BitOrder order = BitOrder::LsbFirst;
  Capture sink;
  LineRecoder r(Direction::TiffToBfx, sink);
  r.StartConversion();
  r.SetPolarity(polarity);
  for (const Bytes& strip : strips) {
    r.StartStrip();
    for (std::size_t at = 0; at < strip.size(); at += block) {
      (void)r.Feed({strip.data() + at, std::min(block, strip.size() - at)}, order);
    }
  }
  r.FinishPage();
  return sink;
}

TEST(BfxToTiff, TwoWhiteLinesMakeAStripOfTheOpeningLineAndTwoAlignedLines) {
  const Bytes page = StreamBuilder().Eol().WhiteLine().Eol().WhiteLine().Eol().Eols(6).Bytes();
  const Capture got = BfxToTiff({page});
  ASSERT_EQ(got.pages.size(), 1u);
  EXPECT_THAT(got.pages[0].lines, ElementsAre(kAlignedEol, kTiffWhiteLine, kTiffWhiteLine));
  EXPECT_EQ(got.pages[0].counts.rows, 3u);  // ImageLength: the empty opening line counts
}

TEST(BfxToTiff, AWrongWidthLineIsReplacedByTheLineBeforeIt) {
  const Bytes page = StreamBuilder()
                         .Eol()
                         .Runs({1700})  // first image line: 28 pixels short
                         .Eol()
                         .Runs({100, 28, 1600})
                         .Eol()
                         .Runs({1000, 700})  // short again
                         .Eol()
                         .Eols(6)
                         .Bytes();
  const Capture got = BfxToTiff({page});
  ASSERT_EQ(got.pages.size(), 1u);
  const auto& lines = got.pages[0].lines;
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], kAlignedEol);  // the opening line stands in for the first bad line
  EXPECT_EQ(lines[3], lines[2]);
  EXPECT_EQ(got.pages[0].counts.replaced, 2u);
}

TEST(BfxToTiff, LeadingFillMakesAReplacedLineAndLeavesOutTheFirstGoodOne) {
  // 60 0xFF bytes decode as white 7 / black 2 pairs: 720 pixels, a wrong line with nothing
  // before it. It still counts as a row; the first good line after it is not written.
  StreamBuilder s;
  s.Bits(std::string(480, '1')).Eol().WhiteLine().Eol().Runs({64, 1664}).Eol().Eols(6);
  const Capture got = BfxToTiff({s.Bytes()}, LeadingFill::Present);
  ASSERT_EQ(got.pages.size(), 1u);
  const auto& page = got.pages[0];
  EXPECT_EQ(page.lines.size(), 2u);
  EXPECT_TRUE(page.lines[0].empty());
  EXPECT_EQ(page.counts.rows, 2u);
  EXPECT_EQ(page.counts.replaced, 1u);
  EXPECT_EQ(page.counts.dropped, 1u);
  // The same page without the leading fill flag keeps its first good line.
  EXPECT_EQ(BfxToTiff({s.Bytes()}).pages[0].lines.size(), 3u);
}

TEST(BothDirections, GarbageBetweenCodeWordsCostsTheLineItHits) {
  const Bytes bfxPage = StreamBuilder()
                            .Eol()
                            .WhiteLine()
                            .Eol()
                            .Runs({864})
                            .Bits("0000000")  // seven 0 bits: no code word begins so
                            .Runs({864})
                            .Eol()
                            .WhiteLine()
                            .Eol()
                            .Eols(6)
                            .Bytes();
  const Capture tiff = BfxToTiff({bfxPage});
  ASSERT_EQ(tiff.pages.size(), 1u);
  EXPECT_THAT(tiff.pages[0].lines,
              ElementsAre(kAlignedEol, kTiffWhiteLine, kTiffWhiteLine, kTiffWhiteLine));
  EXPECT_EQ(tiff.pages[0].counts.replaced, 1u);

  const Bytes strip = StreamBuilder()
                          .Eol()
                          .WhiteLine()
                          .Eol()
                          .Runs({864})
                          .Bits("0000000")
                          .Runs({864})
                          .Eol()
                          .Eols(1)
                          .Bytes();
  const Capture bfx = TiffToBfx({strip});
  ASSERT_EQ(bfx.pages.size(), 1u);
  EXPECT_THAT(bfx.pages[0].lines, ElementsAre(kAlignedEol, BfxWhiteLine(), BfxWhiteLine()));
  EXPECT_EQ(bfx.pages[0].counts.replaced, 1u);
}

TEST(TiffToBfx, TheSecondEolAfterTheLastLineEndsThePage) {
  const Bytes strip = StreamBuilder().Eol().WhiteLine().Eol().WhiteLine().Eols(6).Bytes();
  const Capture got = TiffToBfx({strip});
  ASSERT_EQ(got.pages.size(), 1u);
  EXPECT_THAT(got.pages[0].lines, ElementsAre(kAlignedEol, BfxWhiteLine(), BfxWhiteLine()));
  EXPECT_EQ(got.pages[0].counts.bytes, 2u + 24 + 24);  // + 12 of return-to-control: 62
}

TEST(TiffToBfx, ALineOfFortyBytesGetsNoPadding) {
  // 28 pairs of white 60 (8 bits) and black 1 (3 bits), then white 20 (7 bits): 1728 pixels
  // in 315 bits, 40 bytes once aligned.
  std::vector<uint32_t> runs;
  for (int i = 0; i < 56; ++i) runs.push_back(i % 2 == 0 ? 60 : 1);
  runs.push_back(20);
  StreamBuilder line;
  line.Runs(runs);
  ASSERT_EQ((line.size() + 7) / 8, 40u);
  const Bytes strip = StreamBuilder().Eol().Runs(runs).Eol().Eol().Bytes();
  const Capture got = TiffToBfx({strip});
  ASSERT_EQ(got.pages.size(), 1u);
  ASSERT_EQ(got.pages[0].lines.size(), 2u);
  Bytes expected = line.Bytes();
  expected.push_back(0x00);
  expected.push_back(0x80);
  EXPECT_EQ(got.pages[0].lines[1], expected);
}

TEST(TiffToBfx, AnEolFollowedByTwelveZeroBitsEndsThePage) {
  const Bytes strip = StreamBuilder().Eol().WhiteLine().Eol().Zeros(12).WhiteLine().Bytes();
  const Capture got = TiffToBfx({strip});
  ASSERT_EQ(got.pages.size(), 1u);
  EXPECT_THAT(got.pages[0].lines, ElementsAre(kAlignedEol, BfxWhiteLine()));
}

TEST(TiffToBfx, AnUnfinishedLastLineIsKeptOnlyWhenItIsWhole) {
  // libtiff and the tools built on it put no EOL after a page's last line.
  const Bytes whole = StreamBuilder().Eol().WhiteLine().Eol().Runs({100, 1628}).Bytes();
  const Capture kept = TiffToBfx({whole});
  ASSERT_EQ(kept.pages.size(), 1u);
  ASSERT_EQ(kept.pages[0].lines.size(), 3u);
  EXPECT_EQ(kept.pages[0].lines[2].size(), 24u);

  const Bytes cut = StreamBuilder().Eol().WhiteLine().Eol().Runs({100, 1000}).Bytes();
  const Capture dropped = TiffToBfx({cut});
  ASSERT_EQ(dropped.pages.size(), 1u);
  EXPECT_EQ(dropped.pages[0].lines.size(), 2u);
}

TEST(TiffToBfx, ALineCutByAStripBoundaryIsClosedLikeAnyOther) {
  // Strips end where libtiff ends them, after a line's codes and before the next EOL.
  const Bytes one = StreamBuilder().Eol().WhiteLine().Eol().Runs({10, 1718}).Bytes();
  const Bytes two = StreamBuilder().Eol().WhiteLine().Bytes();
  const Capture split = TiffToBfx({one, two});
  const Capture whole = TiffToBfx(
      {StreamBuilder().Eol().WhiteLine().Eol().Runs({10, 1718}).Eol().WhiteLine().Bytes()});
  ASSERT_EQ(split.pages.size(), 1u);
  ASSERT_EQ(whole.pages.size(), 1u);
  EXPECT_EQ(split.pages[0].lines, whole.pages[0].lines);
  for (std::size_t i = 1; i < split.pages[0].lines.size(); ++i) {
    EXPECT_GE(split.pages[0].lines[i].size(), 24u);
  }
}

TEST(TiffToBfx, APageEndSkipsTheRestOfItsBlock) {
  // Two pages in one strip, each ended by return-to-control. When the second begins in the
  // same 4096-byte block as the first one's end, it is skipped with the rest of that block;
  // when it begins in a later block it becomes a page of its own.
  const Bytes page = StreamBuilder().Eol().WhiteLine().Eol().WhiteLine().Eols(6).Bytes();
  Bytes sameBlock = page;
  sameBlock.insert(sameBlock.end(), page.begin(), page.end());
  EXPECT_EQ(TiffToBfx({sameBlock}).pages.size(), 1u);

  Bytes laterBlock = page;
  laterBlock.resize(4096 + 10, 0);
  laterBlock.insert(laterBlock.end(), page.begin(), page.end());
  const Capture got = TiffToBfx({laterBlock});
  ASSERT_EQ(got.pages.size(), 2u);
  EXPECT_EQ(got.pages[0].lines, got.pages[1].lines);
}

TEST(BothDirections, ALineLongerThanTheLineBufferIsReplacedNotOverrun) {
  // 6000 alternating white 0 / black 0 code words (8 + 10 bits each) add up to width 0, the
  // width of an empty line, but take 13500 bytes: more than the 4096-byte line buffer.
  std::vector<uint32_t> zeros(12000, 0);
  const Bytes bfxPage =
      StreamBuilder().Eol().WhiteLine().Eol().Runs(zeros).Eol().WhiteLine().Eol().Eols(6).Bytes();
  const Capture tiff = BfxToTiff({bfxPage});
  ASSERT_EQ(tiff.pages.size(), 1u);
  EXPECT_THAT(tiff.pages[0].lines,
              ElementsAre(kAlignedEol, kTiffWhiteLine, kTiffWhiteLine, kTiffWhiteLine));

  const Bytes strip =
      StreamBuilder().Eol().WhiteLine().Eol().Runs(zeros).Eol().WhiteLine().Eol().Eol().Bytes();
  const Capture bfx = TiffToBfx({strip});
  ASSERT_EQ(bfx.pages.size(), 1u);
  EXPECT_THAT(bfx.pages[0].lines,
              ElementsAre(kAlignedEol, BfxWhiteLine(), BfxWhiteLine(), BfxWhiteLine()));
}

TEST(TiffToBfx, ABlackIsZeroPageIsInvertedRunForRun) {
  // Runs 100 (zeros, black here), 1600, 28 become white 0, black 100, white 1600, black 28.
  const Bytes inverted = StreamBuilder().Eol().Runs({100, 1600, 28}).Eol().Eol().Bytes();
  const Bytes plain = StreamBuilder().Eol().Runs({0, 100, 1600, 28}).Eol().Eol().Bytes();
  const Capture got = TiffToBfx({inverted}, 4096, Polarity::BlackIsZero);
  const Capture expected = TiffToBfx({plain});
  ASSERT_EQ(got.pages.size(), 1u);
  EXPECT_EQ(got.pages[0].lines, expected.pages[0].lines);
  EXPECT_EQ(got.pages[0].counts.replaced, 0u);
}

TEST(BfxToTiff, ThePageAfterAPageEndOpensWithItsOwnEmptyLine) {
  const Bytes page = StreamBuilder().Eol().WhiteLine().Eol().Eols(6).Bytes();
  const Capture got = BfxToTiff({page, page});
  ASSERT_EQ(got.pages.size(), 2u);
  EXPECT_EQ(got.pages[0].lines, got.pages[1].lines);
  EXPECT_THAT(got.pages[1].lines, ElementsAre(kAlignedEol, kTiffWhiteLine));
}

}  // namespace
}  // namespace faxconv
