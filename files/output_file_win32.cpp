#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "files/output_file.h"

namespace {

// The file that a symbolic link at `path` finally names, when `held` is that file; else `path`.
// The system's answer starts with \\?\, which the ANSI calls take only for paths that need it.
std::string final_target(const char* path, HANDLE held) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return path;
  char buffer[MAX_PATH + 8];
  const DWORD length = GetFinalPathNameByHandleA(held, buffer, sizeof buffer, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= sizeof buffer) return path;
  std::string target(buffer, length);
  if (target.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + target.substr(8);
  if (target.rfind("\\\\?\\", 0) == 0) return target.substr(4);
  return target;
}

}  // namespace

std::variant<OutputFile, SystemError> OutputFile::create(const char* path) {
  OutputFile output;
  // Share mode 0: a file that a view or another program holds fails here with a sharing violation,
  // and from now on no one else opens it until it is replaced. A file this program may not write
  // is refused as before, though it is only replaced.
  const HANDLE held = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    const SystemError error = last_open_error(path);
    if (error.kind != FileFault::no_such_file) return error;
    output.target_path_ = path;
  } else {
    output.target_.reset(reinterpret_cast<std::intptr_t>(held));
    // Only files on a disk are outputs, not devices such as NUL or a console.
    if (GetFileType(held) != FILE_TYPE_DISK) return SystemError{FileFault::not_a_regular_file, 0};
    output.target_path_ = final_target(path, held);
  }

  // Beside the target, so that the new file can take its place in one move on the same volume. Its
  // name must fit where the target's does: the ANSI calls take no path of MAX_PATH characters or
  // more, so near that length the new name is no longer than the target's.
  const std::string_view whole(output.target_path_);
  std::size_t split = whole.find_last_of("\\/");
  if (split == std::string_view::npos && whole.size() >= 2 && whole[1] == ':') split = 1;
  const std::string folder(split == std::string_view::npos ? std::string_view() : whole.substr(0, split + 1));
  const std::string_view name = split == std::string_view::npos ? whole : whole.substr(split + 1);
  const std::size_t room = folder.size() < MAX_PATH - 1 ? MAX_PATH - 1 - folder.size() : 0;
  const std::size_t budget = std::min<std::size_t>(255, std::max(name.size(), room));
  for (int attempt = 0;; ++attempt) {
    std::string temporary = folder + temporary_name(name, budget, temporary_seed());
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      output.temporary_.reset(std::move(temporary));
      output.file_.reset(reinterpret_cast<std::intptr_t>(file));
      break;
    }
    const DWORD code = GetLastError();
    if ((code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) || attempt == 100)
      return last_open_error(temporary.c_str());
  }
  return output;
}

std::optional<SystemError> OutputFile::append(std::span<const std::uint8_t> bytes) {
  if (!file_) return SystemError{FileFault::other, ERROR_INVALID_HANDLE};
  const HANDLE file = reinterpret_cast<HANDLE>(file_.get());
  while (!bytes.empty()) {
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), count, &written, nullptr)) return last_system_error();
    // A write that makes no progress would loop for ever; treat it as the failure it is, though the
    // system named no cause.
    if (written == 0) return SystemError{FileFault::other, ERROR_WRITE_FAULT};
    bytes = bytes.subspan(written);
  }
  return std::nullopt;
}

std::optional<SystemError> OutputFile::replace() {
  if (!file_) return SystemError{FileFault::other, ERROR_INVALID_HANDLE};
  // The new file is not flushed to the disk first (no FlushFileBuffers): that would cost a batch of
  // small outputs most of its time, and the failures this guards against are the ones the program
  // sees.
  if (!CloseHandle(reinterpret_cast<HANDLE>(file_.take()))) return last_system_error();
  // Windows replaces no file that is open, even by the program that replaces it. Another program
  // that takes the target in the moment between makes the move fail, leaving the target as it is.
  target_.reset();
  if (!MoveFileExA(temporary_.get().c_str(), target_path_.c_str(), MOVEFILE_REPLACE_EXISTING))
    return last_system_error();
  temporary_.take();
  return std::nullopt;
}
