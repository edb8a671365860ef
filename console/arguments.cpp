#include "console/arguments.h"

#include <algorithm>
#include <optional>

#include "console/option_clashes.h"
#include "console/option_help.h"
#include "console/option_table.h"
#include "console/standard_streams.h"
#include "containers/c_array.h"
#include "containers/pack_container.h"
#include "files/output_file.h"
#include "read/picture_types.h"

namespace {

using Result = std::variant<Invocation, UsageError>;

// Refuses the options given that mean nothing for the format chosen, so that a user never learns
// from a wrong picture that an option was ignored.
std::optional<UsageError> check_format_options(Invocation& invocation) {
  const bool packing = invocation.verb == Verb::pack;
  const FormatInfo& info = format_info(packing ? invocation.pack.pixel_format : invocation.unpack.pixel_format);
  const std::string format = "--format " + std::string(info.name);
  for (std::string_view name : invocation.given) {
    const OptionRow* row = find_option(name, invocation.verb);
    if (row != nullptr && row->format_option != 0 && (info.options & row->format_option) == 0)
      return UsageError{std::string(name) + " does not apply to " + format};
  }
  if (!packing) return std::nullopt;
  PackOptions& pack = invocation.pack;
  if (!pack.palette.empty()) {
    const std::size_t entries = std::size_t{1} << info.index_bits;
    if (pack.palette.size() > entries)
      return UsageError{"--palette has " + std::to_string(pack.palette.size()) + " colours; " + format + " holds " +
                        std::to_string(entries)};
  }
  const bool c_type_given = invocation.was_given("--c-type");
  if (invocation.was_given("--key") && pack.alpha_threshold == 0) pack.alpha_threshold = 128;
  // LVGL's rows are the top row first (a clash refused any other order with it).
  pack.rows = invocation.lvgl ? RowOrder::top_down : invocation.rows;
  // RGB565 is written as words unless bytes are asked for; every other format as bytes, unless
  // words are asked for, which the container then refuses.
  const bool words = !invocation.c_bytes && (info.format == PixelFormat::rgb565 || c_type_given);
  pack.container = invocation.lvgl       ? (invocation.c_array ? ContainerKind::lvgl_c : ContainerKind::lvgl_bin)
                   : !invocation.c_array ? ContainerKind::raw
                   : words               ? ContainerKind::c_words
                                         : ContainerKind::c_bytes;
  FormatSettings settings;
  settings.format = info.format;
  settings.word = pack.format;
  if (std::optional<std::string> refused = container_refuses_format(pack.container, settings))
    return UsageError{std::move(*refused)};
  return std::nullopt;
}

// font's paths and the output they and the options choose: LVGL's source, the proof sheet for a
// .png, else the C header.
Result finish_font(Invocation invocation) {
  FontOptions& font = invocation.font;
  std::vector<std::string>& paths = invocation.inputs;
  if (paths.size() != 2) return UsageError{"font takes FONT and OUT"};
  if (paths[0] == standard_stream) return UsageError{"font reads FONT from a file, not '-' (standard input)"};
  if (font.size_px == 0) return UsageError{"font needs --px PX, the em size in pixels"};
  if (std::optional<UsageError> clash = first_clash(invocation)) return *clash;
  invocation.output = paths[1];
  paths.pop_back();
  if (names_png(invocation.output)) {
    font.output = FontOutput::sheet;
    return invocation;
  }
  // Without --c-array the console names the symbols after OUT's stem.
  if (!invocation.c_array) return invocation;
  if (!is_c_identifier(font.c_array))
    return UsageError{"--c-array needs a C identifier that is not a keyword, not '" + font.c_array + "'"};
  return invocation;
}

// Checks the paths once every argument is read.
Result finish(Invocation invocation) {
  if (invocation.help || invocation.version) return invocation;
  std::vector<std::string>& paths = invocation.inputs;
  for (const std::string& path : paths) {
    if (path.empty()) return UsageError{"an empty path"};
  }
  const std::string verb(verb_name(invocation.verb));
  const bool standard = std::find(paths.begin(), paths.end(), standard_stream) != paths.end();
  if (invocation.verb == Verb::probe) {
    if (paths.empty()) return UsageError{"probe takes one or more dumps"};
    if (standard) return UsageError{"probe takes files; '-' (standard input) goes with pack and unpack"};
    return invocation;
  }
  if (invocation.verb == Verb::font) return finish_font(std::move(invocation));
  if (invocation.verb == Verb::unpack) {
    UnpackOptions& unpack = invocation.unpack;
    unpack.top_down = invocation.rows == RowOrder::top_down;
    // A format guessed needs its size guessed too, unless the size is given.
    if (unpack.guess_format && unpack.width == 0) unpack.guess_size = true;
    unpack.guess_bytes = (unpack.guess_size || unpack.guess_format) && !invocation.was_given("--bytes");
  }
  if (invocation.verb == Verb::subtract) {
    if (paths.size() != 2) return UsageError{"subtract takes IMAGE and SUB"};
    // Subtraction changes IMAGE where it lies, and reads SUB beside it: both are files.
    if (standard || invocation.subtract.output == standard_stream)
      return UsageError{"subtract takes files; '-' (standard input or output) goes with pack and unpack"};
    const std::string& output = invocation.subtract.output;
    if (!output.empty() && (output == paths[0] || output == paths[1]))
      return UsageError{"-o names IMAGE or SUB; the difference goes to a new file"};
    return invocation;
  }
  if (!invocation.directory.empty() && paths.empty()) return UsageError{verb + " -d DIR takes one or more inputs"};
  if (std::optional<UsageError> clash = first_clash(invocation)) return *clash;
  // Without --size the size is guessed, never a frame assumed: a dump that is not 568 x 130 came out
  // as a wrong picture with exit status 0. After the clashes, which are --size auto's.
  if (invocation.verb == Verb::unpack && invocation.unpack.width == 0 && !invocation.unpack.guess_size) {
    invocation.unpack.guess_size = invocation.unpack.size_implied = true;
    invocation.unpack.guess_bytes = !invocation.was_given("--bytes");
  }
  if (std::optional<UsageError> misfit = check_format_options(invocation)) return *misfit;
  const PackOptions& pack = invocation.pack;
  if (!invocation.directory.empty()) {
    // In a batch the array's name comes from each input's stem, NAME (if given) before it.
    if (is_c_source(pack.container) && !pack.c_array.empty() && !is_c_identifier(pack.c_array + "_"))
      return UsageError{"--c-array needs a C identifier, not '" + pack.c_array + "'"};
    return invocation;
  }
  if (is_c_source(pack.container) && !is_c_identifier(pack.c_array))
    return UsageError{"--c-array needs a C identifier that is not a keyword, not '" + pack.c_array + "'"};
  if (paths.size() != 2) return UsageError{verb + " takes IN and OUT, or -d DIR and inputs"};
  invocation.output = paths[1];
  paths.pop_back();
  return invocation;
}

}  // namespace

