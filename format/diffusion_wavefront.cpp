#include "format/diffusion_wavefront.h"

#include <chrono>

#include <exception>

void SweepShare::wait_for(std::uint64_t goal) const {
  SweepProgress& above = progress[1 - self];
  // A short spin, as the thread above is usually about to get there; then this thread sleeps, so
  // that its core can run the other thread, or the reading of the next band, when the machine has
  // more threads to run than cores.
  const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
  for (unsigned spins = 1;; ++spins) {
    if (above.pixels.load(std::memory_order_acquire) >= goal) return;
    if (spins % 64 == 0 && std::chrono::steady_clock::now() > until) break;
  }
  std::unique_lock lock(sleep->mutex);
  above.watched.store(true);
  while (above.pixels.load() < goal) sleep->woken.wait(lock);
  above.watched.store(false);
}

void SweepShare::wake() const {
  // Taking the lock makes sure the sleeper is inside its wait, not between its look and it.
  const std::lock_guard lock(sleep->mutex);
  sleep->woken.notify_one();
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
  band(SweepShare{0, width, progress_, &sleep_});
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
    const SweepShare share{1, width_, progress_, &sleep_};
    lock.unlock();
    band(share);
    lock.lock();
    busy_ = false;
    finished_.notify_one();
  }
}
