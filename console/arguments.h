// The command line of rgb565: a verb, its paths and its options, read into one value that the
// console front end runs. Parsing knows nothing of files beyond their names, so that any argument
// list can be tried on it alone.
#pragma once

#include <algorithm>

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "console/usage_error.h"
#include "jobs/font.h"
#include "jobs/pack.h"
#include "jobs/subtract.h"
#include "jobs/unpack.h"

enum class Verb { none, pack, unpack, subtract, probe, font };

// The verb as the command line writes it; "rgb565" for none.
std::string_view verb_name(Verb verb);

struct Invocation {
  Verb verb = Verb::none;
  bool help = false;
  bool version = false;
  // pack and unpack: the inputs (one without -d); subtract: the image and the sub image; probe: the
  // dumps.
  std::vector<std::string> inputs;
  // pack and unpack without -d: the output file.
  std::string output;
  // -d: the folder that receives one output per input, named after the input.
  std::string directory;
  // -j: how many files of a batch convert at once; 0 for one per processor.
  unsigned jobs = 0;
  // probe --sheet: the PNG that draws the dump's best readings side by side; empty for none.
  std::string sheet;
  // pack's container as its options ask for it, in any order: --c-array, --c-type bytes and
  // --lvgl; the arguments once read choose pack.container from them.
  bool c_array = false;
  bool c_bytes = false;
  bool lvgl = false;
  // pack's and unpack's row order: the top row first unless --rows says otherwise, where the
  // dialogs keep a BMP's order.
  RowOrder rows = RowOrder::top_down;
  // The verb's options; only the verb's own are used.
  PackOptions pack;
  UnpackOptions unpack;
  SubtractOptions subtract;
  FontOptions font;
  // The long names of the options given, so that those that mean nothing for the format chosen are
  // refused whatever order they came in.
  std::vector<std::string_view> given;

  // Whether the option of this long name was given, under any of its names: the one way to know it.
  bool was_given(std::string_view long_name) const {
    return std::find(given.begin(), given.end(), long_name) != given.end();
  }
};

// `arguments` without the program's name.
std::variant<Invocation, UsageError> parse_arguments(std::span<const std::string_view> arguments);

// The --help text; for a verb, with the layout of one word under the options given.
std::string help_text(const Invocation& invocation);

// How one word and its two bytes are laid out under `format`.
std::string word_layout(const WordFormat& format);
