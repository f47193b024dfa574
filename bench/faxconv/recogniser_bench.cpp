// The recogniser and the line recoder over memory, on lines shaped like a page of text: the
// per-bit table search that defines recognition against the table-driven recogniser that the
// conversions run, and whole pages re-framed in each direction.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "faxconv/BfxFormat.h"
#include "faxconv/LineRecoder.h"
#include "faxconv/ReferenceRecogniser.h"
#include "faxconv/RunRecogniser.h"
#include "faxconv/T4Codes.h"

namespace {

using namespace faxconv;

class BitPacker {
 public:
  void Put(uint16_t bits, unsigned length) {
    for (int k = static_cast<int>(length) - 1; k >= 0; --k) {
      if ((bits >> k) & 1)
        bytes_[count_ / 8] = static_cast<uint8_t>(bytes_[count_ / 8] | 1u << (count_ % 8));
      if (++count_ % 8 == 0) bytes_.push_back(0);
    }
  }
  void Run(Colour colour, uint32_t run) {
    if (run >= 64) Code(*FindCode(colour, run / 64 * 64));
    Code(*FindCode(colour, run % 64));
  }
  void Code(const T4Code& c) { Put(c.bits, c.length); }
  void Eol() { Put(kEolBits, kEolLength); }
  std::vector<uint8_t> bytes_ = {0};
  std::size_t count_ = 0;
};

// One fine page: 2200 lines, bands of text rows (short strokes, 1-3 pixels black, 2-12 white)
// between blank rows, each line opened by an EOL as TIFF writers do; return-to-control at the
// end.
std::vector<uint8_t> TextPage() {
  std::mt19937 rng(42);
  BitPacker p;
  for (int y = 0; y < 2200; ++y) {
    p.Eol();
    if (y % 40 >= 28) {
      p.Run(Colour::White, kLineWidth);
      continue;
    }
    uint32_t x = 0;
    bool black = false;
    while (x < kLineWidth) {
      uint32_t run = black ? 1 + rng() % 3 : 2 + rng() % 11;
      if (x + run > kLineWidth || (!black && rng() % 40 == 0))
        run = std::min<uint32_t>(kLineWidth - x, black ? run : 300);
      p.Run(black ? Colour::Black : Colour::White, run);
      x += run;
      black = !black;
    }
    if (!black) p.Run(Colour::White, 0);
  }
  for (int i = 0; i < 6; ++i) p.Eol();
  return p.bytes_;
}

const std::vector<uint8_t>& Page() {
  static const std::vector<uint8_t> page = TextPage();
  return page;
}

void BM_ReferencePerBitSearch(benchmark::State& state) {
  const auto& page = Page();
  for (auto _ : state) {
    ReferenceRecogniser r;
    unsigned found = 0;
    for (uint8_t byte : page) {
      for (int k = 0; k < 8; ++k) found += r.Feed((byte >> k) & 1).event != BitEvent::None;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_ReferencePerBitSearch);

struct CountItems {
  static constexpr bool kTakesBatches = false;
  unsigned found = 0;
  Flow OnCodeWord(uint8_t) {
    ++found;
    return Flow::Continue;
  }
  Flow OnEol(uint32_t) {
    ++found;
    return Flow::Continue;
  }
  Flow OnZeroRun() {
    ++found;
    return Flow::Continue;
  }
};

void BM_TableRecogniserItemByItem(benchmark::State& state) {
  const auto& page = Page();
  for (auto _ : state) {
    RunRecogniser r;
    CountItems sink;
    benchmark::DoNotOptimize(r.Feed(page, BitOrder::LsbFirst, sink));
    benchmark::DoNotOptimize(sink.found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_TableRecogniserItemByItem);

class NullPages final : public PageSink {
 public:
  void WriteLine(std::span<const uint8_t> line) override { bytes += line.size(); }
  void EndPage(const PageCounts&) override { ++pages; }
  std::size_t bytes = 0;
  unsigned pages = 0;
};

void BM_RecodeTiffStripToBfxPage(benchmark::State& state) {
  const auto& page = Page();
  NullPages sink;
  LineRecoder recoder(Direction::TiffToBfx, sink);
  for (auto _ : state) {
    recoder.StartConversion();
    recoder.StartStrip();
    benchmark::DoNotOptimize(recoder.Feed(page, BitOrder::LsbFirst));
    recoder.FinishPage();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));  // pages
}
BENCHMARK(BM_RecodeTiffStripToBfxPage);

void BM_RecodeBfxPageToTiffStrip(benchmark::State& state) {
  const auto& page = Page();
  NullPages sink;
  LineRecoder recoder(Direction::BfxToTiff, sink);
  for (auto _ : state) {
    recoder.StartConversion();
    recoder.StartPage();
    if (recoder.Feed(page, BitOrder::LsbFirst) == Flow::Continue) {
      (void)recoder.Feed(bfx::kPageTrailer, BitOrder::LsbFirst);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));  // pages
}
BENCHMARK(BM_RecodeBfxPageToTiffStrip);

}  // namespace

BENCHMARK_MAIN();
