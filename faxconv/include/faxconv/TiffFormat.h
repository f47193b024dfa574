// TIFF 6.0 numbers the fax converter reads and writes.
#pragma once

#include <cstdint>

namespace faxconv::tiff {

enum Tag : uint16_t {
  kNewSubfileType = 254,
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometricInterpretation = 262,
  kFillOrder = 266,
  kStripOffsets = 273,
  kOrientation = 274,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kXResolution = 282,
  kYResolution = 283,
  kT4Options = 292,
  kResolutionUnit = 296,
  kPageNumber = 297,
};

enum Type : uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

inline constexpr uint16_t kVersion = 42;
inline constexpr uint16_t kCompressionGroup3 = 3;  // CCITT T.4
inline constexpr uint16_t kFillOrderMsbFirst = 1;
inline constexpr uint16_t kFillOrderLsbFirst = 2;
inline constexpr uint16_t kPhotometricWhiteIsZero = 0;
inline constexpr uint16_t kPhotometricBlackIsZero = 1;
inline constexpr uint32_t kT4TwoDimensional = 1;  // T4Options bit 0
inline constexpr uint16_t kUnitNone = 1;
inline constexpr uint16_t kUnitInch = 2;
inline constexpr uint16_t kUnitCentimetre = 3;

}  // namespace faxconv::tiff
