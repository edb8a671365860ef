// One owner of one system resource: a file, a mapping, a mapped region, a memory block, a
// picture. Copying is deleted, moving hands the resource over and leaves the source empty, and the
// destructor releases it. A class that holds several declares them in the order it acquires them,
// so that they are released in the reverse order (view, then mapping, then file) with no cleanup
// path of its own, and its moves can be `= default`.
//
// The policy names the handle type, its empty value and how to release it:
//   struct Policy { using Handle = ...; static Handle empty(); static void release(Handle); };
#pragma once

#include <utility>

template <typename Policy>
class Owned {
 public:
  using Handle = typename Policy::Handle;

  Owned() = default;
  explicit Owned(Handle handle) : handle_(handle) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Policy::empty())) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, Policy::empty()));
    return *this;
  }
  ~Owned() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return !(handle_ == Policy::empty()); }

  // Hands the resource to the caller, who releases it (to see whether releasing failed).
  Handle take() { return std::exchange(handle_, Policy::empty()); }

  // Releases what is held and takes `handle` instead.
  void reset(Handle handle = Policy::empty()) {
    const Handle old = std::exchange(handle_, handle);
    if (!(old == Policy::empty())) Policy::release(old);
  }

 private:
  Handle handle_ = Policy::empty();
};
