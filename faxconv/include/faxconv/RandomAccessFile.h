// The file a reader or writer works on: positioned reads and writes and a size. The conversions
// use `PosixFile`; tests use `MemoryFile`, and a file that fails after some bytes to show that
// write errors are reported.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace faxconv {

class RandomAccessFile {
 public:
  virtual ~RandomAccessFile() = default;
  // Reads up to out.size() bytes at `offset`: the number read, fewer only at the end of the
  // file, or nothing on an error.
  [[nodiscard]] virtual std::optional<std::size_t> ReadAt(uint64_t offset,
                                                          std::span<uint8_t> out) = 0;
  // Writes all of `data` at `offset`, growing the file (with zeros in any gap) as needed.
  [[nodiscard]] virtual bool WriteAt(uint64_t offset, std::span<const uint8_t> data) = 0;
  [[nodiscard]] virtual std::optional<uint64_t> Size() = 0;

  // Reads exactly out.size() bytes, or reports failure (an error or the end of the file).
  [[nodiscard]] bool ReadExactly(uint64_t offset, std::span<uint8_t> out) {
    const auto got = ReadAt(offset, out);
    return got && *got == out.size();
  }
};

class MemoryFile : public RandomAccessFile {
 public:
  MemoryFile() = default;
  explicit MemoryFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::optional<std::size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<uint64_t>(out.size(), bytes_.size() - offset);
    std::memcpy(out.data(), bytes_.data() + offset, n);
    return n;
  }
  bool WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    if (data.empty()) return true;
    if (bytes_.size() < offset + data.size()) bytes_.resize(offset + data.size(), 0);
    std::memcpy(bytes_.data() + offset, data.data(), data.size());
    return true;
  }
  std::optional<uint64_t> Size() override { return bytes_.size(); }

  [[nodiscard]] const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace faxconv
