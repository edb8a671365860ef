#include "console/option_help.h"

namespace {

constexpr std::size_t help_column = 28;
constexpr std::size_t help_width = 95;

void append_option_help(std::string& text, const OptionRow& row, std::string_view prefix) {
  std::string label = "  ";
  label += names_of(row, ", ");
  if (row.takes_value()) {
    label += ' ';
    label += syntax_of(row);
  }
  text += label;
  // Names that reach the help's column leave it a line of its own.
  if (label.size() + 2 > help_column) {
    text += '\n';
    label.clear();
  }
  text.append(help_column - label.size(), ' ');
  TextColumn column(text, help_column, help_width);
  column.add(prefix);
  std::string help(row.help);
  if (const std::string note = former_names_note(row); !note.empty()) {
    help += "; ";
    help += note;
  }
  column.add(help);
  text += '\n';
}

}  // namespace

void TextColumn::add(std::string_view words) {
  while (!words.empty()) {
    const std::size_t space = words.find(' ');
    add_word(words.substr(0, space), " ");
    words = space == std::string_view::npos ? std::string_view() : words.substr(space + 1);
  }
}

void TextColumn::add_word(std::string_view word, std::string_view space) {
  if (!line_start_ && column_ + space.size() + word.size() > width_) {
    text_ += '\n';
    text_.append(indent_, ' ');
    column_ = indent_;
    line_start_ = true;
  }
  if (!line_start_) {
    text_ += space;
    column_ += space.size();
  }
  text_ += word;
  column_ += word.size();
  line_start_ = false;
}

std::string names_of(const OptionRow& row, std::string_view separator) {
  std::string names(row.short_name);
  if (!names.empty() && !row.long_name.empty()) names += separator;
  return names += row.long_name;
}

std::string syntax_of(const OptionRow& row) {
  std::string syntax(row.value);
  for (std::string_view choice : row.choices) {
    if (!syntax.empty()) syntax += '|';
    syntax += choice;
  }
  return syntax;
}

std::string option_help(const OptionRow& row, std::string_view prefix) {
  std::string text;
  append_option_help(text, row, prefix);
  return text;
}

std::string options_help() {
  const auto for_subtract = [](const OptionRow& row) { return row.for_verb(Verb::subtract); };
  const auto converts = [](const OptionRow& row) { return row.for_verb(Verb::pack) || row.for_verb(Verb::unpack); };
  std::string text = "Options of pack and unpack; each default but --rows is what the dialogs do:\n";
  for (const OptionRow& row : option_table()) {
    if (!converts(row) || for_subtract(row)) continue;
    // An option of one of the two verbs says which.
    std::string_view prefix;
    if (!row.for_verb(Verb::unpack)) prefix = "pack:";
    if (!row.for_verb(Verb::pack)) prefix = "unpack:";
    append_option_help(text, row, prefix);
  }
  text +=
      "The same options given to unpack undo pack (but for the low bits that packing drops); both take the\n"
      "top row first unless --rows says otherwise. The dialogs keep a BMP's order: unpack what Kestrin or\n"
      "Vaskel wrote with --rows stored.\n\nOptions of subtract:\n";
  for (const OptionRow& row : option_table()) {
    if (for_subtract(row) && !converts(row)) append_option_help(text, row, {});
  }
  text += "\nOptions of font:\n";
  for (const OptionRow& row : option_table()) {
    if (row.for_verb(Verb::font) && !converts(row) && !for_subtract(row)) append_option_help(text, row, {});
  }
  text += "\nOptions of every verb:\n";
  for (const OptionRow& row : option_table()) {
    if (for_subtract(row) && converts(row)) append_option_help(text, row, {});
  }
  return text;
}

std::string verb_options_help(Verb verb) {
  std::string text = "Options:\n";
  for (const OptionRow& row : option_table()) {
    if (row.for_verb(verb)) append_option_help(text, row, {});
  }
  return text;
}
