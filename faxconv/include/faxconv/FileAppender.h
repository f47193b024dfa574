// Sequential writing at the end of what has been written, gathered into one buffer so that a
// page of short lines costs a few large writes, plus patches at earlier offsets (headers,
// directories, IFD links). The first failure is kept, with its reason, and later calls do
// nothing, so a writer can check once at the end of a page.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "faxconv/RandomAccessFile.h"

namespace faxconv {

class FileAppender {
 public:
  // Both file formats keep offsets in 32 bits.
  static constexpr uint64_t kMaxFileSize = 0xFFFFFFFFull;

  FileAppender(RandomAccessFile& file, uint64_t position, std::size_t bufferSize = 1 << 16)
      : file_(&file), position_(position), flushed_(position) {
    buffer_.reserve(bufferSize);
  }

  void Append(std::span<const uint8_t> data);
  void Flush();
  // Writes at an earlier offset (everything appended so far is flushed first).
  void WriteAt(uint64_t offset, std::span<const uint8_t> data);
  void Fail(std::string reason);

  // The offset the next appended byte goes to.
  [[nodiscard]] uint64_t position() const { return position_; }
  [[nodiscard]] bool failed() const { return failed_; }
  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  RandomAccessFile* file_;
  uint64_t position_;
  uint64_t flushed_;  // the file offset of buffer_[0]
  std::vector<uint8_t> buffer_;
  bool failed_ = false;
  std::string error_;
};

}  // namespace faxconv
