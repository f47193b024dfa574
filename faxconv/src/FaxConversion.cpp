#include "faxconv/FaxConversion.h"

#include <memory>
#include <new>

#include "faxconv/BfxFormat.h"
#include "faxconv/BfxPageWriter.h"
#include "faxconv/PosixFile.h"
#include "faxconv/TiffFormat.h"
#include "faxconv/TiffPageWriter.h"

namespace faxconv {
namespace {

// Source data is read in blocks of this size. On the TIFF side it matters: when a page ends
// inside a block, the rest of that block is skipped.
constexpr std::size_t kBlockSize = 4096;

ConversionReport Fail(ConversionReport report, Status status, std::string reason) {
  report.status = status;
  report.reason = std::move(reason);
  return report;
}

// Passes lines and page ends on to the file writer and notes each page's counts.
class CountingSink final : public PageSink {
 public:
  CountingSink(PageSink& inner, std::vector<PageCounts>& pages) : inner_(&inner), pages_(&pages) {}
  void WriteLine(std::span<const uint8_t> line) override { inner_->WriteLine(line); }
  void EndPage(const PageCounts& counts) override {
    pages_->push_back(counts);
    inner_->EndPage(counts);
  }

 private:
  PageSink* inner_;
  std::vector<PageCounts>* pages_;
};

std::string PageName(unsigned index) {
  return "page " + std::to_string(index + 1);
}

}  // namespace

std::string DestinationPath(std::string_view path, std::string_view extension) {
  const auto dot = path.rfind('.');
  std::string out(path.substr(0, dot == std::string_view::npos ? path.size() : dot));
  out += extension;
  return out;
}

ConversionReport RecodeBfxToTiff(RandomAccessFile& source, const BfxReader& bfx,
                                 RandomAccessFile& destination) {
  ConversionReport report;
  report.resolution = BfxReader::ReadResolution(source);
  TiffPageWriter writer(destination, report.resolution);
  if (!writer.Create()) {
    return Fail(std::move(report), Status::DestinationFailed, "cannot write the TIFF header");
  }
  std::vector<uint8_t> block(kBlockSize);
  CountingSink sink(writer, report.pages);
  auto recoder = std::make_unique<LineRecoder>(Direction::BfxToTiff, sink);
  recoder->StartConversion(BfxReader::ReadLeadingFill(source));

  for (unsigned p = 0; p < bfx.pageCount(); ++p) {
    const BfxPage& page = bfx.page(p);
    if (page.available < page.length) {
      report.warnings.push_back(PageName(p) + ": its data runs past the end of the file; " +
                                std::to_string(page.available) + " of " +
                                std::to_string(page.length) + " bytes read");
    }
    // A page with no data makes no TIFF page.
    if (page.available == 0) continue;
    recoder->StartPage();
    Flow flow = Flow::Continue;
    for (uint64_t done = 0; done < page.available && flow == Flow::Continue;) {
      const std::size_t n = std::min<uint64_t>(kBlockSize, page.available - done);
      if (!source.ReadExactly(uint64_t{page.offset} + done, {block.data(), n})) {
        return Fail(std::move(report), Status::ConversionFailed,
                    "cannot read the data of " + PageName(p));
      }
      flow = recoder->Feed({block.data(), n}, BitOrder::LsbFirst);
      done += n;
    }
    if (flow == Flow::Continue) flow = recoder->Feed(bfx::kPageTrailer, BitOrder::LsbFirst);
    if (flow == Flow::Continue) recoder->FinishPage();
    if (writer.failed()) return Fail(std::move(report), Status::ConversionFailed, writer.error());
  }
  writer.Flush();
  if (writer.failed()) return Fail(std::move(report), Status::ConversionFailed, writer.error());
  if (writer.pageCount() == 0) {
    // A TIFF needs at least one IFD; an empty one would be a corrupt file reported as converted.
    return Fail(std::move(report), Status::ConversionFailed, "the BFX file has no page with data");
  }
  writer.Reset();
  return report;
}

ConversionReport RecodeTiffToBfx(RandomAccessFile& source, TiffReader& tiff,
                                 RandomAccessFile& destination) {
  ConversionReport report;
  BfxPageWriter writer(destination);
  if (!writer.Create()) {
    return Fail(std::move(report), Status::DestinationFailed, "cannot write the BFX signature");
  }
  std::vector<uint8_t> block(kBlockSize);
  CountingSink sink(writer, report.pages);
  auto recoder = std::make_unique<LineRecoder>(Direction::TiffToBfx, sink);
  recoder->StartConversion();
  if (!tiff.ReadFileSize()) {
    return Fail(std::move(report), Status::ConversionFailed, "cannot read the TIFF file's size");
  }

  uint32_t resolutionFigure = 0;
  TiffPage page;
  std::string why;
  for (unsigned index = 0;; ++index) {
    const TiffReader::Next next = tiff.NextPage(page, why);
    if (next == TiffReader::Next::End) break;
    if (next == TiffReader::Next::Failed) {
      return Fail(std::move(report), Status::ConversionFailed, why);
    }
    const std::string name = PageName(index);
    if (page.compression != tiff::kCompressionGroup3) {
      return Fail(std::move(report), Status::ConversionFailed,
                  name + " is not Group 3 fax coded (Compression " +
                      (page.compression ? std::to_string(*page.compression) : "missing") + ")");
    }
    if ((page.t4Options & tiff::kT4TwoDimensional) != 0) {
      // Two-dimensional lines refer to the line above; they cannot be re-framed one by one.
      return Fail(std::move(report), Status::ConversionFailed,
                  name +
                      " is coded two-dimensionally (T4Options bit 0); only one-dimensional "
                      "Modified Huffman pages can be converted");
    }
    if (page.photometric != tiff::kPhotometricWhiteIsZero &&
        page.photometric != tiff::kPhotometricBlackIsZero) {
      return Fail(std::move(report), Status::ConversionFailed,
                  name + " is not a bilevel page (PhotometricInterpretation " +
                      std::to_string(page.photometric) + ")");
    }
    if (page.imageWidth && *page.imageWidth != kLineWidth) {
      return Fail(std::move(report), Status::ConversionFailed,
                  name + " is " + std::to_string(*page.imageWidth) +
                      " pixels wide; fax lines are 1728 pixels");
    }
    if (!page.stripOffsets.present) {
      return Fail(std::move(report), Status::ConversionFailed, name + " has no StripOffsets");
    }
    if (!page.stripByteCounts.present || page.stripByteCounts.count != page.stripOffsets.count) {
      return Fail(std::move(report), Status::ConversionFailed,
                  name + " has no StripByteCounts to match its StripOffsets");
    }
    if (resolutionFigure == 0) resolutionFigure = page.resolutionFigure;

    recoder->SetPolarity(page.photometric == tiff::kPhotometricBlackIsZero ? Polarity::BlackIsZero
                                                                           : Polarity::WhiteIsZero);
    for (uint32_t s = 0; s < page.stripCount(); ++s) {
      const auto strip = tiff.Strip(page, s, why);
      if (!strip) return Fail(std::move(report), Status::ConversionFailed, name + ": " + why);
      if (strip->available < strip->length) {
        report.warnings.push_back(name + ": strip " + std::to_string(s + 1) +
                                  " runs past the end of the file; " +
                                  std::to_string(strip->available) + " of " +
                                  std::to_string(strip->length) + " bytes read");
      }
      recoder->StartStrip();
      for (uint64_t done = 0; done < strip->available;) {
        const std::size_t n = std::min<uint64_t>(kBlockSize, strip->available - done);
        if (!source.ReadExactly(strip->offset + done, {block.data(), n})) {
          return Fail(std::move(report), Status::ConversionFailed,
                      "cannot read strip " + std::to_string(s + 1) + " of " + name);
        }
        // A page end skips the rest of this block; the next block may begin another page.
        (void)recoder->Feed({block.data(), n}, page.bitOrder);
        done += n;
      }
      if (writer.failed()) return Fail(std::move(report), Status::ConversionFailed, writer.error());
    }
    recoder->FinishPage();
    if (writer.failed()) return Fail(std::move(report), Status::ConversionFailed, writer.error());
  }
  if (writer.pageCount() == 0) {
    // A BFX page count of 0 is a file every reader rejects; do not call it converted.
    return Fail(std::move(report), Status::ConversionFailed, "the TIFF file has no fax page");
  }
  report.resolution =
      resolutionFigure == TiffReader::kFineFigure ? Resolution::Fine : Resolution::Standard;
  if (!writer.Finish(report.resolution)) {
    return Fail(std::move(report), Status::ConversionFailed, writer.error());
  }
  return report;
}

namespace {

template <class Reader, class Recode>
ConversionReport Convert(const char* source, const char* destination, OpenMode sourceMode,
                         std::string_view extension, Recode recode) {
  ConversionReport report;
  if (source == nullptr || *source == '\0') {
    return Fail(std::move(report), Status::SourceRejected, "no source path given");
  }
  std::string why;
  auto src = PosixFile::Open(source, sourceMode, why);
  if (!src) {
    return Fail(std::move(report), Status::SourceRejected,
                std::string("cannot open ") + source + ": " + why);
  }
  auto reader = Reader::Open(*src, why);
  if (!reader)
    return Fail(std::move(report), Status::SourceRejected, std::string(source) + ": " + why);
  if (destination == nullptr || *destination == '\0') {
    return Fail(std::move(report), Status::DestinationFailed, "the destination path is empty");
  }
  const std::string target = DestinationPath(destination, extension);
  auto dst = PosixFile::Open(target, OpenMode::Create, why);
  if (!dst) {
    report.destination = target;
    return Fail(std::move(report), Status::DestinationFailed,
                "cannot create " + target + ": " + why);
  }
  try {
    report = recode(*src, *reader, *dst);
  } catch (const std::bad_alloc&) {
    report = Fail(ConversionReport{}, Status::ConversionFailed, "out of memory");
  }
  report.destination = target;
  if (report.status != Status::Converted && report.status != Status::DestinationFailed) {
    report.reason = std::string(source) + ": " + report.reason;
  }
  return report;
}

}  // namespace

ConversionReport ConvertBfxToTiff(const char* source, const char* destination) {
  return Convert<BfxReader>(source, destination, OpenMode::ReadSharingReaders, kTiffExtension,
                            [](RandomAccessFile& s, const BfxReader& r, RandomAccessFile& d) {
                              return RecodeBfxToTiff(s, r, d);
                            });
}

ConversionReport ConvertTiffToBfx(const char* source, const char* destination) {
  return Convert<TiffReader>(source, destination, OpenMode::ReadWriteSharingReaders, kBfxExtension,
                             [](RandomAccessFile& s, TiffReader& r, RandomAccessFile& d) {
                               return RecodeTiffToBfx(s, r, d);
                             });
}

}  // namespace faxconv
