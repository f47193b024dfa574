#include "faxconv/PosixFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace faxconv {

std::unique_ptr<PosixFile> PosixFile::Open(const std::string& path, OpenMode mode,
                                           std::string& reason) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::ReadSharingReaders:
      flags |= O_RDONLY;
      break;
    case OpenMode::ReadWriteSharingReaders:
      flags |= O_RDWR;
      break;
    case OpenMode::Create:
      flags |= O_RDWR | O_CREAT;  // emptied only once the lock is held
      break;
  }
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<PosixFile> file(new PosixFile(fd));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    reason = "not a regular file";
    return nullptr;
  }
  // A file that nobody may write to is read-only, whoever opens it (root included): a TIFF
  // source opened for writing is refused, as the board's software refuses it.
  if (mode == OpenMode::ReadWriteSharingReaders && (st.st_mode & 0222) == 0) {
    reason = "the file is read-only";
    return nullptr;
  }
  const int lock = mode == OpenMode::Create ? LOCK_EX : LOCK_SH;
  if (::flock(fd, lock | LOCK_NB) != 0) {
    reason =
        errno == EWOULDBLOCK ? "the file is in use by another conversion" : std::strerror(errno);
    return nullptr;
  }
  if (mode == OpenMode::Create && ::ftruncate(fd, 0) != 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  return file;
}

PosixFile::~PosixFile() {
  ::close(fd_);
}

std::optional<std::size_t> PosixFile::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n =
        ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool PosixFile::WriteAt(uint64_t offset, std::span<const uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n =
        ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<uint64_t> PosixFile::Size() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

}  // namespace faxconv
