// The library's five exports: C linkage, two paths in, a status out. Nothing thrown crosses.
#include <cstdint>
#include <cstdio>

#include "Pirrow.h"
#include "voiceconv/FileConversion.h"

namespace {

using voiceconv::Conversion;

// AdtoPcm's progress line: before each 160-byte block, a carriage return, a space and the
// percentage of the source handled so far, plus one. Computed in 64 bits, so large files do
// not wrap to negative numbers.
class ProgressLine final : public voiceconv::BlockObserver {
 public:
  void OnBlock(uint64_t handled, uint64_t total) override {
    const uint64_t percent = handled * 100 / total + 1;
    std::printf("\r %llu", static_cast<unsigned long long>(percent));
    // The number changes at most a hundred times; show each change at once.
    if (percent != last_) std::fflush(stdout);
    last_ = percent;
  }
  ~ProgressLine() override { std::fflush(stdout); }

 private:
  uint64_t last_ = 0;
};

int32_t Convert(Conversion conversion, const char* src, const char* dst) noexcept {
  try {
    voiceconv::ConvertOptions options;
    ProgressLine progress;
    if (conversion == Conversion::AdToPcm) options.observer = &progress;
    return static_cast<int32_t>(voiceconv::ConvertFile(conversion, src, dst, options).status);
  } catch (...) {
    return static_cast<int32_t>(voiceconv::Status::ConversionFailed);
  }
}

}  // namespace

extern "C" {

PIRROW_API int32_t PIRROW_CALL PcmtoWave(const char* src, const char* dst) {
  return Convert(Conversion::PcmToWave, src, dst);
}

PIRROW_API int32_t PIRROW_CALL WavetoPcm(const char* src, const char* dst) {
  return Convert(Conversion::WaveToPcm, src, dst);
}

PIRROW_API int32_t PIRROW_CALL PcmtoAd(const char* src, const char* dst) {
  return Convert(Conversion::PcmToAd, src, dst);
}

PIRROW_API int32_t PIRROW_CALL AdtoPcm(const char* src, const char* dst) {
  return Convert(Conversion::AdToPcm, src, dst);
}

PIRROW_API int32_t PIRROW_CALL Ad6ktoPcm(const char* src, const char* dst) {
  return Convert(Conversion::Ad6kToPcm, src, dst);
}

}  // extern "C"
