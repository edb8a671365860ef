// rgb565 run in-process as a user runs it: the arguments without the program's name, what it reads
// on standard input, and what it wrote to its two streams with its exit code.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "testing/test_files.h"

struct Rgb565Run {
  int code;
  std::string out;
  std::string err;
};

inline Rgb565Run rgb565(const std::vector<std::string>& arguments, const Bytes& standard_input = {}) {
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in(std::string(standard_input.begin(), standard_input.end()));
  const std::vector<std::string_view> views(arguments.begin(), arguments.end());
  const int code = run_rgb565(views, {out, err, false, &in});
  return {code, out.str(), err.str()};
}
