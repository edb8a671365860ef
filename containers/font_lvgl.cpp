#include "containers/font_lvgl.h"

std::variant<std::string, Failure> lvgl_font_source(const GlyphSet&, std::string_view, std::string_view) {
  return Failure{Fault::unsupported, "LVGL fonts are not written yet"};
}
