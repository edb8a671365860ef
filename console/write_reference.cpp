// A build step, not part of rgb565: writes its manual page, or the Windows user guide, from the
// document's template, putting the option list made from the option table in the place of the line
// "@OPTIONS@", the format list from the format table in the place of "@FORMATS@" and the options
// that do not go together from the clash table in the place of "@CLASHES@", so that the
// document describes exactly the options and formats the program accepts. The kinds of picture that
// sentences name come from the table of kinds: "@OWN_READERS@" those read by readers of the
// project's own (but BMP, which the document names first), "@CODEC_READERS@" those read by the
// system's codecs, "@OTHER_PICTURES@" every kind but BMP. The lines put in end as
// the template's lines do (CRLF for the user guide, which Notepad reads). In the markdown mode it
// writes docs/formats.md, whose template has the one line "@FORMATS@", made a Markdown table; that
// page is kept in the source tree, readable on the web, and a test checks it is what this writes.
//
//   rgb565_write_reference man|guide|markdown TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "console/option_manual.h"
#include "read/picture_types.h"

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

// Puts `words` in the place of every `marker` within the lines.
void name_in_place(std::string& text, std::string_view marker, const std::string& words) {
  for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + words.size()))
    text.replace(at, marker.size(), words);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view kind = argc == 4 ? argv[1] : "";
  if (kind != "man" && kind != "guide" && kind != "markdown") {
    std::cerr << "usage: rgb565_write_reference man|guide|markdown TEMPLATE OUTPUT\n";
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
  struct List {
    std::string_view marker;
    std::string lines;
  };
  const std::vector<List> lists = kind == "markdown"
                                      ? std::vector<List>{{"@FORMATS@", formats_markdown()}}
                                      : std::vector<List>{{"@OPTIONS@", man ? options_manual() : options_guide()},
                                                          {"@FORMATS@", man ? formats_manual() : formats_guide()},
                                                          {"@CLASHES@", man ? clashes_manual() : clashes_guide()}};
  for (const List& list : lists) {
    if (!fill(text, list.marker, line_end, list.lines)) {
      std::cerr << "rgb565_write_reference: " << argv[2] << " has no line " << list.marker << "\n";
      return 1;
    }
  }
  name_in_place(
      text, "@OWN_READERS@",
      picture_type_names([](const PictureTypeRow& type) { return type.own_reader && type.type != PictureType::bmp; },
                         "and"));
  name_in_place(text, "@CODEC_READERS@",
                picture_type_names([](const PictureTypeRow& type) { return !type.own_reader; }, "and"));
  name_in_place(text, "@OTHER_PICTURES@",
                picture_type_names([](const PictureTypeRow& type) { return type.type != PictureType::bmp; }));
  std::ofstream out(argv[3], std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "rgb565_write_reference: cannot write " << argv[3] << "\n";
    return 1;
  }
  return 0;
}
