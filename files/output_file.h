// The output file: written as a new file beside its target and put in the target's place in one
// step once it is complete. Until then whatever was at the path stays as it was, so a save that
// fails (a full disk, a file size limit, a folder that takes no new file) leaves the old file, or
// no file where there was none, and never a partial output that looks like a finished conversion.
//
// A target that is a symbolic link is followed to the file it finally names: the new file is
// written beside that file and replaces it, and the link stays a link. On POSIX the replacement
// keeps an existing target's permission bits; its owner and any other hard links to it are not
// kept, as with any editor that saves this way.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "files/system_error.h"
#include "files/system_handles.h"

class OutputFile {
 public:
  // Checks that an existing target is a regular file that this program may write and that no view
  // holds (a view's program would lose the file from under it), and holds it so from now on, as a
  // view would; then creates the new file beside it. Or says why that failed, with nothing at the
  // path touched and no new file left.
  static std::variant<OutputFile, SystemError> create(const char* path);

  // Appends all of `bytes`, as often as called; nullopt when every one reached the file, else why
  // one did not. After a failure every later write and the commit fail with the same error, so
  // that a partial output never takes the target's place.
  std::optional<SystemError> write(std::span<const std::uint8_t> bytes);

  // Closes the new file and puts it in the target's place; nullopt when it is there now. After a
  // failure the target is as it was. Nothing may be written after a commit.
  std::optional<SystemError> commit();

  // An output dropped without a successful commit() takes its new file with it.

 private:
  OutputFile() = default;

  // The platform's halves of write() and commit().
  std::optional<SystemError> append(std::span<const std::uint8_t> bytes);
  std::optional<SystemError> replace();

  std::optional<SystemError> failure_;

  // In the order of acquisition: the new file is closed, then removed, then the target let go.
  SystemFile target_;        // the existing target, held as a view holds it; empty when there was none
  std::string target_path_;  // the file a symbolic link finally names, or the path itself
  TemporaryName temporary_;
  SystemFile file_;
};

// The name of a new file beside the target `name`, distinct from it and from the names made
// before: `.NAME.` and eight letters and digits drawn from `seed`, cut so that it is no longer than
// `budget` characters (at least one). The output files' twins use it with the limits of their
// systems.
std::string temporary_name(std::string_view name, std::size_t budget, std::uint64_t seed);

// A seed for temporary_name() that differs from call to call and from process to process.
std::uint64_t temporary_seed();

// Writes `pieces` one after another as the whole file at `path`. Nullopt when the file is there,
// complete; else the first error, with whatever was at the path as it was.
std::optional<SystemError> save_output_file(const char* path,
                                            std::initializer_list<std::span<const std::uint8_t>> pieces);
