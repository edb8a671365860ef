#include <windows.h>

#include <string>

#include "files/system_error.h"

namespace {

FileFault kind_of(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return FileFault::no_such_file;
    case ERROR_ACCESS_DENIED:
      return FileFault::permission_denied;
    case ERROR_FILE_TOO_LARGE:
      return FileFault::too_large;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return FileFault::held_by_another_program;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileFault::disk_full;
    case ERROR_WRITE_PROTECT:
      return FileFault::read_only_file_system;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return FileFault::name_too_long;
    case ERROR_PATH_NOT_FOUND:
      return FileFault::folder_missing;
    default:
      return FileFault::other;
  }
}

}  // namespace

SystemError last_system_error() {
  const DWORD code = GetLastError();
  return {kind_of(code), static_cast<std::uint32_t>(code)};
}

SystemError last_open_error(const char* path) {
  SystemError error = last_system_error();
  if (error.kind != FileFault::permission_denied) return error;
  // CreateFileA opens a folder only with FILE_FLAG_BACKUP_SEMANTICS, and refuses it otherwise as
  // access denied.
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    error.kind = FileFault::is_a_folder;
  return error;
}

std::string system_message(std::uint32_t code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "Error " + std::to_string(code);
  std::string message(text, length);
  LocalFree(text);
  // The system's text ends in a full stop and a line break; the caller places the cause in a line.
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message;
}
