#include "pixels/kernel_path.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>

#include "pixels/kernels.h"

namespace {

struct PathList {
  std::array<KernelPath, 4> paths{KernelPath::scalar};
  std::size_t count = 1;
};

// Asked of the processor (and, for AVX2, of the system's saving of the wide registers) once.
PathList detect_paths() {
  __builtin_cpu_init();
  PathList list;
  if (__builtin_cpu_supports("sse2")) list.paths[list.count++] = KernelPath::sse2;
  if (__builtin_cpu_supports("ssse3")) list.paths[list.count++] = KernelPath::ssse3;
  if (__builtin_cpu_supports("avx2")) list.paths[list.count++] = KernelPath::avx2;
  return list;
}

const Kernels& kernels_for(KernelPath path) {
  switch (path) {
    case KernelPath::sse2:
      return sse2_kernels;
    case KernelPath::ssse3:
      return ssse3_kernels;
    case KernelPath::avx2:
      return avx2_kernels;
    case KernelPath::scalar:
      break;
  }
  return scalar_kernels;
}

struct Choice {
  KernelPath path;
  const Kernels* kernels;
};

Choice& choice() {
  static Choice chosen{available_kernel_paths().back(), &kernels_for(available_kernel_paths().back())};
  return chosen;
}

}  // namespace

std::span<const KernelPath> available_kernel_paths() {
  static const PathList list = detect_paths();
  return std::span(list.paths).first(list.count);
}

KernelPath dispatched_kernel_path() { return choice().path; }

void force_kernel_path(KernelPath path) {
  assert(std::ranges::find(available_kernel_paths(), path) != available_kernel_paths().end());
  choice() = {path, &kernels_for(path)};
}

const Kernels& active_kernels() { return *choice().kernels; }
