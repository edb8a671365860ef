// The version that project() in CMakeLists.txt sets, as CMake hands it to each test through the
// compile definition TOOL_TEST_VERSION (cmake/testing.cmake). The programs take theirs from the
// generated programs/version.h and the packaging files, apart from this one, so a test comparing
// what a program shows with it catches a version that went wrong on its way into the program.
#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#ifndef TOOL_TEST_VERSION
#error "TOOL_TEST_VERSION comes from cmake/testing.cmake: make the test with add_tool_test or tool_test_version"
#endif

struct ProjectVersion {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned patch = 0;
  std::string text;  // "1.0.0"
  std::string major_minor() const { return std::to_string(major) + "." + std::to_string(minor); }
};

// The version, or nothing when it is not three numbers joined by dots.
inline std::optional<ProjectVersion> project_version() {
  ProjectVersion version{.text = TOOL_TEST_VERSION};
  std::string_view rest = version.text;
  for (unsigned* number : {&version.major, &version.minor, &version.patch}) {
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), *number);
    if (error != std::errc{}) return std::nullopt;
    rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
    if (number != &version.patch) {
      if (!rest.starts_with('.')) return std::nullopt;
      rest.remove_prefix(1);
    }
  }
  if (!rest.empty()) return std::nullopt;
  return version;
}
