// Writes a BFX file: the signature first, then page after page from offset 2048, each line as
// the recoder hands it over and return-to-control after each page; the page count, directory
// and flags byte last. Until then the header holds only the signature, so a file whose
// conversion failed halfway is rejected by every BFX reader rather than read as valid.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "faxconv/BfxFormat.h"
#include "faxconv/FaxTypes.h"
#include "faxconv/FileAppender.h"
#include "faxconv/LineRecoder.h"

namespace faxconv {

class BfxPageWriter final : public PageSink {
 public:
  explicit BfxPageWriter(RandomAccessFile& file) : out_(file, bfx::kDataOffset) {}

  // Writes the signature. False if it cannot be written.
  [[nodiscard]] bool Create();
  void WriteLine(std::span<const uint8_t> line) override { out_.Append(line); }
  // Appends return-to-control and notes the page. The directory has room for 97 pages (a 98th
  // entry would overwrite the flags byte, later ones the page data): a 98th page fails.
  void EndPage(const PageCounts& counts) override;
  // Writes the page count, the directory and the flags byte.
  [[nodiscard]] bool Finish(Resolution resolution);

  [[nodiscard]] unsigned pageCount() const { return pageCount_; }
  [[nodiscard]] bool failed() const { return out_.failed(); }
  [[nodiscard]] const std::string& error() const { return out_.error(); }

 private:
  struct Entry {
    uint32_t length;
    uint32_t offset;
  };
  FileAppender out_;
  std::array<Entry, bfx::kMaxWritablePages> entries_{};
  unsigned pageCount_ = 0;
  uint64_t pageStart_ = bfx::kDataOffset;
};

}  // namespace faxconv
