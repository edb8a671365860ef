// Guarded access to file views. On Linux a file stays open to truncation by other programs while
// a view maps it (its lock is advisory), and touching a page that the file no longer has raises
// SIGBUS, which would end the program. A job walks its views inside access_views, which turns such
// a fault into an answer: the walk stops where it faulted, and the job reports its input as
// unreadable. Windows refuses to truncate a mapped file, so there the access simply runs.
//
// The fault is caught only while an access runs, on the thread that runs it, and the signal
// handling that was in place before comes back after it. The access must hold no resource that
// needs a destructor: after a fault it is left without unwinding, as a plain loop over bytes is.
#pragma once

#include <type_traits>

// The reason a job gives for a file found cut short under one of its accesses.
inline constexpr char cut_short_reason[] = "the file was cut short while it was read";

// Runs `access(context)`; returns nullptr when it completed, else the address at which a view's
// file was found cut short.
const void* access_views_with(void (*access)(void*), void* context);

template <typename Access>
const void* access_views(Access&& access) {
  return access_views_with([](void* context) { (*static_cast<std::remove_reference_t<Access>*>(context))(); }, &access);
}

// For tests: called with the path after a view of it is opened, as if another program changed the
// file then. Null for none.
void set_view_opened_hook(void (*hook)(const char* path));
void run_view_opened_hook(const char* path);
