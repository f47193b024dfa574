// Our files as the world's TIFF reader sees them. libtiff writes G3 1-D TIFFs from known page
// images, we convert them to BFX and back, and libtiff decodes the result; and a BFX made from
// libtiff's own code stream converts to a TIFF whose pixels libtiff reads back unchanged.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "TestStreams.h"
#include "faxconv/FaxConversion.h"

namespace faxconv {
namespace {

namespace fs = std::filesystem;
using namespace faxconv::testing;

constexpr uint32_t kRowBytes = kLineWidth / 8;
using Row = std::vector<uint8_t>;  // 216 bytes, most significant bit leftmost, 1 = black
using Image = std::vector<Row>;

void Paint(Row& row, uint32_t from, uint32_t to) {
  for (uint32_t x = from; x < to && x < kLineWidth; ++x)
    row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
}

// Rows a fax page is made of: text-like strokes, long runs of every length, all white, all
// black, and single-pixel alternation over most of a line (long lines of code words; libtiff's
// own decoder gives up on a whole line of it).
Image MakePage(uint32_t rows, uint32_t pattern) {
  std::mt19937 rng(pattern);
  Image image;
  for (uint32_t y = 0; y < rows; ++y) {
    Row row(kRowBytes, 0);
    switch (y % 7) {
      case 0:
        break;
      case 1: {
        const uint32_t white = rng() % (kLineWidth + 1);
        Paint(row, white, white + rng() % (kLineWidth + 1 - white));
        break;
      }
      case 2:
        Paint(row, 0, kLineWidth);
        break;
      case 3:
        for (uint32_t x = (y / 7) % 2; x < 1200; x += 2) Paint(row, x, x + 1);
        break;
      default:
        for (uint32_t x = rng() % 64; x < kLineWidth; x += 2 + rng() % 30) {
          const uint32_t len = 1 + rng() % 12;
          Paint(row, x, x + len);
          x += len;
        }
    }
    image.push_back(std::move(row));
  }
  return image;
}

// A run ladder: every white and black run length from 0 to 1728 appears.
Image RunLadder() {
  Image image;
  for (uint32_t len = 0; len <= kLineWidth; ++len) {
    Row black(kRowBytes, 0), white(kRowBytes, 0);
    Paint(black, (kLineWidth - len) / 2, (kLineWidth - len) / 2 + len);  // a black run of len
    Paint(white, len, kLineWidth);                                       // a white run of len
    image.push_back(std::move(black));
    image.push_back(std::move(white));
  }
  return image;
}

struct TiffLayout {
  bool bigEndian;
  uint16_t fillOrder;
  bool fine;
  uint32_t rowsPerStrip;  // 0: one strip per page
  uint16_t photometric = PHOTOMETRIC_MINISWHITE;
};

void WriteWithLibtiff(const std::string& path, const std::vector<Image>& pages,
                      const TiffLayout& l) {
  TIFF* tif = TIFFOpen(path.c_str(), l.bigEndian ? "wb" : "wl");
  ASSERT_NE(tif, nullptr);
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const auto rows = static_cast<uint32_t>(pages[p].size());
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kLineWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, rows);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, 0);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, l.photometric);
    TIFFSetField(tif, TIFFTAG_FILLORDER, l.fillOrder);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, l.fine ? 196.0 : 98.0);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, l.rowsPerStrip ? l.rowsPerStrip : rows);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(p),
                 static_cast<uint16_t>(pages.size()));
    for (uint32_t y = 0; y < rows; ++y) {
      Row row = pages[p][y];
      // Black is zero: the same picture with every bit the other way round.
      if (l.photometric == PHOTOMETRIC_MINISBLACK) {
        for (auto& b : row) b = static_cast<uint8_t>(~b);
      }
      ASSERT_EQ(TIFFWriteScanline(tif, row.data(), y, 0), 1);
    }
    ASSERT_TRUE(TIFFWriteDirectory(tif));
  }
  TIFFClose(tif);
}

struct Decoded {
  std::vector<Image> pages;
  std::vector<float> yResolution;
};

Decoded ReadWithLibtiff(const std::string& path) {
  Decoded out;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return out;
  do {
    uint32_t width = 0, rows = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &rows);
    float yres = 0;
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres);
    out.yResolution.push_back(yres);
    Image image;
    for (uint32_t y = 0; y < rows; ++y) {
      Row row(kRowBytes, 0);
      if (TIFFReadScanline(tif, row.data(), y, 0) < 0) break;
      image.push_back(std::move(row));
    }
    out.pages.push_back(std::move(image));
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  return out;
}

