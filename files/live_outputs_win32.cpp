#include <windows.h>

#include "files/interruption_note.h"
#include "files/live_outputs.h"

namespace {

// One entry for each of the most jobs a batch runs at once (256), and room to spare.
constexpr int entry_count = 320;

struct Entry {
  bool claimed = false;
  HANDLE file = nullptr;  // the new file, once made
};

// Guards the table: held by InterruptionsHeld, and for good by the handler.
SRWLOCK lock = SRWLOCK_INIT;
Entry entries[entry_count];

BOOL WINAPI on_interruption(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  // Never released: no output is put in place after this, and a thread that would change the table
  // waits until the process ends.
  AcquireSRWLockExclusive(&lock);
  for (const Entry& entry : entries) {
    if (entry.file == nullptr) continue;
    // A file open in another thread cannot be deleted by name; marked, it goes when the process
    // ends and closes it.
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(entry.file, FileDispositionInfo, &disposition, sizeof disposition);
  }
  write_interruption_note([](const char* text, std::size_t length) {
    DWORD wrote = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(length), &wrote, nullptr);
  });
  // The system's own handler then ends the process, with the status Ctrl+C gives.
  return FALSE;
}

}  // namespace

void remove_outputs_on_interruption() { SetConsoleCtrlHandler(on_interruption, TRUE); }

InterruptionsHeld::InterruptionsHeld() { AcquireSRWLockExclusive(&lock); }

InterruptionsHeld::~InterruptionsHeld() { ReleaseSRWLockExclusive(&lock); }

int claim_live_entry() {
  for (int index = 0; index < entry_count; ++index) {
    if (entries[index].claimed) continue;
    entries[index].claimed = true;
    return index;
  }
  return -1;
}

bool publish_live_entry(int entry, const std::string&, std::intptr_t file) {
  if (entry < 0) return false;
  entries[entry].file = reinterpret_cast<HANDLE>(file);
  return true;
}

void leave_live_entry(int entry) {
  if (entry < 0) return;
  entries[entry] = Entry{};
}
