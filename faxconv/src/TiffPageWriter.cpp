#include "faxconv/TiffPageWriter.h"

#include <array>

#include "faxconv/TiffFormat.h"

namespace faxconv {
namespace {

void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, static_cast<uint16_t>(v));
  PutLe16(p + 2, static_cast<uint16_t>(v >> 16));
}

// The fax board's scanning resolution: 204 dots per inch across, 196 or 98 lines down.
constexpr uint32_t kXDotsPerInch = 204;
constexpr uint32_t kFineLinesPerInch = 196;
constexpr uint32_t kStandardLinesPerInch = 98;
// NewSubfileType: one page of a multi-page document.
constexpr uint32_t kSubfilePage = 2;

}  // namespace

bool TiffPageWriter::Create() {
  const std::array<uint8_t, kHeaderSize> header = {'I', 'I', tiff::kVersion, 0, 0, 0, 0, 0};
  out_.WriteAt(0, header);
  return !out_.failed();
}

void TiffPageWriter::WriteLine(std::span<const uint8_t> line) {
  out_.Append(line);
  ++lines_;
}

void TiffPageWriter::EndPage(const PageCounts&) {
  static constexpr std::array<uint8_t, 2> kStripEnd = {0, 0};
  out_.Append(kStripEnd);
  const uint64_t ifd = out_.position();
  if (ifd + kIfdSize + 16 > FileAppender::kMaxFileSize) {
    out_.Fail("the TIFF file would grow beyond the 4 GiB its 32-bit offsets can address");
  }
  if (out_.failed()) return;
  const auto stripBytes = static_cast<uint32_t>(ifd - stripStart_);
  const auto ifd32 = static_cast<uint32_t>(ifd);

  std::array<uint8_t, kIfdSize + 16> block{};
  PutLe16(block.data(), kEntryCount);
  uint8_t* entry = block.data() + 2;
  auto put = [&entry](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    PutLe16(entry, tag);
    PutLe16(entry + 2, type);
    PutLe32(entry + 4, count);
    // A SHORT sits in the first two bytes of the value field, the rest zero: in a
    // little-endian file that is the same as the LONG of equal value.
    PutLe32(entry + 8, value);
    entry += 12;
  };
  const auto page = static_cast<uint16_t>(pages_);
  put(tiff::kNewSubfileType, tiff::kLong, 1, kSubfilePage);
  put(tiff::kImageWidth, tiff::kLong, 1, kLineWidth);
  put(tiff::kImageLength, tiff::kLong, 1, lines_);
  put(tiff::kBitsPerSample, tiff::kShort, 1, 1);
  put(tiff::kCompression, tiff::kShort, 1, tiff::kCompressionGroup3);
  put(tiff::kPhotometricInterpretation, tiff::kShort, 1, tiff::kPhotometricWhiteIsZero);
  put(tiff::kFillOrder, tiff::kShort, 1, tiff::kFillOrderLsbFirst);
  put(tiff::kStripOffsets, tiff::kLong, 1, static_cast<uint32_t>(stripStart_));
  put(tiff::kOrientation, tiff::kShort, 1, 1);
  put(tiff::kSamplesPerPixel, tiff::kShort, 1, 1);
  put(tiff::kRowsPerStrip, tiff::kLong, 1, lines_);
  put(tiff::kStripByteCounts, tiff::kLong, 1, stripBytes);
  put(tiff::kXResolution, tiff::kRational, 1, ifd32 + kIfdSize);
  put(tiff::kYResolution, tiff::kRational, 1, ifd32 + kIfdSize + 8);
  put(tiff::kT4Options, tiff::kLong, 1, 0);
  put(tiff::kResolutionUnit, tiff::kShort, 1, tiff::kUnitInch);
  // PageNumber as the board's software writes it: the page index, then the index plus one.
  put(tiff::kPageNumber, tiff::kShort, 2, static_cast<uint32_t>(page) | (uint32_t{page} + 1) << 16);
  PutLe32(entry, 0);  // next IFD: none yet
  uint8_t* rationals = block.data() + kIfdSize;
  PutLe32(rationals, kXDotsPerInch);
  PutLe32(rationals + 4, 1);
  PutLe32(rationals + 8,
          resolution_ == Resolution::Fine ? kFineLinesPerInch : kStandardLinesPerInch);
  PutLe32(rationals + 12, 1);
  out_.Append(block);

  std::array<uint8_t, 4> link{};
  PutLe32(link.data(), ifd32);
  out_.WriteAt(pages_ == 0 ? 4 : previousIfd_ + kIfdSize - 4, link);
  previousIfd_ = ifd;
  ++pages_;
  lines_ = 0;
  stripStart_ = out_.position();
}

void TiffPageWriter::Reset() {
  pages_ = 0;
  lines_ = 0;
  stripStart_ = kHeaderSize;
  previousIfd_ = 0;
}

}  // namespace faxconv
