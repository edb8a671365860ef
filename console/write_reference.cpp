// A build step, not part of rgb565: writes its manual page, or the Windows user guide, from the
// document's template, putting the option list made from the option table in the place of the line
// "@OPTIONS@", the format list from the format table in the place of "@FORMATS@" and the options
// that do not go together from the clash table in the place of "@CLASHES@", so that the
// document describes exactly the options and formats the program accepts. The lines put in end as
// the template's lines do (CRLF for the user guide, which Notepad reads).
//
//   rgb565_write_reference man|guide TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "console/option_manual.h"

namespace {

// Puts `lines` in the place of the template's line `marker`; false when it has no such line.
bool fill(std::string& text, std::string_view marker, std::string_view line_end, const std::string& lines) {
  const std::string line = std::string(line_end) + std::string(marker) + std::string(line_end);
  const std::size_t at = text.find(line);
  if (at == std::string::npos) return false;
  std::string ended;
  for (char c : lines) {
    if (c == '\n') {
      ended += line_end;
    } else {
      ended += c;
    }
  }
  text.replace(at + line_end.size(), line.size() - line_end.size(), ended);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view kind = argc == 4 ? argv[1] : "";
  if (kind != "man" && kind != "guide") {
    std::cerr << "usage: rgb565_write_reference man|guide TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[2], std::ios::binary);
  std::stringstream page;
  page << in.rdbuf();
  if (!in) {
    std::cerr << "rgb565_write_reference: cannot read " << argv[2] << "\n";
    return 1;
  }
  std::string text = page.str();
  const std::string_view line_end = text.find("\r\n") == std::string::npos ? "\n" : "\r\n";
  const bool man = kind == "man";
  const struct {
    std::string_view marker;
    std::string lines;
  } lists[] = {{"@OPTIONS@", man ? options_manual() : options_guide()},
               {"@FORMATS@", man ? formats_manual() : formats_guide()},
               {"@CLASHES@", man ? clashes_manual() : clashes_guide()}};
  for (const auto& list : lists) {
    if (!fill(text, list.marker, line_end, list.lines)) {
      std::cerr << "rgb565_write_reference: " << argv[2] << " has no line " << list.marker << "\n";
      return 1;
    }
  }
  std::ofstream out(argv[3], std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "rgb565_write_reference: cannot write " << argv[3] << "\n";
    return 1;
  }
  return 0;
}
