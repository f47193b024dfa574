// The two conversions on real files: statuses, destination names, what is left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestStreams.h"
#include "faxconv/FaxConversion.h"

namespace faxconv {
namespace {

namespace fs = std::filesystem;
using namespace faxconv::testing;
using Bytes = std::vector<uint8_t>;

Bytes WhitePage() {
  return StreamBuilder().Eol().WhiteLine().Eol().WhiteLine().Eols(6).Bytes();
}

class Conversion : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = FreshDir(); }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path dir_;
};

struct NameCase {
  const char* given;
  const char* tiff;
  const char* bfx;
};

TEST(DestinationPath, ReplacesFromTheLastDotOfTheWholePath) {
  const NameCase cases[] = {
      {"fax\\in.box\\page", "fax\\in.tif", "fax\\in.bfx"},
      {"fax/in.box/page", "fax/in.tif", "fax/in.bfx"},
      {"out", "out.tif", "out.bfx"},
      {"page.one.two", "page.one.tif", "page.one.bfx"},
      {"page.", "page.tif", "page.bfx"},
      {"page.TIF", "page.tif", "page.bfx"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DestinationPath(c.given, kTiffExtension), c.tiff) << c.given;
    EXPECT_EQ(DestinationPath(c.given, kBfxExtension), c.bfx) << c.given;
  }
}

TEST_F(Conversion, BfxToTiffWritesTheDestinationUnderItsFixedName) {
  WriteFile(Path("in.bfx"), MakeBfx({WhitePage()}, true));
  const ConversionReport r = ConvertBfxToTiff(Path("in.bfx").c_str(), Path("page.one.two").c_str());
  EXPECT_EQ(r.status, Status::Converted) << r.reason;
  EXPECT_EQ(r.destination, Path("page.one.tif"));
  EXPECT_EQ(Files(), (std::vector<std::string>{"in.bfx", "page.one.tif"}));
  const Bytes tiff = ReadFile(Path("page.one.tif"));
  // One strip: the opening line, two white lines, two closing zeros.
  EXPECT_EQ(Bytes(tiff.begin() + 8, tiff.begin() + 20),
            (Bytes{0x00, 0x80, 0xB2, 0x59, 0x01, 0x80, 0xB2, 0x59, 0x01, 0x80, 0x00, 0x00}));
  EXPECT_EQ(GetLe32(tiff, 20 + 210 + 8), 196u);  // fine YResolution
}

TEST_F(Conversion, EmptyDestinationIsStatusMinus2AndCreatesNothing) {
  WriteFile(Path("in.bfx"), MakeBfx({WhitePage()}));
  EXPECT_EQ(ConvertBfxToTiff(Path("in.bfx").c_str(), "").status, Status::DestinationFailed);
  EXPECT_EQ(ConvertBfxToTiff(Path("in.bfx").c_str(), nullptr).status, Status::DestinationFailed);
  EXPECT_EQ(Files(), std::vector<std::string>{"in.bfx"});
}

TEST_F(Conversion, MissingSourceIsStatusMinus1AndCreatesNothing) {
  EXPECT_EQ(ConvertBfxToTiff(Path("none.bfx").c_str(), Path("out").c_str()).status,
            Status::SourceRejected);
  EXPECT_EQ(ConvertTiffToBfx(Path("none.tif").c_str(), Path("out").c_str()).status,
            Status::SourceRejected);
  EXPECT_EQ(ConvertTiffToBfx(nullptr, Path("out").c_str()).status, Status::SourceRejected);
  EXPECT_TRUE(Files().empty());
}

TEST_F(Conversion, UncreatableDestinationIsStatusMinus2) {
  WriteFile(Path("in.bfx"), MakeBfx({WhitePage()}));
  const auto r = ConvertBfxToTiff(Path("in.bfx").c_str(), Path("no/such/dir/out").c_str());
  EXPECT_EQ(r.status, Status::DestinationFailed);
}

TEST_F(Conversion, ASourceThatWouldBeItsOwnDestinationIsNotEmptied) {
  // "in.tif" holding BFX data, converted to "in.x": the destination name is the source's.
  const Bytes bfx = MakeBfx({WhitePage()});
  WriteFile(Path("in.tif"), bfx);
  EXPECT_EQ(ConvertBfxToTiff(Path("in.tif").c_str(), Path("in.x").c_str()).status,
            Status::DestinationFailed);
  EXPECT_EQ(ReadFile(Path("in.tif")), bfx);
}

