// faxconv: converts fax documents between the board's BFX page files and Group 3 TIFF files,
// one at a time or in batches, and describes what a fax file holds.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "faxconv/BfxFormat.h"
#include "faxconv/BfxReader.h"
#include "faxconv/FaxConversion.h"
#include "faxconv/PosixFile.h"
#include "faxconv/TiffFormat.h"
#include "faxconv/TiffReader.h"

namespace {

using namespace faxconv;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kHelp = R"(faxconv - convert fax documents between BFX page files and TIFF

Usage:
  faxconv bfx2tiff SRC DST               convert one BFX file to a Group 3 TIFF
  faxconv tiff2bfx SRC DST               convert one Group 3 1-D TIFF to a BFX file
  faxconv bfx2tiff -o OUTDIR [-j N] SRC...   convert many files into OUTDIR
  faxconv tiff2bfx -o OUTDIR [-j N] SRC...
  faxconv info FILE...                   describe BFX or TIFF fax files
  faxconv --help

The destination gets the target's extension: everything from the last "." of DST on
becomes ".tif" or ".bfx" (it is appended when DST has no "."), exactly as the Tavorin
library does it. In a batch each SRC becomes OUTDIR/<name without extension>.tif|.bfx.

Options:
  -o OUTDIR   batch: write the converted files into OUTDIR (created if missing)
  -j N        batch: run N conversions at once (default 1)

Examples:
  faxconv bfx2tiff in/0001.bfx out/0001.tif
  faxconv tiff2bfx scan.tiff outgoing/scan.bfx
  faxconv bfx2tiff -o tiffs -j 2 spool/*.bfx
  faxconv info 0001.bfx scan.tif

Exit status: 0 when every conversion succeeded, 1 when one failed (a one-line message names
the file and the reason), 2 for a usage error.
)";

int Usage(const std::string& message) {
  std::fprintf(stderr, "faxconv: %s\nTry 'faxconv --help'.\n", message.c_str());
  return kExitUsage;
}

using ConvertFn = ConversionReport (*)(const char*, const char*);

void PrintWarnings(const ConversionReport& report) {
  for (const auto& w : report.warnings) {
    std::fprintf(stderr, "faxconv: warning: %s\n", w.c_str());
  }
}

int ConvertOne(ConvertFn convert, const std::string& src, const std::string& dst) {
  const ConversionReport report = convert(src.c_str(), dst.c_str());
  PrintWarnings(report);
  if (report.status != Status::Converted) {
    std::fprintf(stderr, "faxconv: %s (status %d)\n", report.reason.c_str(),
                 static_cast<int>(report.status));
    return kExitFailed;
  }
  std::printf("%s -> %s: %zu page%s\n", src.c_str(), report.destination.c_str(),
              report.pages.size(), report.pages.size() == 1 ? "" : "s");
  return kExitOk;
}

class ProgressBar {
 public:
  explicit ProgressBar(std::size_t total) : total_(total), tty_(isatty(STDERR_FILENO) != 0) {}
  void Step() {
    const std::size_t done = ++done_;
    if (!tty_ && done != total_) return;
    constexpr std::size_t kWidth = 30;
    const std::size_t filled = total_ == 0 ? kWidth : done * kWidth / total_;
    std::string bar(filled, '#');
    bar.resize(kWidth, '.');
    std::fprintf(stderr, "%s[%s] %zu/%zu files%s", tty_ ? "\r" : "", bar.c_str(), done, total_,
                 done == total_ ? "\n" : "");
    std::fflush(stderr);
  }

 private:
  std::size_t total_;
  std::size_t done_ = 0;
  bool tty_;
};

int ConvertBatch(ConvertFn convert, std::string_view extension, const std::string& outDir,
                 unsigned jobs, const std::vector<std::string>& sources) {
  std::error_code ec;
  std::filesystem::create_directories(outDir, ec);
  if (ec) {
    std::fprintf(stderr, "faxconv: cannot create %s: %s\n", outDir.c_str(), ec.message().c_str());
    return kExitFailed;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<bool> anyFailed{false};
  std::mutex lock;  // one message or bar update at a time
  ProgressBar bar(sources.size());
  auto worker = [&] {
    for (std::size_t i = next++; i < sources.size(); i = next++) {
      const std::filesystem::path src(sources[i]);
      const std::string dst =
          (std::filesystem::path(outDir) / src.stem()).string() + std::string(extension);
      const ConversionReport report = convert(sources[i].c_str(), dst.c_str());
      std::lock_guard<std::mutex> guard(lock);
      if (report.status != Status::Converted) {
        anyFailed = true;
        std::fprintf(stderr, "%sfaxconv: %s (status %d)\n", isatty(STDERR_FILENO) ? "\r" : "",
                     report.reason.c_str(), static_cast<int>(report.status));
      }
      PrintWarnings(report);
      bar.Step();
    }
  };
  std::vector<std::thread> threads;
  for (unsigned j = 1; j < jobs; ++j) threads.emplace_back(worker);
  worker();
  for (auto& t : threads) t.join();
  return anyFailed ? kExitFailed : kExitOk;
}

std::string Plural(std::size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

void PrintConverted(const ConversionReport& report, const char* as) {
  if (report.status != Status::Converted) {
    std::printf("  as %s: not convertible: %s\n", as, report.reason.c_str());
    return;
  }
  std::printf("  as %s: %s\n", as, Plural(report.pages.size(), "page").c_str());
  for (std::size_t p = 0; p < report.pages.size(); ++p) {
    const PageCounts& c = report.pages[p];
    std::printf("    page %zu: %u lines, %u bad lines replaced%s\n", p + 1, c.rows, c.replaced,
                c.dropped ? ", 1 line after leading fill left out" : "");
  }
  for (const auto& w : report.warnings) std::printf("  warning: %s\n", w.c_str());
}

int InfoBfx(const std::string& path, RandomAccessFile& file, const BfxReader& bfx) {
  const Resolution res = BfxReader::ReadResolution(file);
  std::printf("%s: BFX fax document\n", path.c_str());
  std::printf("  pages in directory: %u\n", bfx.pageCount());
  std::printf("  resolution: %s\n", res == Resolution::Fine ? "fine (196 lines per inch)"
                                                            : "standard (98 lines per inch)");
  std::printf("  leading fill: %s\n",
              BfxReader::ReadLeadingFill(file) == LeadingFill::Present ? "yes" : "no");
  for (unsigned p = 0; p < bfx.pageCount(); ++p) {
    const BfxPage& page = bfx.page(p);
    std::printf("  page %u: offset %u, %u bytes%s\n", p + 1, page.offset, page.length,
                page.available < page.length ? " (cut short by the end of the file)" : "");
  }
  MemoryFile scratch;
  PrintConverted(RecodeBfxToTiff(file, bfx, scratch), "TIFF");
  return kExitOk;
}

int InfoTiff(const std::string& path, RandomAccessFile& file, TiffReader tiff) {
  std::printf("%s: TIFF, %s\n", path.c_str(),
              tiff.byteOrder() == ByteOrder::LittleEndian ? "little-endian (\"II\")"
                                                          : "big-endian (\"MM\")");
  TiffReader walk = tiff;
  std::string why;
  if (!walk.ReadFileSize()) {
    std::printf("  cannot read the file's size\n");
    return kExitFailed;
  }
  TiffPage page;
  for (unsigned i = 0;; ++i) {
    const auto next = walk.NextPage(page, why);
    if (next == TiffReader::Next::End) break;
    if (next == TiffReader::Next::Failed) {
      std::printf("  %s\n", why.c_str());
      break;
    }
    const char* order = page.fillOrderTag == tiff::kFillOrderMsbFirst
                            ? "1 (most significant bit first)"
                        : page.fillOrderTag == tiff::kFillOrderLsbFirst
                            ? "2 (least significant bit first)"
                            : "missing (read least significant bit first)";
    std::printf(
        "  page %u: IFD at %llu, compression %s%s, %ux%u, fill order %s, %s, %s, %u strip%s\n",
        i + 1, static_cast<unsigned long long>(page.ifdOffset),
        page.compression ? std::to_string(*page.compression).c_str() : "missing",
        page.compression == tiff::kCompressionGroup3
            ? ((page.t4Options & tiff::kT4TwoDimensional) ? " (Group 3, 2-D)" : " (Group 3, 1-D)")
            : "",
        page.imageWidth.value_or(0), page.imageLength.value_or(0), order,
        page.photometric == tiff::kPhotometricBlackIsZero ? "black is zero (inverted for the board)"
                                                          : "white is zero",
        page.resolutionFigure == TiffReader::kFineFigure ? "fine"
        : page.resolutionFigure == 0                     ? "resolution unknown"
                                                         : "standard",
        page.stripCount(), page.stripCount() == 1 ? "" : "s");
  }
  MemoryFile scratch;
  PrintConverted(RecodeTiffToBfx(file, tiff, scratch), "BFX");
  return kExitOk;
}

int Info(const std::vector<std::string>& files) {
  int status = kExitOk;
  for (const auto& path : files) {
    std::string why;
    auto file = PosixFile::Open(path, OpenMode::ReadSharingReaders, why);
    if (!file) {
      std::fprintf(stderr, "faxconv: cannot open %s: %s\n", path.c_str(), why.c_str());
      status = kExitFailed;
      continue;
    }
    std::string bfxWhy, tiffWhy;
    if (auto bfx = BfxReader::Open(*file, bfxWhy)) {
      status = std::max(status, InfoBfx(path, *file, *bfx));
    } else if (auto tiff = TiffReader::Open(*file, tiffWhy)) {
      status = std::max(status, InfoTiff(path, *file, *tiff));
    } else {
      std::fprintf(stderr, "faxconv: %s: neither a BFX file (%s) nor a TIFF (%s)\n", path.c_str(),
                   bfxWhy.c_str(), tiffWhy.c_str());
      status = kExitFailed;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("no command given");
  const std::string command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (command == "info") {
    if (args.size() < 2) return Usage("info needs at least one file");
    return Info({args.begin() + 1, args.end()});
  }
  ConvertFn convert = nullptr;
  std::string_view extension;
  if (command == "bfx2tiff") {
    convert = ConvertBfxToTiff;
    extension = kTiffExtension;
  } else if (command == "tiff2bfx") {
    convert = ConvertTiffToBfx;
    extension = kBfxExtension;
  } else {
    return Usage("unknown command '" + command + "'");
  }

  std::string outDir;
  unsigned jobs = 1;
  std::vector<std::string> files;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "-o" || args[i] == "-j") {
      if (i + 1 >= args.size()) return Usage(args[i] + " needs a value");
      const std::string value = args[++i];
      if (args[i - 1] == "-o") {
        outDir = value;
      } else {
        char* end = nullptr;
        const unsigned long n = std::strtoul(value.c_str(), &end, 10);
        if (*end != '\0' || n < 1 || n > 64) return Usage("-j needs a number from 1 to 64");
        jobs = static_cast<unsigned>(n);
      }
    } else if (args[i] == "--help") {
      std::fputs(kHelp, stdout);
      return kExitOk;
    } else {
      files.push_back(args[i]);
    }
  }
  if (!outDir.empty()) {
    if (files.empty()) return Usage("no source files given");
    return ConvertBatch(convert, extension, outDir, jobs, files);
  }
  if (jobs != 1) return Usage("-j goes with -o OUTDIR");
  if (files.size() != 2) return Usage(command + " needs SRC and DST (or -o OUTDIR and sources)");
  return ConvertOne(convert, files[0], files[1]);
}
