// The two conversions of the fax converter, between the board's BFX file and a Group 3
// one-dimensional TIFF. Each opens its two files, re-frames the coded lines page by page, closes
// both files and reports a status with a reason a person can read. The library's C exports
// return the status alone; the `faxconv` tool shows the reason.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "faxconv/BfxReader.h"
#include "faxconv/FaxTypes.h"
#include "faxconv/LineRecoder.h"
#include "faxconv/RandomAccessFile.h"
#include "faxconv/TiffReader.h"

namespace faxconv {

struct ConversionReport {
  Status status = Status::Converted;
  std::string reason;       // why the conversion did not succeed
  std::string destination;  // the path written, its extension fixed
  Resolution resolution = Resolution::Standard;
  std::vector<PageCounts> pages;      // for each page written
  std::vector<std::string> warnings;  // converted, but a person should know (data cut short)
};

inline constexpr std::string_view kTiffExtension = ".tif";
inline constexpr std::string_view kBfxExtension = ".bfx";

// The destination's name: everything from the last "." of the whole path on is replaced by
// `extension`; a path with no "." gets it appended. (A "." in a directory name counts too, as
// the board's software has always done it.)
[[nodiscard]] std::string DestinationPath(std::string_view path, std::string_view extension);

// Conversions of files by path. A failed conversion (-3) leaves the destination as far as it was
// written: a BFX then lacks its directory and page count, which every BFX reader rejects.
[[nodiscard]] ConversionReport ConvertBfxToTiff(const char* source, const char* destination);
[[nodiscard]] ConversionReport ConvertTiffToBfx(const char* source, const char* destination);

// The same conversions between files already open, the source's header already accepted.
[[nodiscard]] ConversionReport RecodeBfxToTiff(RandomAccessFile& source, const BfxReader& bfx,
                                               RandomAccessFile& destination);
[[nodiscard]] ConversionReport RecodeTiffToBfx(RandomAccessFile& source, TiffReader& tiff,
                                               RandomAccessFile& destination);

}  // namespace faxconv
