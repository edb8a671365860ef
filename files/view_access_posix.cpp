#include <setjmp.h>
#include <signal.h>

#include <mutex>

#include "files/view_access.h"

namespace {

// Where the fault of this thread's running access returns to.
thread_local sigjmp_buf* landing = nullptr;
thread_local const void* fault_address = nullptr;

// The handler is installed while any access runs, on any thread, and the one before it is put
// back when the last access ends.
std::mutex installed_mutex;
int accesses_running = 0;
struct sigaction previous_action {};

void on_bus_error(int signal, siginfo_t* info, void* context) {
  if (landing != nullptr) {
    fault_address = info->si_addr;
    siglongjmp(*landing, 1);
  }
  // A fault outside any access is not ours to answer: hand it to what was there before.
  if (previous_action.sa_flags & SA_SIGINFO) {
    previous_action.sa_sigaction(signal, info, context);
  } else if (previous_action.sa_handler != SIG_IGN && previous_action.sa_handler != SIG_DFL) {
    previous_action.sa_handler(signal);
  } else {
    ::sigaction(SIGBUS, &previous_action, nullptr);
    ::raise(SIGBUS);
  }
}

void enter() {
  const std::lock_guard lock(installed_mutex);
  if (accesses_running++ > 0) return;
  struct sigaction action {};
  action.sa_sigaction = &on_bus_error;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &previous_action);
}

void leave() {
  const std::lock_guard lock(installed_mutex);
  if (--accesses_running == 0) ::sigaction(SIGBUS, &previous_action, nullptr);
}

}  // namespace

const void* access_views_with(void (*access)(void*), void* context) {
  enter();
  sigjmp_buf here;
  const void* fault = nullptr;
  // The handler runs with SA_NODEFER and an empty mask, so the signal mask is the same in it as
  // here: nothing to save and restore, and no system call per access for it.
  if (sigsetjmp(here, 0) == 0) {
    landing = &here;
    access(context);
  } else {
    fault = fault_address;
  }
  landing = nullptr;
  leave();
  return fault;
}
