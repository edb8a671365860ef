// How the POSIX build keeps an output block: in its own mapping from this size on, else on the heap.
#pragma once

#include <cstddef>

constexpr bool mapped_block(std::size_t size) { return size >= std::size_t{4} << 20; }