TEST_F(Conversion, AReadOnlyTiffSourceIsStatusMinus1) {
  WriteFile(Path("in.tif"), TiffBuilder().Page({WhitePage()}).bytes());
  fs::permissions(Path("in.tif"), fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(ConvertTiffToBfx(Path("in.tif").c_str(), Path("out").c_str()).status,
            Status::SourceRejected);
  EXPECT_EQ(Files(), std::vector<std::string>{"in.tif"});
}

TEST_F(Conversion, Group4IsStatusMinus3AndLeavesTheNineByteSignature) {
  WriteFile(Path("in.tif"), TiffBuilder().Page({WhitePage()}, {{259, 3, 1, 4}}).bytes());
  const auto r = ConvertTiffToBfx(Path("in.tif").c_str(), Path("out").c_str());
  EXPECT_EQ(r.status, Status::ConversionFailed);
  EXPECT_NE(r.reason.find("Compression 4"), std::string::npos) << r.reason;
  // A failed conversion leaves its destination as far as it was written (it is not removed):
  // here the signature alone, which no BFX reader accepts.
  EXPECT_EQ(ReadFile(Path("out.bfx")), Bytes(bfx::kSignature.begin(), bfx::kSignature.end()));
}

TEST_F(Conversion, AFailureAfterSomePagesLeavesABfxWithoutDirectory) {
  TiffBuilder t;
  t.Page({WhitePage()});
  t.Page({WhitePage()}, {{292, 4, 1, 1}});  // the second page is two-dimensional
  WriteFile(Path("in.tif"), t.bytes());
  EXPECT_EQ(ConvertTiffToBfx(Path("in.tif").c_str(), Path("out").c_str()).status,
            Status::ConversionFailed);
  const Bytes left = ReadFile(Path("out.bfx"));
  ASSERT_GT(left.size(), 2048u);
  EXPECT_EQ(left[9], 0);  // no page count: readers reject it
  // The partial file is closed: it can be converted back at once, and is refused.
  EXPECT_EQ(ConvertBfxToTiff(Path("out.bfx").c_str(), Path("back").c_str()).status,
            Status::SourceRejected);
}

TEST_F(Conversion, ASecondPageOfLengthZeroMakesNoTiffPage) {
  WriteFile(Path("in.bfx"), MakeBfx({WhitePage(), {}}));
  const auto r = ConvertBfxToTiff(Path("in.bfx").c_str(), Path("out").c_str());
  EXPECT_EQ(r.status, Status::Converted);
  EXPECT_EQ(r.pages.size(), 1u);
  const Bytes tiff = ReadFile(Path("out.tif"));
  EXPECT_EQ(GetLe32(tiff, GetLe32(tiff, 4) + 206), 0u);  // a single IFD
}

TEST_F(Conversion, ABfxWithNoPageDataIsStatusMinus3) {
  WriteFile(Path("in.bfx"), MakeBfx({{}, {}}));
  EXPECT_EQ(ConvertBfxToTiff(Path("in.bfx").c_str(), Path("out").c_str()).status,
            Status::ConversionFailed);
}

TEST_F(Conversion, TwoPagesInOneStripAcrossABlockBoundaryMakeTwoBfxPages) {
  Bytes strip = WhitePage();
  strip.resize(5000, 0);
  const Bytes second = WhitePage();
  strip.insert(strip.end(), second.begin(), second.end());
  WriteFile(Path("in.tif"), TiffBuilder().Page({strip}).bytes());
  const auto r = ConvertTiffToBfx(Path("in.tif").c_str(), Path("out").c_str());
  EXPECT_EQ(r.status, Status::Converted);
  const Bytes bfx = ReadFile(Path("out.bfx"));
  EXPECT_EQ(bfx[9], 2);
  EXPECT_EQ(GetLe32(bfx, 16 + 4), 62u);
  EXPECT_EQ(GetLe32(bfx, 32 + 8), 2048u + 62);
}

TEST_F(Conversion, PathsLongerThan259CharactersAreAccepted) {
  std::string sub = Path(std::string(200, 'd'));
  fs::create_directory(sub);
  sub += "/" + std::string(150, 'f');
  WriteFile(sub + ".bfx", MakeBfx({WhitePage()}));
  const auto r = ConvertBfxToTiff((sub + ".bfx").c_str(), (sub + ".tif").c_str());
  EXPECT_EQ(r.status, Status::Converted) << r.reason;
  EXPECT_TRUE(fs::exists(sub + ".tif"));
}

TEST_F(Conversion, MoreThan97PagesAreRefused) {
  TiffBuilder t;
  for (int p = 0; p < 98; ++p) t.Page({WhitePage()});
  WriteFile(Path("in.tif"), t.bytes());
  const auto r = ConvertTiffToBfx(Path("in.tif").c_str(), Path("out").c_str());
  EXPECT_EQ(r.status, Status::ConversionFailed);
  EXPECT_NE(r.reason.find("97"), std::string::npos) << r.reason;
}

// A file that accepts the first `limit` bytes written and then fails, like a full disk.
class FailingFile final : public RandomAccessFile {
 public:
  explicit FailingFile(std::size_t limit) : limit_(limit) {}
  std::optional<std::size_t> ReadAt(uint64_t o, std::span<uint8_t> out) override {
    return inner_.ReadAt(o, out);
  }
  bool WriteAt(uint64_t o, std::span<const uint8_t> d) override {
    if (written_ + d.size() > limit_) return false;
    written_ += d.size();
    return inner_.WriteAt(o, d);
  }
  std::optional<uint64_t> Size() override { return inner_.Size(); }

 private:
  MemoryFile inner_;
  std::size_t limit_;
  std::size_t written_ = 0;
};

TEST(ConversionWriteErrors, AFailedWriteIsStatusMinus3NotSuccess) {
  MemoryFile bfxSource(MakeBfx({WhitePage()}));
  std::string why;
  const auto bfx = BfxReader::Open(bfxSource, why);
  ASSERT_TRUE(bfx);
  FailingFile noRoom(8);  // the header fits, the page does not
  EXPECT_EQ(RecodeBfxToTiff(bfxSource, *bfx, noRoom).status, Status::ConversionFailed);
  FailingFile noHeader(0);
  EXPECT_EQ(RecodeBfxToTiff(bfxSource, *bfx, noHeader).status, Status::DestinationFailed);

  MemoryFile tiffSource(TiffBuilder().Page({WhitePage()}).bytes());
  auto tiff = TiffReader::Open(tiffSource, why);
  ASSERT_TRUE(tiff);
  FailingFile small(9 + 20);
  EXPECT_EQ(RecodeTiffToBfx(tiffSource, *tiff, small).status, Status::ConversionFailed);
}

}  // namespace
}  // namespace faxconv
