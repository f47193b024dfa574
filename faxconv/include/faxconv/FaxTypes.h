// Small types every part of the fax converter speaks in.
#pragma once

#include <cstdint>

namespace faxconv {

// The result of a conversion, exactly as the library's two exports return it.
enum class Status : int32_t {
  Converted = 1,
  SourceRejected = -1,     // the source cannot be opened or is not acceptable
  DestinationFailed = -2,  // the destination path is empty or the file cannot be created
  ConversionFailed = -3,
};

// Vertical resolution of a fax document: 196 (fine) or 98 (standard) lines per inch.
enum class Resolution : uint8_t { Standard, Fine };

}  // namespace faxconv
