// Which instruction set the pixel and word kernels run on. The kernels pick the best path this
// processor offers once, on first use; every path gives the same bytes, and the scalar path is
// the reference the others are tested against.
#pragma once

#include <span>

enum class KernelPath { scalar, sse2, ssse3, avx2 };

// The paths this processor can run, scalar first and the best one last.
std::span<const KernelPath> available_kernel_paths();

// The path the kernels run on now.
KernelPath dispatched_kernel_path();

// Makes every kernel run on `path`, which must be available. For tests and benchmarks only: the
// programs keep the path chosen on first use.
void force_kernel_path(KernelPath path);

constexpr const char* kernel_path_name(KernelPath path) {
  switch (path) {
    case KernelPath::scalar:
      return "scalar";
    case KernelPath::sse2:
      return "sse2";
    case KernelPath::ssse3:
      return "ssse3";
    case KernelPath::avx2:
      return "avx2";
  }
  return "?";
}