class LibtiffRoundTrip : public ::testing::TestWithParam<TiffLayout> {
 protected:
  static void SetUpTestSuite() {
    // Our pages' empty opening line makes libtiff warn of a premature EOL on the last row.
    TIFFSetWarningHandler(nullptr);
  }
  void SetUp() override { dir_ = FreshDir(); }
  void TearDown() override {
    if (getenv("FAXCONV_KEEP") == nullptr) fs::remove_all(dir_);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

// Every page comes back as it was, followed by the one white row of the empty opening line
// that the BFX page begins with (libtiff decodes it at the bottom, as the row it runs short of).
void ExpectSamePagesPlusOneWhiteRow(const std::vector<Image>& source, const Decoded& result) {
  ASSERT_EQ(result.pages.size(), source.size());
  for (std::size_t p = 0; p < source.size(); ++p) {
    const Image& got = result.pages[p];
    ASSERT_EQ(got.size(), source[p].size() + 1) << "page " << p;
    for (std::size_t y = 0; y < source[p].size(); ++y) {
      ASSERT_EQ(got[y], source[p][y]) << "page " << p << " row " << y;
    }
    EXPECT_EQ(got.back(), Row(kRowBytes, 0)) << "page " << p;
  }
}

TEST_P(LibtiffRoundTrip, EveryPageComesBackPixelIdentical) {
  const TiffLayout layout = GetParam();
  const std::vector<Image> pages = {MakePage(150, 1), MakePage(97, 2), MakePage(120, 3)};
  WriteWithLibtiff(Path("source.tif"), pages, layout);

  const auto toBfx = ConvertTiffToBfx(Path("source.tif").c_str(), Path("fax.bfx").c_str());
  ASSERT_EQ(toBfx.status, Status::Converted) << toBfx.reason;
  ASSERT_EQ(toBfx.pages.size(), pages.size());
  for (const PageCounts& c : toBfx.pages) EXPECT_EQ(c.replaced, 0u);
  EXPECT_EQ(toBfx.resolution, layout.fine ? Resolution::Fine : Resolution::Standard);

  const auto toTiff = ConvertBfxToTiff(Path("fax.bfx").c_str(), Path("back.tif").c_str());
  ASSERT_EQ(toTiff.status, Status::Converted) << toTiff.reason;
  const Decoded back = ReadWithLibtiff(Path("back.tif"));
  ExpectSamePagesPlusOneWhiteRow(pages, back);
  for (float y : back.yResolution) EXPECT_EQ(y, layout.fine ? 196.0f : 98.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LibtiffRoundTrip,
    ::testing::Values(TiffLayout{false, FILLORDER_MSB2LSB, true, 0},
                      TiffLayout{false, FILLORDER_LSB2MSB, false, 0},
                      TiffLayout{true, FILLORDER_MSB2LSB, false, 0},
                      TiffLayout{true, FILLORDER_LSB2MSB, true, 0},
                      TiffLayout{false, FILLORDER_MSB2LSB, true, 16},
                      TiffLayout{true, FILLORDER_LSB2MSB, false, 7},
                      TiffLayout{false, FILLORDER_MSB2LSB, true, 16, PHOTOMETRIC_MINISBLACK}),
    [](const auto& info) {
      const TiffLayout& l = info.param;
      return std::string(l.bigEndian ? "MM" : "II") + (l.fillOrder == 1 ? "Msb" : "Lsb") +
             (l.fine ? "Fine" : "Standard") +
             (l.rowsPerStrip ? "Strips" + std::to_string(l.rowsPerStrip) : "OneStrip") +
             (l.photometric == PHOTOMETRIC_MINISBLACK ? "BlackIsZero" : "");
    });

TEST_F(LibtiffRoundTrip, EveryRunLengthOfBothColoursSurvives) {
  const std::vector<Image> pages = {RunLadder()};
  WriteWithLibtiff(Path("ladder.tif"), pages, {false, FILLORDER_MSB2LSB, true, 0});
  ASSERT_EQ(ConvertTiffToBfx(Path("ladder.tif").c_str(), Path("ladder.bfx").c_str()).status,
            Status::Converted);
  ASSERT_EQ(ConvertBfxToTiff(Path("ladder.bfx").c_str(), Path("back.tif").c_str()).status,
            Status::Converted);
  ExpectSamePagesPlusOneWhiteRow(pages, ReadWithLibtiff(Path("back.tif")));
}

TEST_F(LibtiffRoundTrip, ABfxMadeFromAKnownImageConvertsToThatImage) {
  // libtiff codes the image (one strip, least significant bit first: the BFX bit order); the
  // strip, an EOL before each row, becomes a BFX page once return-to-control is added.
  const Image image = MakePage(200, 9);
  WriteWithLibtiff(Path("coded.tif"), {image}, {false, FILLORDER_LSB2MSB, false, 0});
  TIFF* tif = TIFFOpen(Path("coded.tif").c_str(), "r");
  ASSERT_NE(tif, nullptr);
  std::vector<uint8_t> page(static_cast<std::size_t>(TIFFRawStripSize(tif, 0)));
  ASSERT_GT(TIFFReadRawStrip(tif, 0, page.data(), static_cast<tmsize_t>(page.size())), 0);
  TIFFClose(tif);
  page.insert(page.end(), bfx::kReturnToControl.begin(), bfx::kReturnToControl.end());
  WriteFile(Path("known.bfx"), MakeBfx({page}, true));

  const auto r = ConvertBfxToTiff(Path("known.bfx").c_str(), Path("known.tif").c_str());
  ASSERT_EQ(r.status, Status::Converted) << r.reason;
  const Decoded got = ReadWithLibtiff(Path("known.tif"));
  ExpectSamePagesPlusOneWhiteRow({image}, got);
  EXPECT_EQ(got.yResolution, std::vector<float>{196.0f});
}

}  // namespace
}  // namespace faxconv
