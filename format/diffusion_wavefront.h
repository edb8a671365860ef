// A second thread for diffusion's bands: the band's sweeps are dealt out in turn to the calling
// thread and to a worker, each sweep's first row running at least two pixels behind the last row of
// the sweep above (SweepShare in diffusion.h), so that both cores work on one band at once and the
// levels are the bytes one thread would make.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "format/diffusion.h"

class SweepSleep {
 public:
  std::mutex mutex;
  std::condition_variable woken;
};

class DiffusionWavefront {
 public:
  DiffusionWavefront() = default;
  DiffusionWavefront(const DiffusionWavefront&) = delete;
  DiffusionWavefront& operator=(const DiffusionWavefront&) = delete;
  // Stops the worker and waits for it.
  ~DiffusionWavefront();

  // Runs `band` on this thread and on the worker at once, each given its share of the band's
  // sweeps on rows of `width` pixels, and returns when both are done; `band` must not throw. The
  // worker starts on the first call. False, with nothing run, when it cannot be started: the caller
  // dithers the band alone.
  bool run(std::uint32_t width, const std::function<void(const SweepShare&)>& band);

 private:
  void work();

  std::thread worker_;
  bool failed_ = false;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  const std::function<void(const SweepShare&)>* band_ = nullptr;  // the band the worker is to run
  std::uint32_t width_ = 0;
  std::uint64_t given_ = 0;  // bands given to the worker
  bool busy_ = false;
  bool quit_ = false;
  SweepProgress progress_[2];
  SweepSleep sleep_;
};
