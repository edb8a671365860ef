#include "files/view_access.h"

#include <atomic>

namespace {
std::atomic<void (*)(const char*)> view_opened_hook{nullptr};
}

void set_view_opened_hook(void (*hook)(const char* path)) { view_opened_hook = hook; }

void run_view_opened_hook(const char* path) {
  if (void (*hook)(const char*) = view_opened_hook.load()) hook(path);
}
