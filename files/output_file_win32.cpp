#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
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

// The folder part of `path` with its final separator ("" for a name alone), and the name.
std::pair<std::string, std::string_view> split_path(std::string_view path) {
  std::size_t split = path.find_last_of("\\/");
  if (split == std::string_view::npos && path.size() >= 2 && path[1] == ':') split = 1;
  if (split == std::string_view::npos) return {std::string(), path};
  return {std::string(path.substr(0, split + 1)), path.substr(split + 1)};
}

// The longest name the new file beside `name` in `folder` may have: the ANSI calls take no path of
// MAX_PATH characters or more, so near that length the new name is no longer than the target's.
std::size_t name_budget(const std::string& folder, std::string_view name) {
  const std::size_t room = folder.size() < MAX_PATH - 1 ? MAX_PATH - 1 - folder.size() : 0;
  return std::min<std::size_t>(255, std::max(name.size(), room));
}

// Removes the new files that saves to `name` in `folder` left behind when their process could not
// clean up. A live save's new file is open with no sharing, and so cannot be deleted.
void remove_leftovers(const std::string& folder, std::string_view name, std::size_t budget) {
  // The names that might be saves' new files: hidden, with the marker in them, plain files.
  const auto list = [&] {
    std::vector<std::string> names;
    const std::string pattern = folder + ".*.saving-*";
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0)
        names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  };
  for (const std::string& taken : take_leftovers_of(folder, name, budget, list)) DeleteFileA((folder + taken).c_str());
}

}  // namespace

std::variant<OutputFile, SystemError> OutputFile::create(const char* path, Links links) {
  OutputFile output;
  // A link refused is not opened at all; FILE_FLAG_OPEN_REPARSE_POINT then holds the path's own
  // entry, so that one made in the moment between is replaced, not written through.
  const DWORD attributes = GetFileAttributesA(path);
  if (links == Links::refuse && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return SystemError{FileFault::symbolic_link, 0};
  // Share mode 0: a file that a view or another program holds fails here with a sharing violation,
  // and from now on no one else opens it until it is replaced. A file this program may not write
  // is refused as before, though it is only replaced.
  const DWORD flags = links == Links::refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
  const HANDLE held = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    const SystemError error = last_open_error(path);
    if (error.kind != FileFault::no_such_file) return error;
    output.target_path_ = path;
  } else {
    output.target_.reset(reinterpret_cast<std::intptr_t>(held));
    // Only files on a disk are outputs, not devices such as NUL or a console.
    if (GetFileType(held) != FILE_TYPE_DISK) return SystemError{FileFault::not_a_regular_file, 0};
    output.target_path_ = links == Links::follow ? final_target(path, held) : path;
  }

  // Beside the target, so that the new file can take its place in one move on the same volume.
  const auto [folder, name] = split_path(output.target_path_);
  const std::size_t budget = name_budget(folder, name);
  remove_leftovers(folder, name, budget);
  // No interruption between the file's creation and its entry in the table of live outputs. DELETE
  // lets the interruption's handler mark the file to go when the process closes it.
  const InterruptionsHeld held_back;
  LiveEntry live(claim_live_entry());
  for (int attempt = 0;; ++attempt) {
    std::string temporary = folder + temporary_name(name, budget, temporary_seed());
    const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      if (!publish_live_entry(live.get(), temporary, reinterpret_cast<std::intptr_t>(file))) live.reset();
      output.live_ = std::move(live);
      output.temporary_.reset(std::move(temporary));
      output.file_.reset(reinterpret_cast<std::intptr_t>(file));
      break;
    }
    const DWORD code = GetLastError();
    if ((code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) && attempt < 100) continue;
    if (code == ERROR_ACCESS_DENIED) return SystemError{FileFault::folder_not_writable, code};
    return last_open_error(temporary.c_str());
  }
  return output;
}

OutputFile::~OutputFile() {
  if (!file_ && !temporary_ && !live_) return;
  // The entry is left before the handle is closed, and the file deleted, with no interruption
  // between: the handler would otherwise mark a handle that may by then be another file's.
  const InterruptionsHeld held;
  live_.reset();
  file_.reset();
  temporary_.reset();
}

std::string output_folder(const char* path) {
  std::string target = path;
  const HANDLE held =
      CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held != INVALID_HANDLE_VALUE) {
    target = final_target(path, held);
    CloseHandle(held);
  }
  std::string folder = split_path(target).first;
  if (folder.size() > 1 && folder.back() != ':' && folder[folder.size() - 2] != ':') folder.pop_back();
  return folder;
}

std::optional<SystemError> OutputFile::append(std::span<const std::uint8_t> bytes) { return write_all(file_, bytes); }

std::optional<SystemError> OutputFile::replace() {
  if (!file_) return SystemError{FileFault::other, ERROR_INVALID_HANDLE};
  // No interruption until the new file is in place: the handler marks no closed handle, and the
  // table's lock, which it keeps, holds a move that has not begun.
  const InterruptionsHeld held;
  live_.reset();
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
