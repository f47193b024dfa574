// Damaged and hostile files: thousands of mutations of valid BFX and TIFF files go through both
// conversions. Each must end with one of the four statuses and, when it says converted, leave a
// file our own readers accept. Under the sanitizer build this also shows that no read or write
// leaves its buffer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <random>
#include <vector>

#include "TestStreams.h"
#include "faxconv/FaxConversion.h"

namespace faxconv {
namespace {

using namespace faxconv::testing;
using Bytes = std::vector<uint8_t>;

Bytes Page(int lines) {
  StreamBuilder s;
  s.Eol();
  for (int i = 0; i < lines; ++i) s.Runs({static_cast<uint32_t>(10 * i), 5, 1713u - 10 * i}).Eol();
  return s.Eols(6).Bytes();
}

Bytes Mutate(Bytes b, std::mt19937& rng) {
  const int edits = 1 + static_cast<int>(rng() % 6);
  for (int e = 0; e < edits && !b.empty(); ++e) {
    switch (rng() % 4) {
      case 0:
        b[rng() % b.size()] = static_cast<uint8_t>(rng());
        break;
      case 1:
        b[rng() % b.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
      case 2:
        b.resize(rng() % b.size());
        break;
      default: {
        // A 32-bit field set to something far off, as hostile offsets and lengths are.
        const std::size_t at = rng() % b.size();
        const uint32_t v =
            rng() % 2 ? 0xFFFFFFFFu - rng() % 16 : static_cast<uint32_t>(rng() % (b.size() + 64));
        for (int k = 0; k < 4 && at + k < b.size(); ++k)
          b[at + k] = static_cast<uint8_t>(v >> (8 * k));
      }
    }
  }
  return b;
}

bool IsStatus(Status s) {
  return s == Status::Converted || s == Status::SourceRejected || s == Status::DestinationFailed ||
         s == Status::ConversionFailed;
}

TEST(HostileInput, MutatedTiffsNeverBreakTheConversion) {
  TiffBuilder t;
  const uint32_t fine = t.Rational(196, 1);
  t.Page({Page(5), Page(3)}, {{266, 3, 1, 2}, {283, 5, 1, fine}, {296, 3, 1, 2}});
  t.Page({Page(4)}, {{266, 3, 1, 1}});
  const Bytes valid = t.bytes();
  std::mt19937 rng(2024);
  int converted = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    MemoryFile source(Mutate(valid, rng));
    MemoryFile dest;
    std::string why;
    auto tiff = TiffReader::Open(source, why);
    if (!tiff) continue;
    const ConversionReport r = RecodeTiffToBfx(source, *tiff, dest);
    ASSERT_TRUE(IsStatus(r.status));
    if (r.status == Status::Converted) {
      ++converted;
      ASSERT_TRUE(BfxReader::Open(dest, why).has_value()) << "trial " << trial << ": " << why;
    }
  }
  EXPECT_GT(converted, 100);
}

TEST(HostileInput, MutatedBfxFilesNeverBreakTheConversion) {
  const Bytes valid = MakeBfx({Page(5), Page(3), {}, Page(2)});
  std::mt19937 rng(1999);
  int converted = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    MemoryFile source(Mutate(valid, rng));
    MemoryFile dest;
    std::string why;
    auto bfx = BfxReader::Open(source, why);
    if (!bfx) continue;
    const ConversionReport r = RecodeBfxToTiff(source, *bfx, dest);
    ASSERT_TRUE(IsStatus(r.status));
    if (r.status == Status::Converted) {
      ++converted;
      auto back = TiffReader::Open(dest, why);
      ASSERT_TRUE(back.has_value()) << why;
      ASSERT_TRUE(back->ReadFileSize());
      TiffPage page;
      unsigned pages = 0;
      for (TiffReader::Next n; (n = back->NextPage(page, why)) == TiffReader::Next::Page;) ++pages;
      ASSERT_EQ(pages, r.pages.size()) << why;
    }
  }
  EXPECT_GT(converted, 100);
}

TEST(HostileInput, ABfxSourceHeldOpenByAnotherReaderStillConverts) {
  const auto dir = FreshDir();
  WriteFile(dir / "in.bfx", MakeBfx({Page(2)}));
  const int other = ::open((dir / "in.bfx").c_str(), O_RDONLY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_SH), 0);
  EXPECT_EQ(ConvertBfxToTiff((dir / "in.bfx").c_str(), (dir / "out").c_str()).status,
            Status::Converted);
  // But a reader's file is never emptied to become a destination.
  EXPECT_EQ(ConvertTiffToBfx((dir / "out.tif").c_str(), (dir / "in.x").c_str()).status,
            Status::DestinationFailed);
  ::close(other);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace faxconv
