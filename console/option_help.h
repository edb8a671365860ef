// rgb565 --help's lists of options, laid out from the option table: each option's names and value
// from column 2, its help from column 28, wrapped before column 96. The user guide's plain text is
// set with the same pieces (option_manual.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "console/option_table.h"

// The --help lines of the options of pack and unpack, of subtract, and of every verb, each block
// with its heading.
std::string options_help();

// The --help lines of the options `verb` takes, in the table's order, under the heading "Options:".
std::string verb_options_help(Verb verb);

// One option's --help lines: its names and value, then `prefix` (such as "pack:") and its help.
std::string option_help(const OptionRow& row, std::string_view prefix = {});

// The names as a user writes them, short name first, joined by `separator`: "-h, --help".
std::string names_of(const OptionRow& row, std::string_view separator);

// What a user writes after the names: the value ("RRGGBB"), or the choices joined by bars.
std::string syntax_of(const OptionRow& row);

// Words set in a column of plain text. The text's last line already reaches `indent`; every line
// after it starts with `indent` spaces, and a word that would take a line past `width` starts a new
// one, unless it is the first word of its line.
class TextColumn {
 public:
  TextColumn(std::string& text, std::size_t indent, std::size_t width) : text_(text), indent_(indent), width_(width) {}

  // Words separated by single spaces.
  void add(std::string_view words);
  // One word, after `space` unless it starts a line.
  void add_word(std::string_view word, std::string_view space);

 private:
  std::string& text_;
  std::size_t indent_;
  std::size_t width_;
  std::size_t column_ = indent_;
  bool line_start_ = true;
};
