#include "faxconv/TiffReader.h"

#include <array>

#include "faxconv/TiffFormat.h"

namespace faxconv {

std::optional<TiffReader> TiffReader::Open(RandomAccessFile& file, std::string& reason) {
  std::array<uint8_t, 8> header{};
  if (!file.ReadExactly(0, header)) {
    reason = "not a TIFF file (too short for a header)";
    return std::nullopt;
  }
  ByteOrder order;
  if (header[0] == 'I' && header[1] == 'I') {
    order = ByteOrder::LittleEndian;
  } else if (header[0] == 'M' && header[1] == 'M') {
    order = ByteOrder::BigEndian;
  } else {
    reason = "not a TIFF file (no \"II\" or \"MM\" byte order)";
    return std::nullopt;
  }
  TiffReader reader(file, order);
  if (reader.U16(header.data() + 2) != tiff::kVersion) {
    reason = "not a TIFF file (version is not 42)";
    return std::nullopt;
  }
  reader.nextIfd_ = reader.U32(header.data() + 4);
  if (reader.nextIfd_ < 8) {
    reason = "the TIFF's first IFD offset is below 8";
    return std::nullopt;
  }
  return reader;
}

bool TiffReader::ReadFileSize() {
  const auto size = file_->Size();
  if (!size) return false;
  fileSize_ = *size;
  return true;
}

uint16_t TiffReader::U16(const uint8_t* p) const {
  return order_ == ByteOrder::LittleEndian ? static_cast<uint16_t>(p[0] | p[1] << 8)
                                           : static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t TiffReader::U32(const uint8_t* p) const {
  return order_ == ByteOrder::LittleEndian
             ? static_cast<uint32_t>(U16(p)) | static_cast<uint32_t>(U16(p + 2)) << 16
             : static_cast<uint32_t>(U16(p)) << 16 | static_cast<uint32_t>(U16(p + 2));
}

std::optional<uint32_t> TiffReader::Scalar(const TiffEntry& e) const {
  if (!e.present || e.count < 1) return std::nullopt;
  switch (e.type) {
    case tiff::kByte:
      return e.value[0];
    case tiff::kShort:
      return U16(e.value);
    case tiff::kLong:
      return U32(e.value);
    default:
      return std::nullopt;
  }
}

static uint64_t TypeSize(uint16_t type) {
  switch (type) {
    case tiff::kShort:
      return 2;
    case tiff::kLong:
      return 4;
    default:
      return 0;
  }
}

bool TiffReader::ArrayInFile(const TiffEntry& e) const {
  const uint64_t bytes = TypeSize(e.type) * e.count;
  if (bytes <= 4) return true;
  const uint64_t at = U32(e.value);
  return at + bytes <= fileSize_;
}

uint32_t TiffReader::ResolutionFigure(uint32_t unit, uint32_t numerator, uint32_t denominator) {
  if (denominator == 0) return 0;
  const uint64_t perUnit = numerator / denominator;
  uint64_t r = 0;
  if (unit == tiff::kUnitInch) {
    r = perUnit * 10000 / 254;  // lines per millimetre times 1000: n / 25.4 * 1000, truncated
  } else if (unit == tiff::kUnitCentimetre) {
    r = perUnit * 100;
  }
  if (r >= kFineThreshold) r = kFineFigure;
  return static_cast<uint32_t>(r);
}

TiffReader::Next TiffReader::NextPage(TiffPage& page, std::string& reason) {
  if (nextIfd_ == 0) return Next::End;
  const uint64_t at = nextIfd_;
  if (!seen_.insert(at).second) {
    reason = "the IFD chain loops back to the IFD at offset " + std::to_string(at);
    return Next::Failed;
  }
  if (++pagesRead_ > kMaxPages) {
    reason = "more than " + std::to_string(kMaxPages) + " IFDs in the chain";
    return Next::Failed;
  }
  std::array<uint8_t, 2> countBytes{};
  if (at + 2 > fileSize_ || !file_->ReadExactly(at, countBytes)) {
    reason = "an IFD lies beyond the end of the file (offset " + std::to_string(at) + ")";
    return Next::Failed;
  }
  const uint16_t count = U16(countBytes.data());
  const uint64_t size = uint64_t{count} * 12 + 4;
  entries_.resize(size);
  if (at + 2 + size > fileSize_ || !file_->ReadExactly(at + 2, entries_)) {
    reason = "the IFD at offset " + std::to_string(at) + " runs past the end of the file";
    return Next::Failed;
  }

  page = TiffPage{};
  page.ifdOffset = at;
  TiffEntry fillOrder, unit, yResolution, compression, photometric, t4Options, width, length;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* raw = entries_.data() + i * 12;
    TiffEntry* target = nullptr;
    switch (U16(raw)) {
      case tiff::kCompression:
        target = &compression;
        break;
      case tiff::kFillOrder:
        target = &fillOrder;
        break;
      case tiff::kResolutionUnit:
        target = &unit;
        break;
      case tiff::kYResolution:
        target = &yResolution;
        break;
      case tiff::kStripOffsets:
        target = &page.stripOffsets;
        break;
      case tiff::kStripByteCounts:
        target = &page.stripByteCounts;
        break;
      case tiff::kPhotometricInterpretation:
        target = &photometric;
        break;
      case tiff::kT4Options:
        target = &t4Options;
        break;
      case tiff::kImageWidth:
        target = &width;
        break;
      case tiff::kImageLength:
        target = &length;
        break;
      default:
        continue;
    }
    target->present = true;
    target->type = U16(raw + 2);
    target->count = U32(raw + 4);
    std::copy(raw + 8, raw + 12, target->value);
  }
  nextIfd_ = U32(entries_.data() + size - 4);

  page.compression = Scalar(compression);
  page.photometric = Scalar(photometric).value_or(tiff::kPhotometricWhiteIsZero);
  page.t4Options = Scalar(t4Options).value_or(0);
  page.imageWidth = Scalar(width);
  page.imageLength = Scalar(length);
  page.fillOrderTag = Scalar(fillOrder).value_or(0);
  // Anything but 1 is least significant bit first, the board's order, a missing tag included
  // (the opposite of the TIFF default).
  page.bitOrder =
      page.fillOrderTag == tiff::kFillOrderMsbFirst ? BitOrder::MsbFirst : BitOrder::LsbFirst;
  uint32_t unitValue = Scalar(unit).value_or(tiff::kUnitInch);
  if (unitValue < tiff::kUnitNone || unitValue > tiff::kUnitCentimetre) unitValue = tiff::kUnitInch;
  if (yResolution.present && yResolution.type == tiff::kRational) {
    std::array<uint8_t, 8> rational{};
    const uint64_t where = U32(yResolution.value);
    if (where + 8 <= fileSize_ && file_->ReadExactly(where, rational)) {
      page.resolutionFigure =
          ResolutionFigure(unitValue, U32(rational.data()), U32(rational.data() + 4));
    }
  }

  for (const TiffEntry* e : {&page.stripOffsets, &page.stripByteCounts}) {
    if (!e->present) continue;
    if (TypeSize(e->type) == 0) {
      reason = "strip offsets or byte counts of an unsupported type";
      return Next::Failed;
    }
    if (!ArrayInFile(*e)) {
      reason = "strip offsets or byte counts lie beyond the end of the file";
      return Next::Failed;
    }
  }
  return Next::Page;
}

std::optional<TiffStrip> TiffReader::Strip(const TiffPage& page, uint32_t i, std::string& reason) {
  auto value = [&](const TiffEntry& e) -> std::optional<uint64_t> {
    const uint64_t width = TypeSize(e.type);
    if (i >= e.count || width == 0) return std::nullopt;
    std::array<uint8_t, 4> raw{};
    if (width * e.count <= 4) {
      std::copy(e.value + width * i, e.value + width * (i + 1), raw.data());
    } else if (!file_->ReadExactly(U32(e.value) + width * i, {raw.data(), width})) {
      return std::nullopt;
    }
    return width == 2 ? U16(raw.data()) : U32(raw.data());
  };
  const auto offset = value(page.stripOffsets);
  const auto length = value(page.stripByteCounts);
  if (!offset || !length) {
    reason = "cannot read the offset and length of strip " + std::to_string(i + 1);
    return std::nullopt;
  }
  TiffStrip strip{*offset, *length, 0};
  if (strip.offset < fileSize_) strip.available = std::min(strip.length, fileSize_ - strip.offset);
  return strip;
}

}  // namespace faxconv
