#include "faxconv/FileAppender.h"

#include <cstring>

namespace faxconv {

void FileAppender::Append(std::span<const uint8_t> data) {
  if (failed_) return;
  if (position_ + data.size() > kMaxFileSize) {
    Fail("the file would grow beyond the 4 GiB its 32-bit offsets can address");
    return;
  }
  if (buffer_.size() + data.size() > buffer_.capacity()) Flush();
  if (failed_) return;
  if (data.size() > buffer_.capacity()) {
    if (!file_->WriteAt(position_, data)) Fail("cannot write to the file");
    flushed_ = position_ + data.size();
  } else {
    buffer_.insert(buffer_.end(), data.begin(), data.end());
  }
  position_ += data.size();
}

void FileAppender::Flush() {
  if (failed_ || buffer_.empty()) return;
  if (!file_->WriteAt(flushed_, buffer_)) {
    Fail("cannot write to the file");
    return;
  }
  flushed_ += buffer_.size();
  buffer_.clear();
}

void FileAppender::WriteAt(uint64_t offset, std::span<const uint8_t> data) {
  Flush();
  if (failed_) return;
  if (!file_->WriteAt(offset, data)) Fail("cannot write to the file");
}

void FileAppender::Fail(std::string reason) {
  if (failed_) return;
  failed_ = true;
  error_ = std::move(reason);
}

}  // namespace faxconv
