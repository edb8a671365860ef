// The row kernels of Dither::diffusion (the rule is at the top of dither.h), one for the processors
// whose kernel path is scalar, one for the AVX2 path and one for the other vector paths, chosen as
// the pixel kernels are. Each pixel's channels take a 32-bit lane each of four, so that a row's
// errors are four lanes a pixel.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

struct Diffusion {
  unsigned channels = 3;  // 1 to 3
  // 16 P for each channel's 8-bit values.
  std::array<std::array<std::int32_t, 256>, 3> positions{};
  // 4080 L for each channel, 0 in the lanes no channel takes.
  std::array<std::int32_t, 4> top{};
  // What each channel's level is multiplied by as it is stored: 1, or 2^(8 - bits) for the level in
  // the top bits of its byte, twice over for the two halves of a vector's 16-bit lanes.
  std::array<std::int16_t, 8> scale{1, 1, 1, 1, 1, 1, 1, 1};
};

// A band's sweeps (the groups of rows a vector kernel runs at once, each row two pixels behind the
// one above) dealt out in turn to two threads: sweep i is thread i % 2's, and it runs its columns
// in blocks, waiting before each until the last row of sweep i - 1 has done enough pixels for its
// first row, and saying after each how many pixels its own last row has done. Each thread's count
// goes up across the band, sweep i's pixels counting from i * (width + 2), so that a thread gone on
// to its next sweep never seems to have gone back to the other's wait.
//
// The two rows of errors stay enough across threads for the reason they are within a sweep: every
// row runs at least two pixels behind the row above. Row y + 1 reads at pixel x what row y left
// there at its step x + 1 (so it waits for x + 2 pixels), and writes at its step x the slot x - 1 of
// the row of errors that row y read at its step x - 1, long done; row y + 2 overwrites row y's
// slots only behind row y + 1, which read them. The wait's acquire pairs with the publishing
// release, and a thread publishes only after its own waits, so each row's writes are seen by every
// row below it, whichever thread runs it.
// A thread's count, alone on its cache line, so that the other thread's stores do not take the line
// from under it between its looks; and whether the other thread sleeps until the count gets on.
struct alignas(64) SweepProgress {
  std::atomic<std::uint64_t> pixels{0};
  std::atomic<bool> watched{false};
};

// Where a thread that has waited long enough sleeps (diffusion_wavefront.cpp).
class SweepSleep;

struct SweepShare {
  unsigned self = 0;  // 0 or 1
  std::uint32_t width = 0;
  SweepProgress* progress = nullptr;  // two, one a thread
  SweepSleep* sleep = nullptr;

  bool mine(std::uint32_t sweep) const { return sweep % 2 == self; }
  // Waits until sweep - 1's last row has done `pixels` pixels; sweep 0's row above is the band's
  // before, already whole. The usual case, already there, makes no call.
  void wait(std::uint32_t sweep, std::uint32_t pixels) const {
    const std::uint64_t goal = std::uint64_t{sweep - 1} * (std::uint64_t{width} + 2) + pixels;
    if (progress[1 - self].pixels.load(std::memory_order_acquire) < goal) [[unlikely]]
      wait_for(goal);
  }
  // Both sequentially consistent, as is the sleeper's mark and its look at the count, so that
  // either this thread sees the mark or the sleeper sees the count.
  void publish(std::uint32_t sweep, std::uint32_t pixels) const {
    progress[self].pixels.store(std::uint64_t{sweep} * (std::uint64_t{width} + 2) + pixels);
    if (progress[self].watched.load()) [[unlikely]]
      wake();
  }

 private:
  void wait_for(std::uint64_t goal) const;
  void wake() const;
};

// Dithers `count` rows of `width` pixels, stored rows first to first + count - 1, one after the
// other: `values` and `levels` hold `channels` bytes a pixel, the rows of `values` `stride` bytes
// apart and those of `levels` one after the other. `errors` is two rows of errors, four
// lanes a pixel: an even row finds what the row above left it in the first and leaves the next row
// its own in the second, an odd row the other way round. Row 0 finds no errors. With `share`, the
// vector kernels dither only this thread's sweeps of the rows.
void diffuse_rows_scalar(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride,
                         std::uint32_t width, std::uint32_t first, std::uint32_t count, std::int32_t* errors,
                         std::uint8_t* levels);
// One or three channels.
void diffuse_rows_sse2(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride, std::uint32_t width,
                       std::uint32_t first, std::uint32_t count, std::int32_t* errors, std::uint8_t* levels,
                       const SweepShare* share = nullptr);
// One or three channels, for processors with AVX2: two rows in each 256-bit register, the same bytes
// in fewer instructions.
void diffuse_rows_avx2(const Diffusion& diffusion, const std::uint8_t* values, std::size_t stride, std::uint32_t width,
                       std::uint32_t first, std::uint32_t count, std::int32_t* errors, std::uint8_t* levels,
                       const SweepShare* share = nullptr);

// The rows of each sweep of a band on the vector path: 6 for AVX2, 3 for the others.
constexpr std::uint32_t sse_sweep_rows = 3, avx2_sweep_rows = 6;
// The columns a sweep runs between looking at the other thread: few enough that the thread below
// waits little at a sweep's start, enough that the looks cost nothing beside the steps.
constexpr std::uint32_t sweep_block = 256;
