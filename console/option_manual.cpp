#include "console/option_manual.h"

#include "console/option_clashes.h"

#include <cctype>
#include <vector>

#include "console/option_help.h"

namespace {

constexpr Verb verbs_in_order[] = {Verb::pack, Verb::unpack, Verb::subtract, Verb::probe, Verb::font};

// The verbs an option belongs to, or none when it belongs to them all.
std::vector<std::string_view> verbs_of(const OptionRow& row) {
  std::vector<std::string_view> verbs;
  for (const Verb verb : verbs_in_order) {
    if (row.for_verb(verb)) verbs.push_back(verb_name(verb));
  }
  if (verbs.size() == std::size(verbs_in_order)) verbs.clear();
  return verbs;
}

// The verbs of `verbs`, "pack, unpack".
std::string verbs_named(VerbSet verbs) {
  std::string names;
  for (const Verb verb : {Verb::pack, Verb::unpack, Verb::subtract, Verb::probe, Verb::font}) {
    if ((verbs & verb_bit(verb)) == 0) continue;
    if (!names.empty()) names += ", ";
    names += verb_name(verb);
  }
  return names;
}

std::string capitalised(std::string text) {
  text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

// The help made a sentence, then the further sentences, then the former names.
std::string prose_of(const OptionRow& row) {
  std::string prose = capitalised(std::string(row.help)) + ".";
  if (!row.more.empty()) {
    prose += ' ';
    prose += row.more;
  }
  // Appended piece by piece: GCC 12 warns falsely on a literal + a string.
  if (const std::string note = former_names_note(row); !note.empty()) {
    prose += ' ';
    prose += capitalised(note);
    prose += '.';
  }
  return prose;
}

// A format's two sentences: its bits and layout, and the options it takes.
std::string bits_and_layout(const FormatInfo& info) {
  std::string sentence = std::to_string(info.bits_per_pixel) + (info.bits_per_pixel == 1 ? " bit" : " bits");
  sentence += " a pixel";
  if (info.alpha_bits != 0 && info.index_bits == 0) sentence += ", with alpha";
  return sentence + ": " + std::string(info.layout) + ".";
}

std::string options_taken(const FormatInfo& info, std::span<const OptionRow> options) {
  std::string taken;
  for (const OptionRow& row : options) {
    if (row.format_option == 0 || (info.options & row.format_option) == 0) continue;
    taken += (taken.empty() ? "" : ", ") + std::string(row.long_name);
  }
  return taken.empty() ? "It takes none of the options that depend on the format." : "It takes " + taken + ".";
}

// Option names and choices are typed as they stand, so their hyphens are minus signs in roff.
std::string roff_literal(std::string_view text) {
  std::string roff;
  for (char c : text) roff += c == '-' ? std::string("\\-") : std::string(1, c);
  return roff;
}

// A line of running text: a word that starts with a hyphen is an option, typed as it stands; other
// hyphens join words. A line must not start with a control character.
std::string roff_prose(std::string_view line) {
  std::string roff = line.starts_with('.') || line.starts_with('\'') ? "\\&" : "";
  bool option_word = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (i == 0 || line[i - 1] == ' ') option_word = c == '-' || (c == '(' && i + 1 < line.size() && line[i + 1] == '-');
    if (c == '\\') {
      roff += "\\e";
    } else if (c == '-' && option_word) {
      roff += "\\-";
    } else {
      roff += c;
    }
  }
  return roff;
}

// Running text in roff: one sentence a line, as roff wants sentences.
std::string roff_sentences(std::string_view prose) {
  std::string roff;
  for (std::size_t start = 0; start < prose.size();) {
    std::size_t end = prose.find(". ", start);
    end = end == std::string::npos ? prose.size() : end + 1;
    roff += roff_prose(prose.substr(start, end - start)) + "\n";
    start = end + 1;
  }
  return roff;
}

// The user guide's layout: a tag from column 2, its paragraph from column 6, wrapped before
// column 96 as --help is.
constexpr std::size_t guide_tag_column = 2;
constexpr std::size_t guide_text_column = 6;
constexpr std::size_t guide_width = 95;

std::string guide_entry(std::string_view tag, std::string_view prose) {
  std::string text(guide_tag_column, ' ');
  text += tag;
  text += '\n';
  text.append(guide_text_column, ' ');
  TextColumn(text, guide_text_column, guide_width).add(prose);
  return text + '\n';
}

}  // namespace

