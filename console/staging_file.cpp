#include "console/staging_file.h"

#include <cstdint>
#include <random>
#include <string>
#include <utility>

std::string staging_name() {
  std::random_device random;
  const std::uint64_t tag = std::uint64_t{random()} << 32 | random();
  std::string name = "rgb565-";
  for (int shift = 60; shift >= 0; shift -= 4) name += "0123456789abcdef"[tag >> shift & 0xF];
  return name;
}

StagingFile::StagingFile(StagingFile&& other) noexcept
    : folder_(std::exchange(other.folder_, {})),
      folder_entry_(std::move(other.folder_entry_)),
      path_(std::exchange(other.path_, {})),
      file_entry_(std::move(other.file_entry_)),
      keep_(std::move(other.keep_)),
      writer_(std::move(other.writer_)) {}
