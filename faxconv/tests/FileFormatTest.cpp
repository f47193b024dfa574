// BFX and TIFF files as the readers accept them and as the writers lay them out, byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "TestStreams.h"
#include "faxconv/BfxPageWriter.h"
#include "faxconv/BfxReader.h"
#include "faxconv/FaxConversion.h"
#include "faxconv/TiffPageWriter.h"
#include "faxconv/TiffReader.h"

namespace faxconv {
namespace {

using namespace faxconv::testing;
using Bytes = std::vector<uint8_t>;

// --- BFX reader ---------------------------------------------------------------------------

struct BfxCase {
  const char* name;
  Bytes file;
  bool accepted;
};

Bytes TwoPageBfx() {
  return MakeBfx({Bytes(10, 0), Bytes(20, 0)});
}

std::vector<BfxCase> BfxCases() {
  std::vector<BfxCase> cases;
  cases.push_back({"CurrentSignature", TwoPageBfx(), true});
  Bytes old = TwoPageBfx();
  std::copy_n("BIT FAX\0", 8, old.begin());
  old[8] = 'Z';  // only eight bytes are compared
  cases.push_back({"OldSignatureWithZeroByte", old, true});
  Bytes wrong = TwoPageBfx();
  wrong[4] = 'X';
  cases.push_back({"WrongSignature", wrong, false});
  Bytes noPages = TwoPageBfx();
  noPages[9] = 0;
  cases.push_back({"PageCountZero", noPages, false});
  Bytes inHeader = TwoPageBfx();
  PutLe32(inHeader, 16 + 16 + 8, 2047);  // the second page's offset
  cases.push_back({"SecondPageOffset2047", inHeader, false});
  cases.push_back({"DirectoryCutShort", Bytes(inHeader.begin(), inHeader.begin() + 30), false});
  cases.push_back({"EmptyFile", {}, false});
  return cases;
}

class BfxReaderCases : public ::testing::TestWithParam<BfxCase> {};

TEST_P(BfxReaderCases, AcceptsOnlyWhatTheFormatAllows) {
  MemoryFile file(GetParam().file);
  std::string why;
  EXPECT_EQ(BfxReader::Open(file, why).has_value(), GetParam().accepted) << why;
  if (!GetParam().accepted) {
    EXPECT_FALSE(why.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Files, BfxReaderCases, ::testing::ValuesIn(BfxCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BfxReader, PageDataBeyondTheFileIsCutToWhatIsThere) {
  Bytes file = MakeBfx({Bytes(100, 0)});
  PutLe32(file, 16 + 4, 0xFFFFFFF0u);  // length far past the end
  MemoryFile f(file);
  std::string why;
  const auto bfx = BfxReader::Open(f, why);
  ASSERT_TRUE(bfx);
  EXPECT_EQ(bfx->page(0).length, 0xFFFFFFF0u);
  EXPECT_EQ(bfx->page(0).available, 100u);
}

TEST(BfxReader, LeadingFillNeedsSixtyFfBytesInARowWithinTheFirstHundred) {
  auto fill = [](std::size_t at, std::size_t run) {
    Bytes page(200, 0);
    std::fill_n(page.begin() + static_cast<long>(at), run, 0xFF);
    MemoryFile f(MakeBfx({page}));
    return BfxReader::ReadLeadingFill(f);
  };
  EXPECT_EQ(fill(0, 60), LeadingFill::Present);
  EXPECT_EQ(fill(40, 60), LeadingFill::Present);
  EXPECT_EQ(fill(0, 59), LeadingFill::Absent);
  EXPECT_EQ(fill(41, 60), LeadingFill::Absent);  // ends at byte 101
}

// --- BFX writer ---------------------------------------------------------------------------

TEST(BfxPageWriter, WritesTheOnePageExampleExactly) {
  // A TIFF strip of EOL, white line, EOL, white line, six EOLs becomes this BFX page.
  MemoryFile source(TiffBuilder()
                        .Page({StreamBuilder().Eol().WhiteLine().Eol().WhiteLine().Eols(6).Bytes()})
                        .bytes());
  MemoryFile dest;
  std::string why;
  auto tiff = TiffReader::Open(source, why);
  ASSERT_TRUE(tiff);
  ASSERT_EQ(RecodeTiffToBfx(source, *tiff, dest).status, Status::Converted);

  Bytes line = {0xB2, 0x59, 0x01};
  line.resize(22, 0);
  line.insert(line.end(), {0x00, 0x80});
  Bytes expected(2048, 0);
  std::copy_n("BIT  FAX0", 9, expected.begin());
  expected[9] = 1;
  PutLe32(expected, 16 + 4, 62);
  PutLe32(expected, 16 + 8, 2048);
  expected.insert(expected.end(), {0x00, 0x80});
  expected.insert(expected.end(), line.begin(), line.end());
  expected.insert(expected.end(), line.begin(), line.end());
  for (int i = 0; i < 6; ++i) expected.insert(expected.end(), {0x00, 0x80});
  EXPECT_EQ(dest.bytes(), expected);
}

TEST(BfxPageWriter, RefusesAPageBeyondTheDirectorysRoom) {
  MemoryFile file;
  BfxPageWriter writer(file);
  ASSERT_TRUE(writer.Create());
  const Bytes line = {0x00, 0x80};
  for (unsigned p = 0; p < 97; ++p) {
    writer.WriteLine(line);
    writer.EndPage({});
  }
  EXPECT_FALSE(writer.failed());
  writer.WriteLine(line);
  writer.EndPage({});
  EXPECT_TRUE(writer.failed());
  EXPECT_NE(writer.error().find("97"), std::string::npos);
  EXPECT_FALSE(writer.Finish(Resolution::Fine));
  // The pages before are in the file, but no page count, directory or flags were written over
  // them: the header holds the signature alone.
  ASSERT_EQ(file.bytes().size(), 2048u + 97 * 14);
  EXPECT_EQ(std::count(file.bytes().begin() + 9, file.bytes().begin() + 2048, 0), 2048 - 9);
}

TEST(BfxPageWriter, FineResolutionSetsBitSixOfTheFlagsOnly) {
  MemoryFile file;
  BfxPageWriter writer(file);
  ASSERT_TRUE(writer.Create());
  writer.WriteLine(Bytes{0x00, 0x80});
  writer.EndPage({});
  ASSERT_TRUE(writer.Finish(Resolution::Fine));
  const Bytes& b = file.bytes();
  for (std::size_t i = 10; i < 2048; ++i) {
    if (i == 1577) {
      EXPECT_EQ(b[i], 0x40);
    } else if (i < 20 || (i >= 20 + 8 && i < 2048)) {
      EXPECT_EQ(b[i], 0) << "offset " << i;  // uninterpreted fields and the gap stay zero
    }
  }
  EXPECT_EQ(GetLe32(b, 16 + 4), 14u);
}

// --- TIFF writer --------------------------------------------------------------------------

TEST(TiffPageWriter, LaysOutTwoPagesWithTheirIfdsAndLinks) {
  MemoryFile file;
  TiffPageWriter writer(file, Resolution::Fine);
  ASSERT_TRUE(writer.Create());
  writer.WriteLine(Bytes(298, 0x11));  // strip of 300 bytes with the two closing zeros
  writer.EndPage({});
  writer.WriteLine(Bytes(100, 0x22));
  writer.WriteLine(Bytes(98, 0x33));  // 200 bytes
  writer.EndPage({});
  writer.Flush();
  const Bytes& b = file.bytes();
  ASSERT_EQ(b.size(), 734u + 226);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{'I', 'I', 42, 0}));
  EXPECT_EQ(GetLe32(b, 4), 308u);
  EXPECT_EQ(GetLe16(b, 308), 17u);
  EXPECT_EQ(GetLe32(b, 308 + 206), 734u);  // next IFD
  EXPECT_EQ(GetLe32(b, 734 + 206), 0u);

  struct Field {
    uint16_t tag, type;
    uint32_t count, value1, value2;
  };
  const Field first[17] = {{254, 4, 1, 2, 2},
                           {256, 4, 1, 1728, 1728},
                           {257, 4, 1, 1, 2},
                           {258, 3, 1, 1, 1},
                           {259, 3, 1, 3, 3},
                           {262, 3, 1, 0, 0},
                           {266, 3, 1, 2, 2},
                           {273, 4, 1, 8, 534},
                           {274, 3, 1, 1, 1},
                           {277, 3, 1, 1, 1},
                           {278, 4, 1, 1, 2},
                           {279, 4, 1, 300, 200},
                           {282, 5, 1, 518, 944},
                           {283, 5, 1, 526, 952},
                           {292, 4, 1, 0, 0},
                           {296, 3, 1, 2, 2},
                           {297, 3, 2, 0x10000, 0x20001}};
  for (int page = 0; page < 2; ++page) {
    const std::size_t ifd = page == 0 ? 308 : 734;
    for (int i = 0; i < 17; ++i) {
      const std::size_t e = ifd + 2 + 12 * i;
      SCOPED_TRACE("page " + std::to_string(page) + " tag " + std::to_string(first[i].tag));
      EXPECT_EQ(GetLe16(b, e), first[i].tag);
      EXPECT_EQ(GetLe16(b, e + 2), first[i].type);
      EXPECT_EQ(GetLe32(b, e + 4), first[i].count);
      EXPECT_EQ(GetLe32(b, e + 8), page == 0 ? first[i].value1 : first[i].value2);
    }
  }
  EXPECT_EQ(GetLe32(b, 518), 204u);
  EXPECT_EQ(GetLe32(b, 522), 1u);
  EXPECT_EQ(GetLe32(b, 526), 196u);
  EXPECT_EQ(GetLe32(b, 530), 1u);
  EXPECT_EQ(Bytes(b.begin() + 306, b.begin() + 308), (Bytes{0, 0}));
}

// --- TIFF reader --------------------------------------------------------------------------

struct ResolutionCase {
  const char* name;
  uint16_t unit;
  uint32_t n, d;
  uint32_t figure;
};

class ResolutionFigure : public ::testing::TestWithParam<ResolutionCase> {};

TEST_P(ResolutionFigure, DecidesFineResolution) {
  const auto& c = GetParam();
  EXPECT_EQ(TiffReader::ResolutionFigure(c.unit, c.n, c.d), c.figure);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolutionFigure,
    ::testing::Values(
        ResolutionCase{"Inch196", 2, 196, 1, 7716}, ResolutionCase{"Inch200", 2, 200, 1, 7716},
        ResolutionCase{"Centimetre77", 3, 77, 1, 7716}, ResolutionCase{"Inch98", 2, 98, 1, 3858},
        ResolutionCase{"Inch100", 2, 100, 1, 3937}, ResolutionCase{"Centimetre38", 3, 38, 1, 3800},
        ResolutionCase{"Inch147IsTheFirstFine", 2, 147, 1, 7716},
        ResolutionCase{"Inch146", 2, 146, 1, 5748},
        ResolutionCase{"IntegerDivisionFirst", 2, 391, 2, 7716},
        ResolutionCase{"NoUnit", 1, 196, 1, 0}, ResolutionCase{"ZeroDenominator", 2, 196, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

Bytes WhitePageStrip() {
  return StreamBuilder().Eol().WhiteLine().Eol().WhiteLine().Eols(6).Bytes();
}

ConversionReport TiffToBfxInMemory(const Bytes& tiffBytes, MemoryFile* out = nullptr) {
  MemoryFile source(tiffBytes);
  MemoryFile scratch;
  std::string why;
  auto tiff = TiffReader::Open(source, why);
  if (!tiff) return {Status::SourceRejected, why, {}, {}, {}, {}};
  return RecodeTiffToBfx(source, *tiff, out ? *out : scratch);
}

TEST(TiffReader, BigEndianFilesReadLikeLittleEndianOnes) {
  auto build = [](bool big) {
    TiffBuilder t(big);
    const uint32_t yres = t.Rational(196, 1);
    t.Page({WhitePageStrip()}, {{266, 3, 1, 2}, {283, 5, 1, yres}, {296, 3, 1, 2}});
    t.Page({WhitePageStrip(), WhitePageStrip()}, {{266, 3, 1, 2}});
    return t.bytes();
  };
  MemoryFile ii, mm;
  ASSERT_EQ(TiffToBfxInMemory(build(false), &ii).status, Status::Converted);
  ASSERT_EQ(TiffToBfxInMemory(build(true), &mm).status, Status::Converted);
  EXPECT_EQ(ii.bytes(), mm.bytes());
  EXPECT_EQ(ii.bytes()[1577], 0x40);
  EXPECT_EQ(ii.bytes()[9], 3);  // the second page's two strips each end a page
}

TEST(TiffReader, MissingFillOrderMeansLeastSignificantBitFirst) {
  const Bytes lsb =
      StreamBuilder().Eol().WhiteLine().Eol().WhiteLine().Eols(6).Bytes(BitOrder::LsbFirst);
  const Bytes msb =
      StreamBuilder().Eol().WhiteLine().Eol().WhiteLine().Eols(6).Bytes(BitOrder::MsbFirst);
  MemoryFile a, b;
  ASSERT_EQ(TiffToBfxInMemory(TiffBuilder().Page({lsb}).bytes(), &a).status, Status::Converted);
  ASSERT_EQ(TiffToBfxInMemory(TiffBuilder().Page({msb}, {{266, 3, 1, 1}}).bytes(), &b).status,
            Status::Converted);
  EXPECT_EQ(a.bytes(), b.bytes());
}

TEST(TiffReader, APageWithoutResolutionUnitDefersToTheNextPage) {
  TiffBuilder t;
  const uint32_t fine = t.Rational(196, 1);
  t.Page({WhitePageStrip()}, {{283, 5, 1, fine}, {296, 3, 1, 1}});  // unit 1: r = 0
  t.Page({WhitePageStrip()}, {{283, 5, 1, fine}, {296, 3, 1, 2}});  // decides: fine
  const uint32_t standard = t.Rational(98, 1);
  t.Page({WhitePageStrip()}, {{283, 5, 1, standard}, {296, 3, 1, 2}});
  const ConversionReport report = TiffToBfxInMemory(t.bytes());
  EXPECT_EQ(report.status, Status::Converted);
  EXPECT_EQ(report.resolution, Resolution::Fine);
}

struct HostileCase {
  const char* name;
  Bytes file;
  Status status;
};

std::vector<HostileCase> HostileTiffs() {
  std::vector<HostileCase> cases;
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()});
    t.Page({WhitePageStrip()});
    t.SetLastNext(GetLe32(t.bytes(), 4));  // back to the first IFD
    cases.push_back({"IfdChainLoops", t.bytes(), Status::ConversionFailed});
  }
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()});
    t.SetLastNext(1u << 30);
    cases.push_back({"IfdBeyondTheEnd", t.bytes(), Status::ConversionFailed});
  }
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()});
    Bytes b = t.bytes();
    b.resize(b.size() - 8);  // the IFD's last entry and next field are cut off
    cases.push_back({"IfdCutShort", b, Status::ConversionFailed});
  }
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()}, {{273, 4, 3, 0x7FFFFFF0}, {279, 4, 3, 0x7FFFFFF0}});
    cases.push_back({"StripArraysBeyondTheEnd", t.bytes(), Status::ConversionFailed});
  }
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()}, {{273, 4, 1, 0xFFFFFF00}, {279, 4, 1, 0xFFFFFFFF}});
    cases.push_back({"StripBeyondTheEndHasNothingToConvert", t.bytes(), Status::ConversionFailed});
  }
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()}, {{259, 3, 1, 4}});
    cases.push_back({"Group4", t.bytes(), Status::ConversionFailed});
  }
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()}, {{292, 4, 1, 1}});
    cases.push_back({"TwoDimensional", t.bytes(), Status::ConversionFailed});
  }
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()}, {{262, 3, 1, 2}});
    cases.push_back({"NotBilevel", t.bytes(), Status::ConversionFailed});
  }
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()}, {{256, 4, 1, 2048}});
    cases.push_back({"WiderThanAFaxLine", t.bytes(), Status::ConversionFailed});
  }
  {
    TiffBuilder t;
    t.Page({WhitePageStrip()}, {{273, 4, 0, 0}});
    cases.push_back({"StripCountsDisagree", t.bytes(), Status::ConversionFailed});
  }
  cases.push_back(
      {"FirstIfdOffsetBelow8", Bytes{'I', 'I', 42, 0, 7, 0, 0, 0}, Status::SourceRejected});
  return cases;
}

