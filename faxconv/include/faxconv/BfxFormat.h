// The fax board's BFX page file: where its fields lie.
//
//   0      9  signature "BIT  FAX0" (older files: "BIT FAX" and a zero byte)
//   9      1  page count, 1 ... 255
//   16+16p 16 directory entry of page p: 4 unused, length (4), offset (4), 4 unused
//   1577   1  flags: 0x40 = fine resolution
//   2048   .. page data, T.4 Modified Huffman, least significant bit first
// Numbers are little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace faxconv::bfx {

inline constexpr std::string_view kSignature{"BIT  FAX0", 9};
inline constexpr std::string_view kOldSignature{"BIT FAX\0", 8};
inline constexpr uint32_t kPageCountOffset = 9;
inline constexpr uint32_t kDirectoryOffset = 16;
inline constexpr uint32_t kEntrySize = 16;
inline constexpr uint32_t kEntryLengthField = 4;
inline constexpr uint32_t kEntryOffsetField = 8;
inline constexpr uint32_t kFlagsOffset = 1577;
inline constexpr uint8_t kFineFlag = 0x40;
inline constexpr uint32_t kDataOffset = 2048;
// Directory entries 0 ... 96 end at 1568; a 98th would cover the flags byte.
inline constexpr uint32_t kMaxWritablePages = (kFlagsOffset - kDirectoryOffset) / kEntrySize;

// Return-to-control (T.4 4.1.4): six byte-aligned EOLs end every page the writer makes.
inline constexpr std::array<uint8_t, 12> kReturnToControl = {0x00, 0x80, 0x00, 0x80, 0x00, 0x80,
                                                             0x00, 0x80, 0x00, 0x80, 0x00, 0x80};

// Fed after each page's data when reading: seven EOLs, so that every page with data ends
// through the six-EOL rule whatever state its last bits left the recogniser in.
inline constexpr std::array<uint8_t, 12> kPageTrailer = {0x00, 0x08, 0x80, 0x00, 0x08, 0x80,
                                                         0x00, 0x08, 0x80, 0x00, 0x80, 0x00};

// A document whose first 100 data bytes hold at least 60 0xFF bytes in a row opens with fill.
inline constexpr uint32_t kLeadingFillWindow = 100;
inline constexpr uint32_t kLeadingFillRun = 60;

}  // namespace faxconv::bfx