std::string_view verb_name(Verb verb) {
  switch (verb) {
    case Verb::pack:
      return "pack";
    case Verb::unpack:
      return "unpack";
    case Verb::subtract:
      return "subtract";
    case Verb::probe:
      return "probe";
    case Verb::font:
      return "font";
    case Verb::none:
      break;
  }
  return "rgb565";
}

namespace {

// The arguments with the verb first: options may come before it ("rgb565 --bytes be pack ..."). The
// verb is the first argument that is neither an option nor an option's value.
std::vector<std::string_view> verb_first(std::span<const std::string_view> arguments) {
  std::vector<std::string_view> ordered(arguments.begin(), arguments.end());
  for (std::size_t at = 0; at < ordered.size(); ++at) {
    const std::string_view argument = ordered[at];
    if (argument == "--" || argument.empty() || argument[0] != '-' || argument == "-") {
      if (argument != "--" && at != 0) {
        ordered.erase(ordered.begin() + static_cast<std::ptrdiff_t>(at));
        ordered.insert(ordered.begin(), argument);
      }
      break;
    }
    // A long option's separate value is skipped with it; an inline one (--name=value) is part of it.
    const OptionRow* row = find_option(argument);
    if (row != nullptr && row->takes_value() && argument.starts_with("--")) ++at;
    if (row != nullptr && row->takes_value() && argument.size() == 2) ++at;
  }
  return ordered;
}

}  // namespace

