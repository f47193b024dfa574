#include "voiceconv/FileConversion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>
#include <variant>

#include "voiceconv/WaveLayout.h"

namespace voiceconv {
namespace {

std::string Quote(std::string_view path) {
  std::string quoted;
  quoted.reserve(path.size() + 2);
  quoted += '\'';
  quoted += path;
  quoted += '\'';
  return quoted;
}

ConversionResult Fail(Status status, std::string message) {
  ConversionResult r;
  r.status = status;
  r.message = std::move(message);
  return r;
}

class FdSource final : public ByteSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  IoResult Read(std::span<uint8_t> buffer) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
      if (n >= 0) return {static_cast<std::size_t>(n), 0};
      if (errno != EINTR) return {0, errno};
    }
  }

 private:
  int fd_;
};

class FdSink final : public ByteSink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  IoResult Write(std::span<const uint8_t> data) override {
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return {done, errno};
      }
      if (n == 0) return {done, EIO};
      done += static_cast<std::size_t>(n);
    }
    return {done, 0};
  }

 private:
  int fd_;
};

// Closes a descriptor at scope exit unless released.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  [[nodiscard]] int get() const { return fd_; }
  // Closes now and reports the close's own error (a late write error on some file systems).
  [[nodiscard]] int Close() {
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// The destination of a failed conversion: a regular file that we created or truncated is
// removed (or, if it cannot be, emptied), so nobody takes a cut-off file for a finished one.
// Anything else (a device, a pipe) is left as it is.
void DiscardDestination(const char* path, const struct stat& opened, int fd) {
  if (!S_ISREG(opened.st_mode)) return;
  struct stat now {};
  if (::stat(path, &now) == 0 && now.st_dev == opened.st_dev && now.st_ino == opened.st_ino &&
      ::unlink(path) == 0) {
    return;
  }
  if (fd >= 0 && ::ftruncate(fd, 0) != 0) {
    // Nothing more can be done; the status already reports the failure.
  }
}

struct SourceRange {
  uint64_t offset = 0;
  uint64_t length = 0;
};

// Locates the samples of the source, or explains why the source is not acceptable.
std::variant<SourceRange, std::string> LocateSamples(Conversion conversion, SourceRule rule, int fd,
                                                     uint64_t size) {
  if (conversion != Conversion::WaveToPcm) return SourceRange{0, size};
  if (rule == SourceRule::Exports) {
    // The exports' callers hand over files that PcmtoWave wrote: skip its header, whatever the
    // file holds.
    const uint64_t skip = std::min<uint64_t>(kWaveHeaderSize, size);
    return SourceRange{skip, size - skip};
  }
  const ReadAt readAt = [fd](uint64_t offset, std::span<uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
      const ssize_t n = ::pread(fd, buffer.data() + done, buffer.size() - done,
                                static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  };
  auto parsed = ParseWaveLayout(readAt, size);
  if (auto* problem = std::get_if<std::string>(&parsed)) return *problem;
  const WaveLayout& layout = std::get<WaveLayout>(parsed);
  if (!layout.IsTelephonyPcm()) {
    return "is " + layout.DescribeFormat() + "; wave2pcm needs 16-bit mono 8000 Hz PCM";
  }
  return SourceRange{layout.dataOffset, layout.dataSize};
}

}  // namespace

ConversionResult RunConversion(Conversion conversion, ByteSource& source, uint64_t length,
                               ByteSink& sink, const ConvertOptions& options,
                               std::string_view sourceName, std::string_view destinationName) {
  try {
    Workspace local;
    Workspace& ws = options.workspace ? *options.workspace : local;
    const std::size_t piece = static_cast<std::size_t>(
        std::clamp<uint64_t>(length, 1, std::max<std::size_t>(options.pieceSize, 1)));
    if (ws.input.size() < piece) ws.input.resize(piece);
    const std::size_t outputRoom = StreamConverter::MaxOutput(conversion, piece);
    if (ws.output.size() < outputRoom) ws.output.resize(outputRoom);

    auto writeOut = [&](std::span<const uint8_t> bytes, ConversionResult& r) {
      if (bytes.empty()) return true;
      const IoResult w = sink.Write(bytes);
      if (w.error != 0 || w.bytes != bytes.size()) {
        r = Fail(Status::ConversionFailed, std::string(destinationName) + ": writing failed: " +
                                               std::strerror(w.error ? w.error : EIO));
        return false;
      }
      r.destinationBytes += bytes.size();
      return true;
    };

    ConversionResult result;
    StreamConverter converter(conversion, length);
    if (!writeOut({ws.output.data(), converter.Begin(ws.output.data())}, result)) return result;

    const uint32_t blockSize = Describe(conversion).blockSize;
    uint64_t nextBlock = 0;
    uint64_t handled = 0;
    while (handled < length) {
      const auto want = static_cast<std::size_t>(std::min<uint64_t>(piece, length - handled));
      std::size_t got = 0;
      while (got < want) {
        const IoResult r = source.Read({ws.input.data() + got, want - got});
        if (r.error != 0) {
          return Fail(Status::ConversionFailed,
                      std::string(sourceName) + ": reading failed: " + std::strerror(r.error));
        }
        if (r.bytes == 0) {
          return Fail(Status::ConversionFailed, std::string(sourceName) + ": ended after " +
                                                    std::to_string(handled + got) + " of " +
                                                    std::to_string(length) + " bytes");
        }
        got += r.bytes;
      }
      if (options.observer) {
        for (; nextBlock < handled + got; nextBlock += blockSize ? blockSize : length) {
          options.observer->OnBlock(nextBlock, length);
        }
      }
      const std::size_t n = converter.Feed({ws.input.data(), got}, ws.output.data());
      if (!writeOut({ws.output.data(), n}, result)) return result;
      handled += got;
    }
    std::vector<uint8_t> tail;
    converter.Finish(tail);
    if (!writeOut(tail, result)) return result;
    result.sourceBytes = length;
    return result;
  } catch (const std::bad_alloc&) {
    return Fail(Status::ConversionFailed, "out of memory");
  }
}

ConversionResult ConvertFile(Conversion conversion, const char* sourcePath,
                             const char* destinationPath, const ConvertOptions& options) {
  try {
    if (sourcePath == nullptr || *sourcePath == '\0') {
      return Fail(Status::SourceUnavailable, "no source file given");
    }
    // The exports' WavetoPcm has always opened its source for writing too; its callers may
    // rely on read-only sources being refused.
    const bool sourceWritable =
        conversion == Conversion::WaveToPcm && options.source == SourceRule::Exports;
    UniqueFd src(::open(sourcePath, (sourceWritable ? O_RDWR : O_RDONLY) | O_CLOEXEC));
    if (src.get() < 0) {
      return Fail(Status::SourceUnavailable,
                  Quote(sourcePath) + ": cannot open: " + std::strerror(errno));
    }
    struct stat sourceStat {};
    if (::fstat(src.get(), &sourceStat) != 0 || !S_ISREG(sourceStat.st_mode)) {
      return Fail(Status::SourceUnavailable, Quote(sourcePath) + ": not a regular file");
    }
    const auto size = static_cast<uint64_t>(sourceStat.st_size);
    auto located = LocateSamples(conversion, options.source, src.get(), size);
    if (auto* problem = std::get_if<std::string>(&located)) {
      return Fail(Status::SourceUnavailable, Quote(sourcePath) + ": " + *problem);
    }
    const SourceRange range = std::get<SourceRange>(located);
    if (conversion == Conversion::PcmToWave && range.length > kWaveMaxSamples) {
      return Fail(Status::SourceUnavailable, Quote(sourcePath) + ": too long for a WAVE file");
    }

    if (destinationPath == nullptr || *destinationPath == '\0') {
      return Fail(Status::DestinationUnavailable, "no destination file given");
    }
    // Truncating the source as the destination would lose the recording before a byte is read.
    struct stat existing {};
    if (::stat(destinationPath, &existing) == 0 && existing.st_dev == sourceStat.st_dev &&
        existing.st_ino == sourceStat.st_ino) {
      return Fail(Status::DestinationUnavailable,
                  Quote(destinationPath) + ": is the source file itself");
    }
    UniqueFd dst(::open(destinationPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (dst.get() < 0) {
      return Fail(Status::DestinationUnavailable,
                  Quote(destinationPath) + ": cannot create: " + std::strerror(errno));
    }
    struct stat destinationStat {};
    if (::fstat(dst.get(), &destinationStat) != 0) destinationStat = {};

    ConversionResult result;
    if (range.offset != 0 &&
        ::lseek(src.get(), static_cast<off_t>(range.offset), SEEK_SET) == static_cast<off_t>(-1)) {
      result = Fail(Status::ConversionFailed,
                    Quote(sourcePath) + ": cannot seek: " + std::strerror(errno));
    } else {
      FdSource reader(src.get());
      FdSink writer(dst.get());
      result = RunConversion(conversion, reader, range.length, writer, options, Quote(sourcePath),
                             Quote(destinationPath));
    }
    if (result.status != Status::Converted) {
      DiscardDestination(destinationPath, destinationStat, dst.get());
      return result;
    }
    if (const int error = dst.Close(); error != 0) {
      DiscardDestination(destinationPath, destinationStat, -1);
      return Fail(Status::ConversionFailed,
                  Quote(destinationPath) + ": writing failed: " + std::strerror(error));
    }
    return result;
  } catch (const std::bad_alloc&) {
    return Fail(Status::ConversionFailed, "out of memory");
  }
}

}  // namespace voiceconv
