// The screen server's own pieces: cutting the viewer's glued requests apart, loading pictures,
// the palettes and the cell bitmaps it writes.

#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <fstream>

#include "CellBitmapWriter.h"
#include "ImageFile.h"
#include "Palette.h"
#include "RequestParser.h"

namespace screenserver {
namespace {

TEST(RequestParser, CutsGluedRequestsApart) {
  std::string stream =
      "RESOLUTIONOKOKWM_GRID;8;4;0;0;WM_COMP;13;0;0;0;WM_CMOD;8;0;0;0;REFRESHDISCONNECT";
  std::vector<std::string> texts;
  std::vector<RequestKind> kinds;
  for (;;) {
    Request request;
    std::size_t consumed = 0;
    if (ParseRequest(stream, request, consumed) != RequestScan::kComplete) break;
    texts.push_back(request.text);
    kinds.push_back(request.kind);
    if (request.kind == RequestKind::kGrid) {
      EXPECT_EQ(request.numbers, (std::array<long, 4>{8, 4, 0, 0}));
    }
    stream.erase(0, consumed);
  }
  EXPECT_TRUE(stream.empty());
  EXPECT_EQ(texts, (std::vector<std::string>{"RESOLUTION", "OK", "OK", "WM_GRID;8;4;0;0;",
                                             "WM_COMP;13;0;0;0;", "WM_CMOD;8;0;0;0;", "REFRESH",
                                             "DISCONNECT"}));
}

TEST(RequestParser, PartialAndForeignInput) {
  struct Case {
    const char* text;
    RequestScan scan;
  };
  for (const Case& c :
       {Case{"", RequestScan::kNeedMore}, Case{"RESOL", RequestScan::kNeedMore},
        Case{"WM_GRID;8;4", RequestScan::kNeedMore}, Case{"WM_GRID", RequestScan::kNeedMore},
        Case{"WM_GRID:8;4;0;0;", RequestScan::kNotProtocol},
        Case{"WM_GRID;x;4;0;0;", RequestScan::kNotProtocol},
        Case{"GET / HTTP/1.0", RequestScan::kNotProtocol}, Case{"OKAY", RequestScan::kComplete}}) {
    Request request;
    std::size_t consumed = 0;
    EXPECT_EQ(ParseRequest(c.text, request, consumed), c.scan) << c.text;
  }
  std::string endless = "WM_COMP;" + std::string(100, '1');
  Request request;
  std::size_t consumed = 0;
  EXPECT_EQ(ParseRequest(endless, request, consumed), RequestScan::kNotProtocol);
}

TEST(Palette, FourBitsMapToTheNearestOfSixteenAndEightBitsToThreeThreeTwo) {
  const Palette vga(ColourDepth::k4Bits);
  EXPECT_EQ(vga.Entries(), 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(vga.Index(vga.Colour(i)), i);
  EXPECT_EQ(vga.Colour(vga.Index(0xF01010)), 0xFF0000u);
  EXPECT_EQ(vga.Colour(vga.Index(0x101010)), 0x000000u);
  const Palette cube(ColourDepth::k8Bits);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(cube.Index(cube.Colour(i)), i);
}

TEST(CellBitmapWriter, WritesAWholeBottomUpBitmap) {
  Frame frame;
  frame.Resize(3, 2);
  frame.pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00};
  std::vector<std::uint8_t> bitmap;
  WriteCellBitmap(frame, 0, 0, 3, 2, Palette(ColourDepth::k4Bits), bitmap);
  ASSERT_EQ(bitmap.size(), CellBitmapSize(3, 2, ColourDepth::k4Bits));
  ASSERT_EQ(bitmap.size(), 40u + 64u + 2u * 4u);
  EXPECT_EQ(bitmap[0], 40);
  EXPECT_EQ(bitmap[14], 4);
  // Bottom row first: white (15), black (0), yellow (11); then red (9), lime (10), blue (12).
  EXPECT_EQ(bitmap[104], 0xF0);
  EXPECT_EQ(bitmap[105], 0xB0);
  EXPECT_EQ(bitmap[108], 0x9A);
  EXPECT_EQ(bitmap[109], 0xC0);
  // Outside the frame is black.
  WriteCellBitmap(frame, 2, 1, 2, 2, Palette(ColourDepth::k8Bits), bitmap);
  EXPECT_EQ(bitmap[40 + 1024 + 0], 0);     // (2, 2): below the frame
  EXPECT_EQ(bitmap[40 + 1024 + 4], 0xFC);  // (2, 1): yellow
}

class ImageFiles : public ::testing::Test {
 protected:
  std::string Path(const char* name) { return ::testing::TempDir() + name; }
};

TEST_F(ImageFiles, LoadsPpmAndPng) {
  const std::string ppm = Path("harnvik-picture.ppm");
  {
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n# a comment\n2 1\n255\n";
    out.write("\xFF\x00\x00\x00\x00\xFF", 6);
  }
  std::string error;
  const auto fromPpm = LoadImageFile(ppm, error);
  ASSERT_TRUE(fromPpm) << error;
  EXPECT_EQ(fromPpm->pixels, (std::vector<std::uint32_t>{0xFF0000, 0x0000FF}));

  const std::string png = Path("harnvik-picture.png");
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 2;
  image.height = 1;
  image.format = PNG_FORMAT_RGB;
  const std::uint8_t rgb[] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
  ASSERT_NE(png_image_write_to_file(&image, png.c_str(), 0, rgb, 0, nullptr), 0);
  const auto fromPng = LoadImageFile(png, error);
  ASSERT_TRUE(fromPng) << error;
  EXPECT_EQ(fromPng->pixels, (std::vector<std::uint32_t>{0x102030, 0x405060}));
}

TEST_F(ImageFiles, RefusesWhatIsNotAPicture) {
  const std::string bad = Path("harnvik-bad.ppm");
  for (const char* content :
       {"P6\n2 1\n255\n\xFF", "P6\n0 1\n255\n", "P6\n99999 99999\n255\n", "not a picture at all"}) {
    std::ofstream(bad, std::ios::binary) << content;
    std::string error;
    EXPECT_FALSE(LoadImageFile(bad, error)) << content;
    EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_FALSE(LoadImageFile(Path("harnvik-missing.png"), error));
}

}  // namespace
}  // namespace screenserver
