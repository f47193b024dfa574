// The library's two exports: a conversion each, with every exception caught here so that
// nothing but a status crosses the C boundary.
#include "faxconv/FaxConversion.h"
#include "faxconv/Tavorin.h"

namespace {

template <class Convert>
int32_t Run(Convert convert, const char* source, const char* destination) noexcept {
  try {
    return static_cast<int32_t>(convert(source, destination).status);
  } catch (...) {
    return static_cast<int32_t>(faxconv::Status::ConversionFailed);
  }
}

}  // namespace

extern "C" TAVORIN_EXPORT int32_t TAVORIN_CALL QvelCvt_Bfx2Tiff(const char* bfxPath,
                                                                const char* tiffPath) {
  return Run(faxconv::ConvertBfxToTiff, bfxPath, tiffPath);
}

extern "C" TAVORIN_EXPORT int32_t TAVORIN_CALL QvelCvt_Tiff2Bfx(const char* tiffPath,
                                                                const char* bfxPath) {
  return Run(faxconv::ConvertTiffToBfx, tiffPath, bfxPath);
}
