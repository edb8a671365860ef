#include "files/output_file.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>

namespace {

// splitmix64's finaliser: nearby seeds give unrelated names.
std::uint64_t mixed(std::uint64_t value) {
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9u;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBu;
  return value ^ (value >> 31);
}

constexpr std::size_t random_length = 8;
constexpr char random_alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
// Says what the file is to someone who finds it, and sets the new files apart from a user's own.
constexpr std::string_view marker = "saving-";

// The part of every full temporary name for `name` before its random letters; nullopt when `budget`
// leaves room for the letters alone.
std::optional<std::string> temporary_prefix(std::string_view name, std::size_t budget) {
  const std::size_t fixed = 2 + marker.size() + random_length;
  if (budget < fixed) return std::nullopt;
  // Appended one by one: GCC 12 warns falsely (-Wrestrict) on "." + std::string.
  std::string prefix(1, '.');
  prefix.append(name.substr(0, std::min(name.size(), budget - fixed))).append(1, '.').append(marker);
  return prefix;
}

}  // namespace

std::string temporary_name(std::string_view name, std::size_t budget, std::uint64_t seed) {
  std::string random;
  std::uint64_t bits = mixed(seed);
  for (std::size_t i = 0; i < random_length; ++i) {
    random += random_alphabet[bits % 36];
    bits /= 36;
  }
  // The dots, the marker and the random letters come first; the target's name is cut to what is
  // left, and a budget too small even for them leaves the random letters alone.
  const std::optional<std::string> prefix = temporary_prefix(name, budget);
  if (!prefix) return random.substr(0, std::max<std::size_t>(budget, 1));
  return *prefix + random;
}

bool is_temporary_name_of(std::string_view candidate, std::string_view name, std::size_t budget) {
  const std::optional<std::string> prefix = temporary_prefix(name, budget);
  if (!prefix || candidate.size() != prefix->size() + random_length || !candidate.starts_with(*prefix)) return false;
  return candidate.substr(prefix->size()).find_first_not_of(random_alphabet) == std::string_view::npos;
}

std::vector<std::string> take_leftovers_of(const std::string& folder, std::string_view name, std::size_t budget,
                                           const std::function<std::vector<std::string>()>& list) {
  static std::mutex mutex;
  static std::map<std::string, std::vector<std::string>> listed;
  const std::lock_guard lock(mutex);
  auto [at, first] = listed.try_emplace(folder);
  if (first) at->second = list();
  std::vector<std::string>& names = at->second;
  const auto theirs = std::stable_partition(names.begin(), names.end(), [&](const std::string& candidate) {
    return !is_temporary_name_of(candidate, name, budget);
  });
  std::vector<std::string> taken(std::make_move_iterator(theirs), std::make_move_iterator(names.end()));
  names.erase(theirs, names.end());
  return taken;
}

std::string describe_output_error(const SystemError& error, const char* path) {
  if (error.kind != FileFault::folder_not_writable) return describe(error);
  const std::string folder = output_folder(path);
  return (folder.empty() ? std::string("The current folder") : "The folder " + folder) +
         " needs write permission to save a new file in it";
}

std::uint64_t temporary_seed() {
  // The counter tells apart the outputs of one process, however close in time; the clock and the
  // address, placed anew in each process, tell processes apart. A name that is taken all the same
  // is only tried again.
  static std::atomic<std::uint64_t> counter{0};
  const auto now = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&counter));
  return mixed(counter.fetch_add(1) + 0x9E3779B97F4A7C15u) ^ now ^ (address << 16);
}

std::optional<SystemError> OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (!failure_) failure_ = append(bytes);
  return failure_;
}

std::optional<SystemError> OutputFile::commit() {
  if (!failure_) failure_ = replace();
  return failure_;
}

std::optional<SystemError> save_output_file(const char* path,
                                            std::initializer_list<std::span<const std::uint8_t>> pieces) {
  std::variant<OutputFile, SystemError> created = OutputFile::create(path);
  OutputFile* file = std::get_if<OutputFile>(&created);
  if (file == nullptr) return std::get<SystemError>(created);
  // After a failed write the commit fails too, and the new file goes with `created`.
  for (std::span<const std::uint8_t> piece : pieces) file->write(piece);
  return file->commit();
}

bool names_png(std::string_view path) {
  constexpr std::string_view suffix = ".png";
  if (path.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), path.end() - suffix.size(),
                    [](char s, char c) { return s == std::tolower(static_cast<unsigned char>(c)); });
}
