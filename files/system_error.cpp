#include "files/system_error.h"

std::string describe(const SystemError& error) {
  switch (error.kind) {
    case FileFault::no_such_file:
      return "No such file";
    case FileFault::is_a_folder:
      return "Is a folder";
    case FileFault::not_a_regular_file:
      return "Not a regular file";
    case FileFault::permission_denied:
      return "Permission denied";
    case FileFault::empty_file:
      return "The file is empty";
    case FileFault::too_large:
      return error.code == 0 ? "File too large (4 GiB or more)" : "File too large";
    case FileFault::held_by_another_program:
      return "The file is in use by another program";
    case FileFault::disk_full:
      return "No space left on the disk";
    case FileFault::read_only_file_system:
      return "Read-only file system";
    case FileFault::name_too_long:
      return "File name too long";
    case FileFault::folder_missing:
      return "The folder does not exist";
    case FileFault::folder_not_writable:
      return "The folder needs write permission to save a new file in it";
    case FileFault::symbolic_link:
      return "Is a symbolic link, which is not written through";
    case FileFault::other:
      break;
  }
  return system_message(error.code);
}