std::string option_manual_entry(const OptionRow& row) {
  std::string names = roff_literal(row.short_name);
  if (!names.empty() && !row.long_name.empty()) names += " \", \" ";
  names += roff_literal(row.long_name);
  std::string roff = ".TP\n";
  if (!row.choices.empty()) {
    roff += ".BR " + names + " \" \"";
    for (std::size_t i = 0; i < row.choices.size(); ++i) {
      // A break point after each bar: a long list of choices is otherwise one word wider than the
      // page, which groff can neither fill nor break.
      roff += i == 0 ? " " : " |\\: ";
      roff += roff_literal(row.choices[i]);
    }
  } else if (!row.value.empty()) {
    roff += ".BI " + names + " \" " + std::string(row.value) + "\"";
  } else {
    roff += (row.short_name.empty() || row.long_name.empty() ? ".B " : ".BR ") + names;
  }
  roff += '\n';
  const std::vector<std::string_view> verbs = verbs_of(row);
  if (!verbs.empty()) {
    roff += ".RB (";
    for (std::size_t i = 0; i < verbs.size(); ++i) roff += (i == 0 ? " " : " \", \" ") + std::string(verbs[i]);
    roff += " )\n";
  }
  return roff + roff_sentences(prose_of(row));
}

std::string option_guide_entry(const OptionRow& row) {
  std::string tag = names_of(row, ", ");
  if (row.takes_value()) {
    // The value, or the choices; a long list of them breaks after a bar, the lines after the first
    // lined up under it.
    tag += ' ';
    std::vector<std::string_view> pieces;
    if (!row.value.empty()) pieces.push_back(row.value);
    pieces.insert(pieces.end(), row.choices.begin(), row.choices.end());
    TextColumn syntax(tag, guide_tag_column + tag.size(), guide_width);
    for (std::size_t i = 0; i < pieces.size(); ++i)
      syntax.add_word(std::string(pieces[i]) + (i + 1 < pieces.size() ? "|" : ""), "");
  }
  std::string prose;
  const std::vector<std::string_view> verbs = verbs_of(row);
  for (std::size_t i = 0; i < verbs.size(); ++i) prose += (i == 0 ? "(" : ", ") + std::string(verbs[i]);
  if (!verbs.empty()) prose += ") ";
  return guide_entry(tag, prose + prose_of(row));
}

std::string format_manual_entry(const FormatInfo& info, std::span<const OptionRow> options) {
  return ".TP\n.B " + roff_literal(info.name) + "\n" + roff_prose(bits_and_layout(info)) + "\n" +
         roff_prose(options_taken(info, options)) + "\n";
}

std::string format_guide_entry(const FormatInfo& info, std::span<const OptionRow> options) {
  return guide_entry(info.name, bits_and_layout(info) + " " + options_taken(info, options));
}

std::string format_markdown_row(const FormatInfo& info, std::span<const OptionRow> options) {
  std::string taken;
  for (const OptionRow& row : options) {
    if (row.format_option == 0 || (info.options & row.format_option) == 0) continue;
    taken += (taken.empty() ? "`" : ", `") + std::string(row.long_name) + "`";
  }
  // A bar inside a cell would end it, so the layout's own bars are escaped.
  std::string layout;
  for (char c : info.layout) layout += c == '|' ? std::string("\\|") : std::string(1, c);
  const std::string alpha = info.alpha_bits != 0 && info.index_bits == 0 ? ", with alpha" : "";
  return "| `" + std::string(info.name) + "` | " + std::to_string(info.bits_per_pixel) + " | " + layout + alpha +
         " | " + (taken.empty() ? "none" : taken) + " |\n";
}

std::string formats_markdown() {
  std::string table = "| format | bits a pixel | layout | options it takes |\n|---|---:|---|---|\n";
  for (const FormatInfo& info : pixel_formats()) table += format_markdown_row(info, option_table());
  return table;
}

std::string options_manual() {
  std::string roff;
  for (const OptionRow& row : option_table()) roff += option_manual_entry(row);
  return roff;
}

std::string formats_manual() {
  std::string roff;
  for (const FormatInfo& info : pixel_formats()) roff += format_manual_entry(info, option_table());
  return roff;
}

std::string options_guide() {
  std::string text;
  for (const OptionRow& row : option_table()) {
    if (!text.empty()) text += '\n';
    text += option_guide_entry(row);
  }
  return text;
}

std::string formats_guide() {
  std::string text;
  for (const FormatInfo& info : pixel_formats()) {
    if (!text.empty()) text += '\n';
    text += format_guide_entry(info, option_table());
  }
  return text;
}

std::string clashes_manual() {
  std::string roff;
  for (const OptionClash& clash : option_clashes()) {
    roff += ".TP\n.B " + roff_literal(clash.first) + " with " + roff_literal(clash.second) + " (" +
            verbs_named(clash.verbs) + ")\n" + roff_sentences(capitalised(std::string(clash.reason)) + ".");
  }
  return roff;
}

std::string clashes_guide() {
  std::string text;
  for (const OptionClash& clash : option_clashes()) {
    if (!text.empty()) text += '\n';
    text += guide_entry(
        std::string(clash.first) + " with " + std::string(clash.second) + " (" + verbs_named(clash.verbs) + ")",
        capitalised(std::string(clash.reason)) + ".");
  }
  return text;
}
