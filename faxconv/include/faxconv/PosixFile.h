// A file on disk behind `RandomAccessFile`, opened the way the fax board's software shares its
// files. POSIX has no share modes, so they are kept with advisory locks (flock): a reader holds a
// shared lock, which refuses writers, and a destination takes an exclusive lock before it is
// emptied, so a conversion can never truncate a file that another conversion (or this one, as
// its source) is reading.
#pragma once

#include <memory>
#include <string>

#include "faxconv/RandomAccessFile.h"

namespace faxconv {

enum class OpenMode : uint8_t {
  ReadSharingReaders,       // a BFX source: read only, other readers welcome
  ReadWriteSharingReaders,  // a TIFF source: must be writable, other readers welcome
  Create,                   // a destination: created or emptied, read and write
};

class PosixFile final : public RandomAccessFile {
 public:
  // Opens `path`; on failure returns null and sets `reason`.
  [[nodiscard]] static std::unique_ptr<PosixFile> Open(const std::string& path, OpenMode mode,
                                                       std::string& reason);
  ~PosixFile() override;
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  std::optional<std::size_t> ReadAt(uint64_t offset, std::span<uint8_t> out) override;
  bool WriteAt(uint64_t offset, std::span<const uint8_t> data) override;
  std::optional<uint64_t> Size() override;

 private:
  explicit PosixFile(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace faxconv
