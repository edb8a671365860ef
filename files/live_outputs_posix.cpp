#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "files/interruption_note.h"
#include "files/live_outputs.h"

namespace {

enum EntryState : int { free_entry, busy_entry, live_entry, taken_entry };

struct Entry {
  std::atomic<int> state{free_entry};
  char name[PATH_MAX]{};
};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the states without a lock");

// One entry for each of the most jobs a batch runs at once (256), and room to spare. The names'
// pages are touched only when an entry is first used: the table is all zeros, made by the compiler,
// so that starting the program writes none of it.
constexpr int entry_count = 320;
constinit Entry entries[entry_count];

constexpr int interruptions[] = {SIGINT, SIGTERM, SIGHUP};

// Set by the handler before it walks the table: a thread that claims an entry afterwards makes no
// new file. The handler may pass an entry before another thread claims it; that thread then sees
// this and stops, so no file is made that the walk could miss. (Sequentially consistent, with the
// claims: each claim is ordered before this store, and so seen by the walk, or after it, and so sees it.)
std::atomic<bool> ending{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler sets it without a lock");

sigset_t interruption_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : interruptions) sigaddset(&set, signal);
  return set;
}

// Only what is safe in a signal handler: atomics, unlink, rmdir, nanosleep, sigaction and raise.
void on_interruption(int signal) {
  ending.store(true);
  const int saved_errno = errno;
  // A folder's entry (a staging folder) is removed after the files, which may lie in it.
  Entry* folders[entry_count];
  int folder_count = 0;
  for (Entry& entry : entries) {
    for (;;) {
      int state = entry.state.load();
      if (state == busy_entry) {
        // Another thread is making this file or naming it, with the signals blocked; it is done in
        // the time a file takes to be created.
        const timespec pause{0, 100000};
        ::nanosleep(&pause, nullptr);
        continue;
      }
      if (state == live_entry && entry.state.compare_exchange_strong(state, taken_entry)) {
        if (::unlink(entry.name) != 0 && (errno == EISDIR || errno == EPERM)) folders[folder_count++] = &entry;
      }
      break;
    }
  }
  for (int k = 0; k < folder_count; ++k) ::rmdir(folders[k]->name);
  write_interruption_note([](const char* text, std::size_t length) {
    while (length > 0) {
      const ssize_t wrote = ::write(STDERR_FILENO, text, length);
      if (wrote <= 0) return;
      text += wrote;
      length -= static_cast<std::size_t>(wrote);
    }
  });
  errno = saved_errno;
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  ::sigaction(signal, &standard, nullptr);
  // Still blocked while this handler runs: the signal ends the process as the handler returns.
  ::raise(signal);
}

thread_local sigset_t held_mask;

}  // namespace

void remove_outputs_on_interruption() {
  struct sigaction handler {};
  handler.sa_handler = on_interruption;
  // One interruption at a time: a second signal waits until the first has ended the process.
  handler.sa_mask = interruption_set();
  for (const int signal : interruptions) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &handler, nullptr);
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

InterruptionsHeld::InterruptionsHeld() {
  const sigset_t set = interruption_set();
  ::pthread_sigmask(SIG_BLOCK, &set, &held_mask);
}

InterruptionsHeld::~InterruptionsHeld() { ::pthread_sigmask(SIG_SETMASK, &held_mask, nullptr); }

int claim_live_entry() {
  for (int index = 0; index < entry_count; ++index) {
    int expected = free_entry;
    if (!entries[index].state.compare_exchange_strong(expected, busy_entry)) continue;
    if (ending.load()) {
      // The handler is removing the new files and ending the process, perhaps past this entry
      // already: no file is made, and this thread waits for the end, its signals blocked.
      entries[index].state.store(free_entry);
      for (;;) ::pause();
    }
    return index;
  }
  if (ending.load()) {
    for (;;) ::pause();
  }
  return -1;
}

bool publish_live_entry(int entry, const std::string& name, std::intptr_t) {
  if (entry < 0) return false;
  Entry& claimed = entries[entry];
  if (name.size() >= sizeof claimed.name) return false;
  std::memcpy(claimed.name, name.c_str(), name.size() + 1);
  claimed.state.store(live_entry, std::memory_order_release);
  return true;
}

void leave_live_entry(int entry) {
  if (entry < 0) return;
  // A busy entry is its claimer's (a file that could not be made); a live one its output's. A taken
  // one stays taken: the process is ending.
  int state = entries[entry].state.load(std::memory_order_relaxed);
  while (state != taken_entry && state != free_entry &&
         !entries[entry].state.compare_exchange_weak(state, free_entry, std::memory_order_release)) {
  }
}
