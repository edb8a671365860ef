// Which file a path names, whatever the name: two paths, a hard link, a symbolic link or another
// spelling of one file give the same identity. Taking it asks for no access to the file's contents,
// so it works on a file that a view holds.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>

struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;

  friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

// Nullopt when nothing exists at `path` (or it cannot be looked at).
std::optional<FileIdentity> file_identity(const char* path);
