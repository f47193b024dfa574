// Reads what the fax converter needs from a TIFF file: the header, the IFD chain, and in each
// IFD the handful of tags that say how its strips are coded and where they are. Both byte
// orders. Every offset and count is checked against the file before it is used; a chain that
// comes back to an IFD already read is an error, not a loop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "faxconv/FaxTypes.h"
#include "faxconv/RandomAccessFile.h"
#include "faxconv/RunRecogniser.h"

namespace faxconv {

enum class ByteOrder : uint8_t { LittleEndian, BigEndian };  // "II", "MM"

// An IFD entry as stored: its value field is kept raw (in file byte order).
struct TiffEntry {
  bool present = false;
  uint16_t type = 0;
  uint32_t count = 0;
  uint8_t value[4] = {};
};

struct TiffPage {
  uint64_t ifdOffset = 0;
  std::optional<uint32_t> compression;
  uint32_t photometric = 0;  // missing: white is zero, as a fax page is
  uint32_t t4Options = 0;
  std::optional<uint32_t> imageWidth;
  std::optional<uint32_t> imageLength;
  uint32_t fillOrderTag = 0;  // as stored, 0 when missing
  BitOrder bitOrder = BitOrder::LsbFirst;
  // The resolution figure r: 7716 for fine, below 5787 for standard, 0 when unknown.
  uint32_t resolutionFigure = 0;
  TiffEntry stripOffsets;
  TiffEntry stripByteCounts;

  [[nodiscard]] uint32_t stripCount() const { return stripOffsets.count; }
};

struct TiffStrip {
  uint64_t offset = 0;
  uint64_t length = 0;     // as the file says
  uint64_t available = 0;  // how much of it the file holds
};

class TiffReader {
 public:
  // Fax documents have a few dozen pages; this bounds the work a hostile chain can cause.
  static constexpr unsigned kMaxPages = 1000;
  // r from YResolution at or above which a page is fine, and the figure it then becomes.
  static constexpr uint32_t kFineThreshold = 5787;
  static constexpr uint32_t kFineFigure = 7716;

  // Checks the header: byte order, version 42, first IFD offset at least 8.
  [[nodiscard]] static std::optional<TiffReader> Open(RandomAccessFile& file, std::string& reason);
  // Learns the file's size, which bounds every later read. False if it cannot be read.
  [[nodiscard]] bool ReadFileSize();

  enum class Next : uint8_t { Page, End, Failed };
  // Reads the next IFD of the chain into `page`.
  [[nodiscard]] Next NextPage(TiffPage& page, std::string& reason);
  // Strip i of a page (i < stripCount()); nothing if its offset or length cannot be read.
  [[nodiscard]] std::optional<TiffStrip> Strip(const TiffPage& page, uint32_t i,
                                               std::string& reason);

  [[nodiscard]] ByteOrder byteOrder() const { return order_; }
  [[nodiscard]] uint64_t fileSize() const { return fileSize_; }
  [[nodiscard]] static uint32_t ResolutionFigure(uint32_t unit, uint32_t numerator,
                                                 uint32_t denominator);

 private:
  TiffReader(RandomAccessFile& file, ByteOrder order) : file_(&file), order_(order) {}

  [[nodiscard]] uint16_t U16(const uint8_t* p) const;
  [[nodiscard]] uint32_t U32(const uint8_t* p) const;
  // The value of a one-value BYTE, SHORT or LONG entry.
  [[nodiscard]] std::optional<uint32_t> Scalar(const TiffEntry& e) const;
  [[nodiscard]] bool ArrayInFile(const TiffEntry& e) const;

  RandomAccessFile* file_;
  ByteOrder order_;
  uint64_t fileSize_ = 0;
  uint64_t nextIfd_ = 0;
  unsigned pagesRead_ = 0;
  std::unordered_set<uint64_t> seen_;
  std::vector<uint8_t> entries_;
};

}  // namespace faxconv
