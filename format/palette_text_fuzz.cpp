// Fuzz entry point of the palette readers: any bytes as a GIMP palette file and as a list of
// colours. Whatever they are, each reader gives colours or a reason, never both and never
// neither; colours read are opaque, a GIMP palette's are at least one and a list's are one more than
// its commas. The same entry replays the saved inputs in the normal test suite, where assert() may
// be compiled out: the checks abort by themselves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "format/palette_text.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

void require_opaque(const std::vector<BgraQuad>& colours) {
  for (const BgraQuad& colour : colours) require(colour.alpha == 255);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const PaletteRead gimp = read_gimp_palette(text);
  if (const auto* colours = std::get_if<std::vector<BgraQuad>>(&gimp)) {
    require(!colours->empty());
    require_opaque(*colours);
  } else {
    require(!std::get<std::string>(gimp).empty());
  }
  const PaletteRead list = read_colour_list(text);
  if (const auto* colours = std::get_if<std::vector<BgraQuad>>(&list)) {
    require(colours->size() == static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) + 1);
    require_opaque(*colours);
  } else {
    require(!std::get<std::string>(list).empty());
  }
  return 0;
}
