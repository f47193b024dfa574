#include "faxconv/BfxReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "faxconv/BfxFormat.h"

namespace faxconv {
namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

std::optional<BfxReader> BfxReader::Open(RandomAccessFile& file, std::string& reason) {
  const auto size = file.Size();
  if (!size) {
    reason = "cannot read the file's size";
    return std::nullopt;
  }
  std::array<uint8_t, bfx::kDirectoryOffset> header{};
  const auto got = file.ReadAt(0, header);
  if (!got) {
    reason = "cannot read the file";
    return std::nullopt;
  }
  const bool signature =
      (*got >= bfx::kSignature.size() &&
       std::memcmp(header.data(), bfx::kSignature.data(), bfx::kSignature.size()) == 0) ||
      (*got >= bfx::kOldSignature.size() &&
       std::memcmp(header.data(), bfx::kOldSignature.data(), bfx::kOldSignature.size()) == 0);
  if (!signature) {
    reason = "not a BFX file (no \"BIT  FAX0\" signature)";
    return std::nullopt;
  }
  if (*got <= bfx::kPageCountOffset || header[bfx::kPageCountOffset] == 0) {
    reason = "the BFX file has a page count of 0";
    return std::nullopt;
  }
  BfxReader reader;
  reader.fileSize_ = *size;
  reader.pageCount_ = header[bfx::kPageCountOffset];
  std::vector<uint8_t> directory(reader.pageCount_ * bfx::kEntrySize);
  if (!file.ReadExactly(bfx::kDirectoryOffset, directory)) {
    reason = "the BFX page directory is cut short";
    return std::nullopt;
  }
  for (unsigned p = 0; p < reader.pageCount_; ++p) {
    const uint8_t* entry = directory.data() + p * bfx::kEntrySize;
    BfxPage& page = reader.pages_[p];
    page.length = Le32(entry + bfx::kEntryLengthField);
    page.offset = Le32(entry + bfx::kEntryOffsetField);
    if (page.offset < bfx::kDataOffset) {
      reason = "page " + std::to_string(p + 1) + " has its data at offset " +
               std::to_string(page.offset) + ", inside the header";
      return std::nullopt;
    }
    const uint64_t end = std::min<uint64_t>(uint64_t{page.offset} + page.length, *size);
    page.available = end > page.offset ? static_cast<uint32_t>(end - page.offset) : 0;
  }
  return reader;
}

Resolution BfxReader::ReadResolution(RandomAccessFile& file) {
  uint8_t flags = 0;
  if (!file.ReadExactly(bfx::kFlagsOffset, {&flags, 1})) return Resolution::Standard;
  return (flags & bfx::kFineFlag) != 0 ? Resolution::Fine : Resolution::Standard;
}

LeadingFill BfxReader::ReadLeadingFill(RandomAccessFile& file) {
  std::array<uint8_t, bfx::kLeadingFillWindow> window{};
  const auto got = file.ReadAt(bfx::kDataOffset, window);
  if (!got) return LeadingFill::Absent;
  uint32_t run = 0;
  for (std::size_t i = 0; i < *got; ++i) {
    run = window[i] == 0xFF ? run + 1 : 0;
    if (run >= bfx::kLeadingFillRun) return LeadingFill::Present;
  }
  return LeadingFill::Absent;
}

}  // namespace faxconv
