// Reads a BFX file's header and page directory, and tells where each page's data lies.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "faxconv/FaxTypes.h"
#include "faxconv/LineRecoder.h"
#include "faxconv/RandomAccessFile.h"

namespace faxconv {

struct BfxPage {
  uint32_t length = 0;     // as the directory says
  uint32_t offset = 0;     // at least 2048
  uint32_t available = 0;  // how much of it the file holds: data past the end is not there
};

class BfxReader {
 public:
  // Checks the signature, the page count and every directory entry. On rejection returns
  // nothing and says why in `reason`.
  [[nodiscard]] static std::optional<BfxReader> Open(RandomAccessFile& file, std::string& reason);

  [[nodiscard]] unsigned pageCount() const { return pageCount_; }
  [[nodiscard]] const BfxPage& page(unsigned i) const { return pages_[i]; }
  [[nodiscard]] uint64_t fileSize() const { return fileSize_; }

  // The flags byte's resolution; a file too short to hold the byte counts as standard.
  [[nodiscard]] static Resolution ReadResolution(RandomAccessFile& file);
  // Whether the data area opens with a run of 0xFF fill bytes.
  [[nodiscard]] static LeadingFill ReadLeadingFill(RandomAccessFile& file);

 private:
  unsigned pageCount_ = 0;
  std::array<BfxPage, 255> pages_{};
  uint64_t fileSize_ = 0;
};

}  // namespace faxconv
