// A file view as an optional, for tests that look at what a view holds rather than at why one
// failed.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "files/file_view.h"

inline std::optional<FileView> open_view(const std::string& path, ViewKind kind) {
  std::variant<FileView, SystemError> opened = FileView::open(path.c_str(), kind);
  if (FileView* view = std::get_if<FileView>(&opened)) return std::move(*view);
  return std::nullopt;
}
