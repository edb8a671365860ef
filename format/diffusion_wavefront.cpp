#include "format/diffusion_wavefront.h"

#include <exception>

void SweepShare::wait_for(std::uint64_t goal) const {
  const std::atomic<std::uint64_t>& above = progress[1 - self].pixels;
  // A short spin, as the thread above is usually about to get there; then the core is given up, as
  // on a loaded machine the other thread may not be running at all.
  for (unsigned spins = 0; above.load(std::memory_order_acquire) < goal; ++spins) {
    if (spins >= 64) std::this_thread::yield();
  }
}

DiffusionWavefront::~DiffusionWavefront() {
  if (!worker_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  worker_.join();
}

bool DiffusionWavefront::run(std::uint32_t width, const std::function<void(const SweepShare&)>& band) {
  if (failed_) return false;
  if (!worker_.joinable()) {
    try {
      worker_ = std::thread([this] { work(); });
    } catch (const std::exception&) {
      failed_ = true;
      return false;
    }
  }
  {
    const std::lock_guard lock(mutex_);
    // The counts start again with each band; the worker is idle, and the lock hands them over.
    progress_[0].pixels.store(0, std::memory_order_relaxed);
    progress_[1].pixels.store(0, std::memory_order_relaxed);
    band_ = &band;
    width_ = width;
    busy_ = true;
    ++given_;
  }
  wake_.notify_one();
  band(SweepShare{0, width, progress_});
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [this] { return !busy_; });
  band_ = nullptr;
  return true;
}

void DiffusionWavefront::work() {
  std::uint64_t taken = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return quit_ || given_ != taken; });
    if (quit_) return;
    taken = given_;
    const auto& band = *band_;
    const SweepShare share{1, width_, progress_};
    lock.unlock();
    band(share);
    lock.lock();
    busy_ = false;
    finished_.notify_one();
  }
}
