// How fast the viewer decodes and how many whole screens it takes a second.
//   Decode/<mode>/<picture>  decoding one 1024 x 768, 8-bit screen bitmap: picture 0 is the
//                       built-in test scene (large flat areas), picture 1 colour ramps (busy)
//   Memcpy, ZlibInflate the same bytes copied, and inflated from zlib's level 6
//   FullUpdate/<mode>   grid message plus full update of that screen over loopback, 8 x 4 cells
// Throughput is counted in decoded (output) bytes.

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "BlockDecoder.h"
#include "BlockEncoder.h"
#include "CellBitmapWriter.h"
#include "HuffmanDecoder.h"
#include "ScreenServer.h"
#include "TestScene.h"
#include "ViewerConnection.h"

namespace {

constexpr std::int32_t kWidth = 1024;
constexpr std::int32_t kHeight = 768;

const screenserver::Frame& Screen(int picture = 0) {
  static const screenserver::Frame scene = [] {
    screenserver::Frame f;
    screenserver::TestScene::Render(kWidth, kHeight, 37, f);
    return f;
  }();
  static const screenserver::Frame ramps = [] {
    screenserver::Frame f;
    f.Resize(kWidth, kHeight);
    for (std::int32_t y = 0; y < kHeight; ++y) {
      for (std::int32_t x = 0; x < kWidth; ++x) {
        f.At(x, y) = (std::uint32_t((x * 7) & 0xFF) << 16) | (std::uint32_t((y * 5) & 0xFF) << 8) |
                     std::uint32_t(((x + y) * 3) & 0xFF);
      }
    }
    return f;
  }();
  return picture == 0 ? scene : ramps;
}

const std::vector<std::uint8_t>& ScreenBitmap(int picture = 0) {
  static const std::vector<std::uint8_t> bitmaps[2] = {
      [] {
        std::vector<std::uint8_t> b;
        screenserver::WriteCellBitmap(Screen(0), 0, 0, kWidth, kHeight,
                                      screenserver::Palette(screenserver::ColourDepth::k8Bits), b);
        return b;
      }(),
      [] {
        std::vector<std::uint8_t> b;
        screenserver::WriteCellBitmap(Screen(1), 0, 0, kWidth, kHeight,
                                      screenserver::Palette(screenserver::ColourDepth::k8Bits), b);
        return b;
      }()};
  return bitmaps[picture];
}

void Decode(benchmark::State& state) {
  const auto mode = static_cast<harnvik::CompressionMode>(state.range(0));
  const std::vector<std::uint8_t>& data = ScreenBitmap(static_cast<int>(state.range(1)));
  const auto block = screenserver::EncodeBlock(
      static_cast<screenserver::Compression>(state.range(0)), data, data.size());
  std::vector<std::uint8_t> buffer(std::max(block.data.size(), data.size()));
  std::vector<std::uint8_t> output(data.size());
  std::vector<std::uint8_t> scratch(2 * data.size() + 64);
  const harnvik::BlockDecodeRequest request{
      mode, block.passes, static_cast<std::uint32_t>(data.size()), block.data.size()};
  for (auto _ : state) {
    // Mode 11 decodes back into its block buffer, so each round starts from the block.
    std::memcpy(buffer.data(), block.data.data(), block.data.size());
    const auto result = harnvik::DecodeBlock(request, buffer, output, scratch);
    if (!result.Ok()) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  state.counters["ratio"] = static_cast<double>(block.data.size()) / data.size();
  state.counters["passes"] = block.passes;
}
BENCHMARK(Decode)
    ->ArgNames({"mode", "picture"})
    ->ArgsProduct({{0, 10, 11, 12, 13}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void Memcpy(benchmark::State& state) {
  const std::vector<std::uint8_t>& data = ScreenBitmap(static_cast<int>(state.range(0)));
  std::vector<std::uint8_t> output(data.size());
  for (auto _ : state) {
    std::memcpy(output.data(), data.data(), data.size());
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(Memcpy)->ArgName("picture")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void ZlibInflate(benchmark::State& state) {
  const std::vector<std::uint8_t>& data = ScreenBitmap(static_cast<int>(state.range(0)));
  uLongf packedSize = compressBound(data.size());
  std::vector<std::uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, data.data(), data.size(), 6);
  std::vector<std::uint8_t> output(data.size());
  for (auto _ : state) {
    uLongf outSize = output.size();
    if (uncompress(output.data(), &outSize, packed.data(), packedSize) != Z_OK) {
      state.SkipWithError("inflate failed");
    }
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
  state.counters["ratio"] = static_cast<double>(packedSize) / data.size();
}
BENCHMARK(ZlibInflate)->ArgName("picture")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void FullUpdate(benchmark::State& state) {
  screenserver::StillSource source(Screen());
  screenserver::ServerOptions options;
  options.port = 0;
  screenserver::ScreenServer server(options, source);
  std::string error;
  if (!server.Start(error)) throw std::runtime_error(error);
  harnvik::ConnectionOptions connection;
  connection.serverPort = server.Port();
  harnvik::ViewerConnection viewer(connection, nullptr);
  viewer.Settings().mode = static_cast<harnvik::CompressionMode>(state.range(0));
  viewer.Settings().colourDepth = 8;
  if (viewer.ConnectToServer("127.0.0.1") != 0) {
    state.SkipWithError("cannot connect");
    return;
  }
  for (auto _ : state) {
    // The first "REFRESH" after a grid message is a whole update.
    if (!viewer.SetGrid() ||
        viewer.RefreshScreen(harnvik::UpdateKind::kFull) != harnvik::UpdateOutcome::kUpdated) {
      state.SkipWithError("update failed");
      break;
    }
  }
  state.counters["updates/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  viewer.Disconnect();
}
BENCHMARK(FullUpdate)
    ->ArgName("mode")
    ->Arg(0)
    ->Arg(10)
    ->Arg(11)
    ->Arg(12)
    ->Arg(13)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