std::variant<Invocation, UsageError> parse_arguments(std::span<const std::string_view> given) {
  const std::vector<std::string_view> arguments = verb_first(given);
  Invocation invocation;
  std::size_t at = 0;
  if (at < arguments.size()) {
    const std::string_view first = arguments[at];
    if (first == "pack") invocation.verb = Verb::pack;
    if (first == "unpack") invocation.verb = Verb::unpack;
    if (first == "subtract") invocation.verb = Verb::subtract;
    if (first == "probe") invocation.verb = Verb::probe;
    if (first == "font") invocation.verb = Verb::font;
    // Only the command line reads and writes pictures through the system's codecs.
    invocation.pack.switches.codecs = invocation.unpack.switches.codecs = true;
    invocation.unpack.refuse_pictures = true;
    invocation.unpack.lvgl_header = true;
    // The console refuses an output that is its input, so pack and unpack may keep their input open
    // while they write, a band at a time.
    invocation.pack.switches.stream = invocation.unpack.switches.stream = true;
    invocation.subtract.refuse_longer_sub = true;
    if (invocation.verb != Verb::none) ++at;
  }
  bool options_end = false;
  for (; at < arguments.size(); ++at) {
    const std::string_view argument = arguments[at];
    if (options_end || argument.empty() || argument[0] != '-' || argument == "-") {
      if (invocation.verb == Verb::none) return UsageError{"unknown verb '" + std::string(argument) + "'"};
      invocation.inputs.emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      options_end = true;
      continue;
    }
    // --name=value or --name value; short options take the next argument or what follows them.
    std::string_view name = argument;
    std::optional<std::string_view> value;
    if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
    } else if (!argument.starts_with("--") && argument.size() > 2) {
      name = argument.substr(0, 2);
      value = argument.substr(2);
    }
    const OptionRow* row = find_option(name, invocation.verb);
    // --help and --version stand alone, with or without a verb.
    if (row != nullptr && !row->takes_value() && !value && row->for_verb(invocation.verb)) {
      row->apply(invocation, name, {});
      invocation.given.push_back(row->long_name);
      continue;
    }
    if (row != nullptr && !row->takes_value() && !value && invocation.verb != Verb::none)
      return UsageError{"unknown option '" + std::string(name) + "' for " + std::string(verb_name(invocation.verb))};
    if (invocation.verb == Verb::none || row == nullptr || !row->takes_value())
      return UsageError{"unknown option '" + std::string(name) + "'"};
    if (!value) {
      if (at + 1 >= arguments.size()) return UsageError{std::string(name) + " needs a value"};
      value = arguments[++at];
    }
    if (!row->for_verb(invocation.verb))
      return UsageError{"unknown option '" + std::string(name) + "' for " + std::string(verb_name(invocation.verb))};
    if (std::optional<UsageError> error = row->apply(invocation, name, *value)) return *error;
    invocation.given.push_back(row->long_name);
  }
  if (invocation.verb == Verb::none && !invocation.help && !invocation.version) return UsageError{"no verb given"};
  return finish(std::move(invocation));
}

