// The options that cannot go together, one row each: the two sides (an option, or an option with
// its value, or what a path asks for) and the refusal's words. The refusal, --help and the manual
// are all made from the table, so that a rule is written once.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "console/arguments.h"
#include "console/option_table.h"

struct OptionClash {
  VerbSet verbs;
  std::string_view first;
  std::string_view second;
  // Whether the invocation, once every argument is read, has both sides.
  bool (*meets)(const Invocation& invocation);
  std::string_view reason;
};

std::span<const OptionClash> option_clashes();

// The refusal of the first row whose sides the invocation has both of, for its verb.
std::optional<UsageError> first_clash(const Invocation& invocation);

// "Refused together (a usage error):" and the reason of each row of `verb`, a line each; empty when
// it has none.
std::string clashes_help(Verb verb);
