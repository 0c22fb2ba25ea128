// Cost of building the wheel once and of one pick's marker redraw, with a bare copy of one
// 300 x 300 pixel buffer as the yardstick for the redraw.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "wheel_image.h"

namespace {

using chromaset::kWheelPixels;
using chromaset::kWheelSize;
using chromaset::WheelImage;
using chromaset::WheelPixel;

constexpr std::size_t kBufferBytes = sizeof(WheelPixel) * kWheelPixels;  // 360000

void BM_BuildWheel(benchmark::State& state) {
  const std::vector<WheelPixel> background(kWheelPixels, 0x00040404u);
  auto wheel = std::make_unique<WheelImage>();
  for (auto _ : state) {
    wheel->BuildWheel(background.data());
    benchmark::DoNotOptimize(wheel->BasePixels());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BuildWheel)->Unit(benchmark::kMillisecond);

// A drag along the ring: every call moves the marker to a new point.
void BM_DrawMarker(benchmark::State& state) {
  const std::vector<WheelPixel> background(kWheelPixels, 0x00040404u);
  auto wheel = std::make_unique<WheelImage>();
  wheel->BuildWheel(background.data());
  int step = 0;
  for (auto _ : state) {
    const int x = 30 + step % 240;
    step += 7;
    benchmark::DoNotOptimize(wheel->DrawMarker(x, 270 - x / 3));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawMarker)->Unit(benchmark::kMicrosecond);

// The redraw done the plain way, whole copy and every pixel tested, for comparison.
void BM_DrawMarkerFullBuffer(benchmark::State& state) {
  std::vector<WheelPixel> base(kWheelPixels, 0x00040404u);
  std::vector<WheelPixel> display(kWheelPixels);
  int step = 0;
  for (auto _ : state) {
    const int x = 30 + step % 240;
    const int y = 270 - x / 3;
    step += 7;
    std::memcpy(display.data(), base.data(), kBufferBytes);
    chromaset::PackedRgb result = 0;
    for (int j = 0; j < kWheelSize; ++j) {
      for (int i = 0; i < kWheelSize; ++i) {
        if (i == x && j == y) {
          result = chromaset::SwapRedBlue(base[static_cast<std::size_t>(j * kWheelSize + i)]);
        }
        if ((i - x) * (i - x) + (j - y) * (j - y) < 25) {
          display[static_cast<std::size_t>(j * kWheelSize + i)] = 0;
        }
      }
    }
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(display.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawMarkerFullBuffer)->Unit(benchmark::kMicrosecond);

void BM_Memcpy360000(benchmark::State& state) {
  const std::vector<WheelPixel> source(kWheelPixels, 0x00040404u);
  std::vector<WheelPixel> target(kWheelPixels);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kBufferBytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kBufferBytes));
}
BENCHMARK(BM_Memcpy360000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
