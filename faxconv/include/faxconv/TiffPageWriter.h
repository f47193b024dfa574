// Writes a little-endian multi-page TIFF with Group 3 one-dimensional compression: for each page
// its strip (the recoded lines and two 0x00 bytes), then its IFD of 17 entries (210 bytes), then
// XResolution and YResolution. Each new IFD is linked from the header (first page) or from the
// previous IFD's next field.
#pragma once

#include <cstdint>
#include <string>

#include "faxconv/FaxTypes.h"
#include "faxconv/FileAppender.h"
#include "faxconv/LineRecoder.h"

namespace faxconv {

class TiffPageWriter final : public PageSink {
 public:
  static constexpr uint16_t kEntryCount = 17;
  static constexpr uint32_t kIfdSize = 2 + kEntryCount * 12 + 4;  // 210
  static constexpr uint32_t kHeaderSize = 8;

  TiffPageWriter(RandomAccessFile& file, Resolution resolution)
      : out_(file, kHeaderSize), resolution_(resolution) {}

  // Writes "II", 42 and a first-IFD offset of 0.
  [[nodiscard]] bool Create();
  void WriteLine(std::span<const uint8_t> line) override;
  void EndPage(const PageCounts& counts) override;
  // Page, line and byte counters back to 0.
  void Reset();

  [[nodiscard]] unsigned pageCount() const { return pages_; }
  [[nodiscard]] bool failed() const { return out_.failed(); }
  [[nodiscard]] const std::string& error() const { return out_.error(); }
  // Everything appended reaches the file.
  void Flush() { out_.Flush(); }

 private:
  FileAppender out_;
  Resolution resolution_;
  unsigned pages_ = 0;
  uint32_t lines_ = 0;
  uint64_t stripStart_ = kHeaderSize;
  uint64_t previousIfd_ = 0;
};

}  // namespace faxconv