std::string word_layout(const WordFormat& format) {
  const bool rgb = format.channels == ChannelOrder::rgb;
  const std::string high = rgb ? "RRRRRGGG" : "BBBBBGGG";
  const std::string low = rgb ? "GGGBBBBB" : "GGGRRRRR";
  const bool low_first = format.bytes == ByteOrder::low_first;
  return std::string("One word, bit 15 first: ") + high + " " + low + " (" + (rgb ? "RGB565" : "BGR565") +
         ")\nIn the file: byte 0 = " + (low_first ? low : high) + ", byte 1 = " + (low_first ? high : low) + " (" +
         (low_first ? "low" : "high") + " byte first)\n";
}

namespace {

// What --help after a verb says of it, besides its options.
struct VerbHelp {
  Verb verb;
  const char* usage;
  const char* examples;
};

constexpr VerbHelp verb_helps[] = {
    {Verb::pack,
     "usage: rgb565 pack IN OUT.bin [options]\n"
     "       rgb565 pack -d DIR IN... [options]\n"
     "\n"
     "Kestrin's conversion of a BMP, or of a @PICTURES@, into a raw RGB565\n"
     "image, or into a C header with --c-array. IN - reads the picture from standard input, OUT -\n"
     "writes the raw image to standard output; messages go to standard error.\n",
     "  rgb565 pack logo.bmp logo.bin\n"
     "  rgb565 pack --dither diffusion --background FFFFFF photo.png photo.bin\n"
     "  rgb565 pack --resize 320x240 --fit cover --dither diffusion photo.jpg photo.bin\n"
     "  rgb565 pack --crop 400x300+120+40 --rotate 90 --resize 240x320 photo.jpg panel.bin\n"
     "  rgb565 pack --bytes be --c-array logo logo.bmp logo.h\n"
     "  rgb565 pack logo.png - | gzip > logo.bin.gz\n"},
    {Verb::unpack,
     "usage: rgb565 unpack IN.bin OUT.bmp [options]\n"
     "       rgb565 unpack -d DIR IN.bin... [options]\n"
     "\n"
     "Talvose's conversion of a raw image back into a 24-bit BMP, or into an 8-bit PNG when OUT ends\n"
     "in .png. IN - reads the raw image from standard input, OUT - writes the BMP to standard output.\n"
     "Without --size the size (and byte order) is guessed as --size auto guesses it, and an input that\n"
     "does not clearly read at one size is refused, naming the likeliest; an LVGL image's header gives\n"
     "its own. --size 568x130 is Talvose's frame.\n",
     "  rgb565 unpack --size 320x240 photo.bin preview.png\n"
     "  rgb565 unpack dump.bin preview.png\n"
     "  rgb565 unpack --rows stored --size 568x130 kestrin.bin kestrin.bmp\n"
     "  rgb565 unpack --size 320x240 -d previews frames/*.bin\n"
     "  rgb565 unpack --size 320x240 - frame.bmp < /dev/fb1\n"},
    {Verb::probe,
     "usage: rgb565 probe DUMP... [options]\n"
     "\n"
     "Guesses a raw dump's width and height, pixel format and byte order from its content, and lists\n"
     "the likeliest layouts, best first, each with how sure the guess is and the unpack command that\n"
     "shows it. Red and blue, and which row is the top, cannot be told from the content.\n",
     "  rgb565 probe dump.bin\n"
     "  rgb565 probe --bytes be capture.raw\n"},
    {Verb::font,
     "usage: rgb565 font FONT OUT --px PX [options]\n"
     "\n"
     "A TrueType font's glyphs rasterised at an em size of PX pixels into bitmap glyphs for a panel: a C\n"
     "header for any display library, C source declaring an LVGL 9 font with --lvgl, or a PNG proof sheet\n"
     "of the glyphs when OUT ends in .png. OUT - writes the header or source to standard output.\n",
     "  rgb565 font --px 16 DejaVuSans.ttf label_16.h\n"
     "  rgb565 font --px 64 --chars 0123456789: --bpp 4 DejaVuSans.ttf digits_64.h\n"
     "  rgb565 font --px 24 --range 0x20-0x7E --range U+00B0 --lvgl --kerning DejaVuSans.ttf ui_24.c\n"
     "  rgb565 font --px 64 --chars 0123456789: DejaVuSans.ttf digits_64.png\n"},
    {Verb::subtract,
     "usage: rgb565 subtract IMAGE SUB [-o OUT] [options]\n"
     "\n"
     "Orvane's subtraction: SUB subtracted from IMAGE word by word, in IMAGE itself unless -o names\n"
     "a new file. IMAGE, SUB and OUT are files: '-' does not stand for them.\n",
     "  rgb565 subtract frame.bin background.bin\n"
     "  rgb565 subtract frame.bin background.bin -o difference.bin\n"},
};

constexpr char exit_status_help[] =
    "Exit status: 0 when everything converted (probe: a layout was guessed for every dump), 1 when an\n"
    "input was refused or an output could not be written (probe: no confident guess), 2 for a usage\n"
    "error.\n";

}  // namespace

