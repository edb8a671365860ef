// The conversions should run at the speed of memory: one pass, no allocation. Each kernel path this
// processor has is measured on a frame of Talvose's size and on a large picture, in bytes read plus
// bytes written per second, next to a memcpy of the picture's stored rows counted the same way.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pixels/kernel_path.h"
#include "pixels/pixels.h"
#include "pixels/subtract_words.h"

namespace {

struct Picture {
  std::uint32_t width;
  std::uint32_t height;

  std::uint32_t stride() const { return (width * 3 + 3) & ~3u; }
  std::size_t stored_bytes() const { return std::size_t{stride()} * height; }
  std::size_t pixels() const { return std::size_t{width} * height; }
};

// kernel/path/widthxheight, built by appending: GCC 12 warns falsely on `"/" + std::string`.
std::string benchmark_name(const char* kernel, const char* path, Picture picture) {
  std::string name = kernel;
  if (*path != '\0') name.append("/").append(path);
  return name.append("/").append(std::to_string(picture.width)).append("x").append(std::to_string(picture.height));
}

std::vector<std::uint8_t> pattern(std::size_t size, unsigned step) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * step);
  return bytes;
}

void count_bytes(benchmark::State& state, std::size_t read, std::size_t written) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(read + written));
}

void bm_memcpy(benchmark::State& state, Picture picture) {
  const std::vector<std::uint8_t> rows = pattern(picture.stored_bytes(), 31);
  std::vector<std::uint8_t> copy(rows.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), rows.data(), rows.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  count_bytes(state, rows.size(), copy.size());
}

void bm_export_rows(benchmark::State& state, KernelPath path, Picture picture) {
  force_kernel_path(path);
  const std::vector<std::uint8_t> rows = pattern(picture.stored_bytes(), 31);
  std::vector<std::uint8_t> out(picture.pixels() * 2);
  for (auto _ : state) {
    pack_565_rows(rows, picture.stride(), picture.width, picture.height, out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  count_bytes(state, rows_extent(picture.stride(), picture.width, picture.height), out.size());
}

void bm_expand_run(benchmark::State& state, KernelPath path, Picture picture) {
  force_kernel_path(path);
  const std::vector<std::uint8_t> words = pattern(picture.pixels() * 2, 17);
  std::vector<std::uint8_t> out(picture.pixels() * 3);
  for (auto _ : state) {
    expand_run(words, out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  count_bytes(state, words.size(), out.size());
}

// The raw image of the picture minus another as large: two reads and one write of each word.
void bm_subtract_words(benchmark::State& state, KernelPath path, Picture picture) {
  force_kernel_path(path);
  std::vector<std::uint8_t> image = pattern(picture.pixels() * 2, 17);
  const std::vector<std::uint8_t> sub = pattern(picture.pixels() * 2, 13);
  for (auto _ : state) {
    subtract_words(image, sub);
    benchmark::DoNotOptimize(image.data());
    benchmark::ClobberMemory();
  }
  count_bytes(state, image.size() * 2, image.size());
}

// Each row's triples to opaque 32-bit words, blue in the low byte and 0xFF on top, as xrgb8888
// and argb8888 take them from a 24-bit picture.
void bm_arrange_words(benchmark::State& state, KernelPath path, Picture picture) {
  force_kernel_path(path);
  const TripleBytes layout{4, {0, 1, 2, TripleBytes::none_of_triple}, {0xFF, 0xFF, 0xFF, 0}, {0, 0, 0, 0xFF}};
  const std::vector<std::uint8_t> rows = pattern(picture.stored_bytes(), 31);
  std::vector<std::uint8_t> out(picture.pixels() * 4);
  for (auto _ : state) {
    for (std::uint32_t y = 0; y < picture.height; ++y)
      arrange_triples(rows.data() + std::size_t{y} * picture.stride(), picture.width, layout,
                      out.data() + std::size_t{y} * picture.width * 4);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  count_bytes(state, rows_extent(picture.stride(), picture.width, picture.height), out.size());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const Picture picture : {Picture{568, 130}, Picture{4096, 4096}}) {
    benchmark::RegisterBenchmark(benchmark_name("memcpy", "", picture).c_str(), bm_memcpy, picture);
    for (const KernelPath path : available_kernel_paths()) {
      const char* on = kernel_path_name(path);
      benchmark::RegisterBenchmark(benchmark_name("pack_565_rows", on, picture).c_str(), bm_export_rows, path, picture);
      benchmark::RegisterBenchmark(benchmark_name("expand_run", on, picture).c_str(), bm_expand_run, path, picture);
      benchmark::RegisterBenchmark(benchmark_name("subtract_words", on, picture).c_str(), bm_subtract_words, path,
                                   picture);
      benchmark::RegisterBenchmark(benchmark_name("arrange_words", on, picture).c_str(), bm_arrange_words, path,
                                   picture);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
