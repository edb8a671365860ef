// Fuzz entry point of rgb565's argument parsing: the input is an argument list, one argument per
// NUL-separated piece. Whatever the arguments, parsing gives a usage error or an invocation that
// the console can run as it is: a verb with the paths it needs, a frame size whose BMP fits, a C
// identifier for --c-array. The help text is made for every invocation too. The same entry replays
// the saved inputs in the normal test suite: the checks abort by themselves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "console/arguments.h"
#include "containers/bmp_output.h"
#include "containers/c_array.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> arguments;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    arguments.push_back(std::string_view(text).substr(start, end - start));
    start = end + 1;
  }
  const auto parsed = parse_arguments(arguments);
  if (const auto* error = std::get_if<UsageError>(&parsed)) {
    require(!error->message.empty());
    return 0;
  }
  const Invocation& invocation = std::get<Invocation>(parsed);
  require(!help_text(invocation).empty());
  if (invocation.help || invocation.version) return 0;
  for (const std::string& path : invocation.inputs) require(!path.empty());
  switch (invocation.verb) {
    case Verb::subtract:
      require(invocation.inputs.size() == 2 && invocation.directory.empty());
      break;
    case Verb::pack:
    case Verb::unpack:
      require(invocation.directory.empty() ? invocation.inputs.size() == 1 && !invocation.output.empty()
                                           : !invocation.inputs.empty());
      break;
    case Verb::probe:
      require(!invocation.inputs.empty() && invocation.output.empty());
      break;
    case Verb::font:
      require(invocation.inputs.size() == 1 && !invocation.output.empty() && invocation.font.size_px > 0);
      break;
    case Verb::none:
      require(false);
  }
  const UnpackOptions& unpack = invocation.unpack;
  require((unpack.width == 0) == (unpack.height == 0));
  if (unpack.width != 0) require(bmp_output(unpack.width, unpack.height).has_value());
  if (is_c_source(invocation.pack.container) && invocation.directory.empty())
    require(is_c_identifier(invocation.pack.c_array));
  require(invocation.jobs <= 256);
  return 0;
}