std::string help_text(const Invocation& invocation) {
  for (const VerbHelp& help : verb_helps) {
    if (help.verb != invocation.verb) continue;
    std::string text = help.usage;
    // The kinds of picture pack reads are named from their table.
    if (const std::size_t at = text.find("@PICTURES@"); at != std::string::npos)
      text.replace(at, 10,
                   picture_type_names([](const PictureTypeRow& type) { return type.type != PictureType::bmp; }));
    text += '\n';
    text += verb_options_help(help.verb);
    if (const std::string clashes = clashes_help(help.verb); !clashes.empty()) text += '\n' + clashes;
    if (help.verb == Verb::pack || help.verb == Verb::unpack) {
      text += '\n';
      const PixelFormat format =
          help.verb == Verb::pack ? invocation.pack.pixel_format : invocation.unpack.pixel_format;
      // The word's bits are drawn for RGB565; any other format is named with its layout.
      if (format == PixelFormat::rgb565) {
        text += word_layout(help.verb == Verb::pack ? invocation.pack.format : invocation.unpack.format);
      } else {
        text += "Each pixel in " + std::string(format_info(format).name) + ": " +
                std::string(format_info(format).layout) + "\n";
      }
    }
    text += "\nExamples:\n";
    text += help.examples;
    text += '\n';
    return text + exit_status_help;
  }
  std::string text =
      "usage: rgb565 pack IN OUT.bin [options]               Kestrin's conversion (BMP, PNG, JPEG, GIF)\n"
      "       rgb565 pack -d DIR IN... [options]\n"
      "       rgb565 unpack IN.bin OUT.bmp [options]         Talvose's conversion; OUT.png writes a PNG\n"
      "       rgb565 unpack -d DIR IN.bin... [options]\n"
      "       rgb565 subtract IMAGE SUB [-o OUT]             Orvane's subtraction, in place unless -o\n"
      "       rgb565 probe DUMP... [options]                 guess a raw dump's size, format and byte order\n"
      "       rgb565 font FONT OUT --px PX [options]         a TrueType font's glyphs for a panel\n"
      "       rgb565 --help | --version\n"
      "       rgb565 VERB --help                             the verb's own usage, options and examples\n"
      "\n"
      "IN or OUT '-' is standard input or output, for pack and unpack without -d, read and written as the\n"
      "conversion goes: pack refuses a stream that does not start as a picture, unpack one longer than\n"
      "the frame, and standard output keeps what was written before a failure.\n"
      "\n";
  text += options_help();
  text += "\n";
  text += word_layout(invocation.pack.format);
  text +=
      "\n"
      "Examples:\n"
      "  rgb565 pack logo.bmp logo.bin\n"
      "  rgb565 pack --dither diffusion --background FFFFFF photo.png photo.bin\n"
      "  rgb565 pack --bytes be --c-array logo logo.bmp logo.h\n"
      "  rgb565 unpack --size 320x240 -d previews frames/*.bin\n"
      "  rgb565 probe dump.bin\n"
      "\n";
  return text + exit_status_help;
}