class HostileTiff : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTiff, IsRefusedWithoutReadingOutOfBounds) {
  const ConversionReport report = TiffToBfxInMemory(GetParam().file);
  EXPECT_EQ(report.status, GetParam().status);
  EXPECT_FALSE(report.reason.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, HostileTiff, ::testing::ValuesIn(HostileTiffs()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TiffReader, AStripRunningPastTheEndIsReadAsFarAsItGoes) {
  TiffBuilder t;
  const Bytes strip = WhitePageStrip();
  t.Page({strip}, {{279, 4, 1, 100000}});
  const ConversionReport report = TiffToBfxInMemory(t.bytes());
  EXPECT_EQ(report.status, Status::Converted);
  ASSERT_EQ(report.pages.size(), 1u);
  EXPECT_EQ(report.pages[0].rows, 3u);
  EXPECT_EQ(report.warnings.size(), 1u);
}

TEST(TiffReader, ShortStripArraysInTheValueFieldAndOutOfLine) {
  const Bytes strip = WhitePageStrip();
  TiffBuilder t;
  // Two SHORT offsets and lengths fit in their value fields.
  const uint32_t start = static_cast<uint32_t>(t.bytes().size());
  t.Page({strip, strip}, {{273, 3, 2, start | (start + static_cast<uint32_t>(strip.size())) << 16},
                          {279, 3, 2, static_cast<uint32_t>(strip.size() | strip.size() << 16)}});
  EXPECT_EQ(TiffToBfxInMemory(t.bytes()).pages.size(), 2u);
}

}  // namespace
}  // namespace faxconv
