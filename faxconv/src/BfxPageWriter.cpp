#include "faxconv/BfxPageWriter.h"

#include <vector>

namespace faxconv {
namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

bool BfxPageWriter::Create() {
  out_.WriteAt(0,
               {reinterpret_cast<const uint8_t*>(bfx::kSignature.data()), bfx::kSignature.size()});
  return !out_.failed();
}

void BfxPageWriter::EndPage(const PageCounts&) {
  out_.Append(bfx::kReturnToControl);
  if (out_.failed()) return;
  if (pageCount_ == bfx::kMaxWritablePages) {
    out_.Fail("more than " + std::to_string(bfx::kMaxWritablePages) +
              " pages: the BFX page directory has no room for more");
    return;
  }
  entries_[pageCount_++] = {static_cast<uint32_t>(out_.position() - pageStart_),
                            static_cast<uint32_t>(pageStart_)};
  pageStart_ = out_.position();
  // A finished page reaches the file at once: should a later page fail, the file holds every
  // page before it.
  out_.Flush();
}

bool BfxPageWriter::Finish(Resolution resolution) {
  out_.Flush();
  const auto count = static_cast<uint8_t>(pageCount_);
  out_.WriteAt(bfx::kPageCountOffset, {&count, 1});
  std::vector<uint8_t> directory(pageCount_ * bfx::kEntrySize, 0);
  for (unsigned p = 0; p < pageCount_; ++p) {
    uint8_t* entry = directory.data() + p * bfx::kEntrySize;
    PutLe32(entry + bfx::kEntryLengthField, entries_[p].length);
    PutLe32(entry + bfx::kEntryOffsetField, entries_[p].offset);
  }
  out_.WriteAt(bfx::kDirectoryOffset, directory);
  const uint8_t flags = resolution == Resolution::Fine ? bfx::kFineFlag : 0;
  out_.WriteAt(bfx::kFlagsOffset, {&flags, 1});
  return !out_.failed();
}

}  // namespace faxconv
