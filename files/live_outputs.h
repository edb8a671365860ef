// The new files of the outputs being written, kept where an interruption of the process can find
// them: Ctrl+C, a closed terminal or console window, or a kill that lets the process run a handler.
// The handler removes each of them and then lets the process end as the interruption would have
// ended it, so that an interrupted save leaves the target as it was and no new file beside it.
//
// On POSIX the registry is a fixed table of names that a signal handler reads without taking a lock
// or allocating: an entry is claimed (busy), given its name once the file exists (live), and left
// (free). The handler takes each live entry for itself before it removes that file, and waits for a
// busy one, whose thread has the signals blocked meanwhile and so never runs the handler itself. On
// Windows the console's handler runs in a thread of its own, and the table is guarded by a lock.
#pragma once

#include <cstdint>
#include <string>

#include "files/owned.h"

// Installs the handlers, once, at the start of a program that saves outputs. POSIX: SIGINT, SIGTERM
// and SIGHUP remove the live outputs' new files and then end the process with the same signal (one
// that was ignored when the program started stays ignored, as for a program started with nohup);
// SIGXFSZ is ignored, so that a write past a file size limit (ulimit -f) fails with EFBIG like any
// failed write, instead of ending the program with its new file left behind. Windows: Ctrl+C,
// Ctrl+Break and closing the console do the same, then the process ends as it would have.
void remove_outputs_on_interruption();

// While one lives, the interruption handler does not run in this thread (POSIX) or waits for it
// (Windows): a new file is made and its entry given its name, or it is put in place or removed and
// its entry left, with no interruption between. Not nested.
class InterruptionsHeld {
 public:
  InterruptionsHeld();
  ~InterruptionsHeld();
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
};

// The table's entries are claimed, published and left under InterruptionsHeld, which is Windows'
// lock on the table.

// An entry of the table, claimed before the new file is made; -1 when the
// table is full, in which case the output is written all the same and only an interruption would
// leave its file (which the next save to its target removes).
int claim_live_entry();

// Gives entry `entry` its file, under the same InterruptionsHeld as its claim: the name, which the
// POSIX handler removes (a folder's after the files, so that a folder of them goes too), and the
// open file, which the Windows one marks to be deleted when the process closes it (none: 0). False when the entry stays
// busy (a name too long for the table): the caller then leaves it.
bool publish_live_entry(int entry, const std::string& name, std::intptr_t file);

// Frees the entry once its file is in place or removed (on Windows before its handle is closed, which
// the handler would otherwise still mark). An entry the handler took is left taken.
void leave_live_entry(int entry);

struct LiveEntryPolicy {
  using Handle = int;
  static Handle empty() { return -1; }
  static void release(Handle entry) { leave_live_entry(entry); }
};
using LiveEntry = Owned<LiveEntryPolicy>;
