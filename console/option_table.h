// The options of rgb565, one row each. The parser, --help (option_help.h), and the manual page and
// the Windows user guide (option_manual.h) all read this one table, so that an option's names, the
// verbs it belongs to, its values and its help are written once and cannot disagree between what
// the program accepts and what it documents. The values' readers are in option_values.h.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "console/arguments.h"

// The verbs an option belongs to, one bit per Verb; Verb::none is a command line without a verb.
using VerbSet = unsigned;

constexpr VerbSet verb_bit(Verb verb) { return 1u << static_cast<unsigned>(verb); }

// A name that an option or a choice had before it was renamed, and the name it has now. The old
// name is taken as the new one, without a word on standard error (scripts read it), until the next
// major version; the help and the manual mention it once, and no list of choices shows it.
struct FormerName {
  std::string_view old_name;
  std::string_view new_name;
};

struct OptionRow {
  // "--rows"; empty when the option has a short name only.
  std::string_view long_name = {};
  // "-d"; empty when the option has a long name only.
  std::string_view short_name = {};
  VerbSet verbs = 0;
  // What the help writes after the name for a value that is not a choice ("RRGGBB", "WxH").
  std::string_view value = {};
  // The names a choice accepts, in the order the help lists them; empty for other options.
  std::span<const std::string_view> choices = {};
  // The long name the option had before (font's --size for --px), taken as the long name.
  std::string_view former_name = {};
  // Choices renamed, taken as the choices they now are but never listed among them.
  std::span<const FormerName> former_choices = {};
  // One line for --help, lower case and without a full stop; the manual page and the user guide
  // start with it too.
  std::string_view help = {};
  // Further sentences that only the manual page and the user guide have room for.
  std::string_view more = {};
  // Applies the value given after `name` (empty for an option without a value) to the invocation:
  // the usage error that says why the value was not taken, or nothing when it was.
  std::optional<UsageError> (*apply)(Invocation& invocation, std::string_view name, std::string_view value) = nullptr;
  // The format_option bit (pixel_format.h) of an option that only some pixel formats take; 0 for
  // an option that every format takes.
  unsigned format_option = 0;

  bool takes_value() const { return !value.empty() || !choices.empty(); }
  bool named(std::string_view name) const {
    return !name.empty() && (name == long_name || name == short_name || name == former_name);
  }
  bool for_verb(Verb verb) const { return (verbs & verb_bit(verb)) != 0; }
};

// Every option, in the order --help and the manual page list them.
std::span<const OptionRow> option_table();

// The row that has `name` as its long, short or former name, or null. Rows of one name belong to
// verbs apart (unpack's --size is not font's former --size): the row of `verb`, or without one the
// first of that name.
const OptionRow* find_option(std::string_view name, Verb verb = Verb::none);

// The former names of a row, said once where the row is documented: "formerly --size, accepted
// until 2.0", or "formerly auto for exif and stored for ignore, ..."; empty for a row without any.
std::string former_names_note(const OptionRow& row);
