// The output file: written as a new file beside its target and put in the target's place in one
// step once it is complete. Until then whatever was at the path stays as it was, so a save that
// fails (a full disk, a file size limit, a folder that takes no new file) leaves the old file, or
// no file where there was none, and never a partial output that looks like a finished conversion.
// An interrupted save (Ctrl+C, a closed terminal, a kill that can be handled) removes its new file
// too, once the program has called remove_outputs_on_interruption() (files/live_outputs.h).
//
// The new file is named `.NAME.saving-` and eight letters and digits. One left behind by a process
// that could not clean up (killed outright, a power cut) is removed by the next save to the same
// target, unless a live process is still writing it: on POSIX each new file is locked (flock) while
// it is written and only one whose lock can be had is removed; on Windows a file being written
// cannot be deleted.
//
// A target that is a symbolic link is followed to the file it finally names, unless the caller
// refuses links: the new file is written beside that file and replaces it, and the link stays a
// link. On POSIX the new file has an existing target's permission bits from the moment it is made
// (the umask only narrowing them until they are set exactly), and its owner and group where this
// process may give them; any other hard links to the old file are not kept, as with any editor that
// saves this way.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "files/live_outputs.h"
#include "files/system_error.h"
#include "files/system_handles.h"

// What to do with a target that is a symbolic link (on Windows, any reparse point).
enum class Links {
  // Write the file it finally names, as a user who saves through a link expects.
  follow,
  // Refuse it (FileFault::symbolic_link): a caller that makes its outputs' names itself, as a batch
  // does, must not write wherever a link left in the folder points.
  refuse,
};

class OutputFile {
 public:
  // Checks that an existing target is a regular file that this program may write and that no view
  // holds (a view's program would lose the file from under it), and holds it so from now on, as a
  // view would; then creates the new file beside it. Or says why that failed, with nothing at the
  // path touched and no new file left.
  static std::variant<OutputFile, SystemError> create(const char* path, Links links = Links::follow);

  OutputFile(OutputFile&&) noexcept = default;
  // Not assigned: dropping a live output takes the steps of the destructor, in its order.
  OutputFile& operator=(OutputFile&&) = delete;
  // An output dropped without a successful commit() takes its new file with it.
  ~OutputFile();

  // Appends all of `bytes`, as often as called; nullopt when every one reached the file, else why
  // one did not. After a failure every later write and the commit fail with the same error, so
  // that a partial output never takes the target's place.
  std::optional<SystemError> write(std::span<const std::uint8_t> bytes);

  // Closes the new file and puts it in the target's place; nullopt when it is there now. After a
  // failure the target is as it was. Nothing may be written after a commit.
  std::optional<SystemError> commit();

 private:
  OutputFile() = default;

  // The platform's halves of write() and commit().
  std::optional<SystemError> append(std::span<const std::uint8_t> bytes);
  std::optional<SystemError> replace();

  std::optional<SystemError> failure_;

  // In the order of acquisition: the new file is closed, then removed, then its entry in the table
  // of live outputs is left, then the target let go.
  SystemFile target_;        // the existing target, held as a view holds it; empty when there was none
  std::string target_path_;  // the file a symbolic link finally names, or the path itself
  LiveEntry live_;
  TemporaryName temporary_;
  // POSIX: a second descriptor of the new file, whose lock outlasts the closing of `file_` until the
  // file is in place, so that no other save takes it for a leftover in between.
  SystemFile lock_;
  SystemFile file_;
};

// The name of a new file beside the target `name`, distinct from it and from the names made
// before: `.NAME.saving-` and eight letters and digits drawn from `seed`, with NAME cut so that the
// whole is no longer than `budget` characters. A budget too small for all but NAME leaves the eight
// letters alone, cut to the budget (at least one). The output files' twins use it with the limits
// of their systems.
std::string temporary_name(std::string_view name, std::size_t budget, std::uint64_t seed);

// Whether `candidate` is a name that temporary_name() gives for `name` and `budget` with some seed,
// in its full form (the letters alone name no target): a new file of a save to that target.
bool is_temporary_name_of(std::string_view candidate, std::string_view name, std::size_t budget);

// The names in `folder` that are new files of saves to `name` (within `budget`), taken out of a list
// of the folder's names that might be, which `list` makes the first time this process asks about
// that folder. A batch saves thousands of files into one folder: listing it for each save would
// cost the square of their number. A leftover made after the listing (by a process killed while
// this one runs) goes with a later run's save.
std::vector<std::string> take_leftovers_of(const std::string& folder, std::string_view name, std::size_t budget,
                                           const std::function<std::vector<std::string>()>& list);

// The folder in which the output at `path` makes its new file, that of the file a symbolic link
// finally names; empty for the current folder.
std::string output_folder(const char* path);

// describe() for an output at `path` that was not saved: a folder that takes no new file is named.
std::string describe_output_error(const SystemError& error, const char* path);

// A seed for temporary_name() that differs from call to call and from process to process.
std::uint64_t temporary_seed();

// Writes `pieces` one after another as the whole file at `path`. Nullopt when the file is there,
// complete; else the first error, with whatever was at the path as it was.
std::optional<SystemError> save_output_file(const char* path,
                                            std::initializer_list<std::span<const std::uint8_t>> pieces);

// Whether `path` names a PNG file: it ends in .png, in any case, as the systems that show such files
// take it.
bool names_png(std::string_view path);
