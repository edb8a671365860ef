// The conversions are meant to be instant for any picture the tools see: one pass, a few shifts
// and masks per pixel, no allocation. These measure that on a frame of Talvose's size and on a
// large picture.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "pixels/pixels.h"

namespace {

void BM_ExportRows(benchmark::State& state) {
  const auto width = static_cast<std::uint32_t>(state.range(0));
  const auto height = static_cast<std::uint32_t>(state.range(1));
  const std::uint32_t stride = (width * 3 + 3) & ~3u;
  std::vector<std::uint8_t> rows(std::size_t{stride} * height);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::uint8_t>(i * 31);
  std::vector<std::uint8_t> out(std::size_t{width} * height * 2);
  for (auto _ : state) {
    export_rows(rows, stride, width, height, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(rows.size()));
}
BENCHMARK(BM_ExportRows)->Args({568, 130})->Args({4096, 4096});

void BM_ExpandRun(benchmark::State& state) {
  std::vector<std::uint8_t> words(static_cast<std::size_t>(state.range(0)) * 2);
  for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint8_t>(i * 17);
  std::vector<std::uint8_t> out(words.size() / 2 * 3);
  for (auto _ : state) {
    expand_run(words, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(words.size()));
}
BENCHMARK(BM_ExpandRun)->Arg(568 * 130)->Arg(4096 * 4096);

}  // namespace

BENCHMARK_MAIN();
