#include "console/arguments.h"

#include <charconv>
#include <cstdint>
#include <optional>

#include "containers/bmp_output.h"
#include "containers/c_array.h"

namespace {

using Result = std::variant<Invocation, UsageError>;

std::optional<std::uint32_t> parse_count(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// WxH, both positive, and a frame whose BMP fits its 32-bit sizes.
bool parse_size(std::string_view text, UnpackOptions& options) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  const std::optional<std::uint32_t> width = parse_count(text.substr(0, x));
  const std::optional<std::uint32_t> height = parse_count(text.substr(x + 1));
  if (!width || !height || !bmp_output(*width, *height)) return false;
  options.width = *width;
  options.height = *height;
  return true;
}

// RRGGBB in hexadecimal, as colours are written on the web.
bool parse_colour(std::string_view text, BgrTriple& colour) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.size() != 6 || error != std::errc{} || end != text.data() + text.size()) return false;
  colour = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16)};
  return true;
}

// Sets `field` to the value of `choices` whose name is `text`.
template <typename T, std::size_t N>
bool choose(std::string_view text, const std::pair<std::string_view, T> (&choices)[N], T& field) {
  for (const auto& [name, value] : choices) {
    if (text == name) {
      field = value;
      return true;
    }
  }
  return false;
}

constexpr std::pair<std::string_view, bool> row_choices[] = {{"stored", false}, {"top-down", true}};
constexpr std::pair<std::string_view, ByteOrder> byte_choices[] = {{"le", ByteOrder::low_first},
                                                                   {"be", ByteOrder::high_first}};
constexpr std::pair<std::string_view, ChannelOrder> channel_choices[] = {{"rgb", ChannelOrder::rgb},
                                                                         {"bgr", ChannelOrder::bgr}};
constexpr std::pair<std::string_view, Rounding> round_choices[] = {{"truncate", Rounding::truncate},
                                                                   {"nearest", Rounding::nearest}};
constexpr std::pair<std::string_view, Dither> dither_choices[] = {
    {"none", Dither::none}, {"ordered", Dither::ordered}, {"diffusion", Dither::diffusion}};
constexpr std::pair<std::string_view, Expansion> expand_choices[] = {{"zero", Expansion::zero},
                                                                     {"replicate", Expansion::replicate}};

std::string_view verb_name(Verb verb) {
  switch (verb) {
    case Verb::pack:
      return "pack";
    case Verb::unpack:
      return "unpack";
    case Verb::subtract:
      return "subtract";
    case Verb::none:
      break;
  }
  return "rgb565";
}

// Applies one option that takes a value; an error message, or empty when it was taken.
std::string apply_option(Invocation& invocation, std::string_view name, std::string_view value) {
  const Verb verb = invocation.verb;
  const bool converts = verb == Verb::pack || verb == Verb::unpack;
  PackOptions& pack = invocation.pack;
  UnpackOptions& unpack = invocation.unpack;
  // The word layout and row order mean the same to pack and unpack.
  WordFormat& format = verb == Verb::pack ? pack.format : unpack.format;
  bool& top_down = verb == Verb::pack ? pack.top_down : unpack.top_down;
  const std::string bad = "bad value '" + std::string(value) + "' for " + std::string(name);
  if (converts && name == "--rows") return choose(value, row_choices, top_down) ? "" : bad;
  if (converts && name == "--bytes") return choose(value, byte_choices, format.bytes) ? "" : bad;
  if (converts && name == "--channels") return choose(value, channel_choices, format.channels) ? "" : bad;
  if (verb == Verb::pack && name == "--round") return choose(value, round_choices, format.rounding) ? "" : bad;
  if (verb == Verb::pack && name == "--dither") return choose(value, dither_choices, pack.dither) ? "" : bad;
  if (verb == Verb::pack && name == "--background")
    return parse_colour(value, pack.background) ? "" : bad + " (RRGGBB, for example 1E90FF)";
  if (verb == Verb::unpack && name == "--expand") return choose(value, expand_choices, format.expansion) ? "" : bad;
  if (verb == Verb::unpack && name == "--size")
    return parse_size(value, unpack) ? "" : bad + " (WxH, for example 568x130)";
  if (verb == Verb::pack && name == "--c-array") {
    if (!is_c_identifier(value)) return "--c-array needs a C identifier, not '" + std::string(value) + "'";
    pack.c_array = value;
    return "";
  }
  if (converts && name == "-d") {
    if (value.empty()) return "-d needs a folder";
    invocation.directory = value;
    return "";
  }
  if (converts && name == "-j") {
    const std::optional<std::uint32_t> jobs = parse_count(value);
    if (!jobs || *jobs == 0 || *jobs > 256) return bad + " (1 to 256)";
    invocation.jobs = *jobs;
    return "";
  }
  if (verb == Verb::subtract && name == "-o") {
    if (value.empty()) return "-o needs a file";
    invocation.subtract.output = value;
    return "";
  }
  return "unknown option '" + std::string(name) + "' for " + std::string(verb_name(verb));
}

bool takes_value(std::string_view name) {
  for (std::string_view option : {"--rows", "--bytes", "--channels", "--round", "--dither", "--background", "--expand",
                                  "--size", "--c-array", "-d", "-j", "-o"}) {
    if (name == option) return true;
  }
  return false;
}

// Checks the paths once every argument is read.
Result finish(Invocation invocation) {
  if (invocation.help || invocation.version) return invocation;
  std::vector<std::string>& paths = invocation.inputs;
  for (const std::string& path : paths) {
    if (path.empty()) return UsageError{"an empty path"};
  }
  const std::string verb(verb_name(invocation.verb));
  if (invocation.verb == Verb::subtract) {
    if (paths.size() != 2) return UsageError{"subtract takes IMAGE and SUB"};
    const std::string& output = invocation.subtract.output;
    if (!output.empty() && (output == paths[0] || output == paths[1]))
      return UsageError{"-o names IMAGE or SUB; the difference goes to a new file"};
    return invocation;
  }
  const PackOptions& pack = invocation.pack;
  if (pack.dither != Dither::none && pack.format.rounding == Rounding::nearest)
    return UsageError{"--dither and --round nearest both choose the levels; give one of them"};
  if (!invocation.directory.empty()) {
    if (paths.empty()) return UsageError{verb + " -d DIR takes one or more inputs"};
    return invocation;
  }
  if (paths.size() != 2) return UsageError{verb + " takes IN and OUT, or -d DIR and inputs"};
  invocation.output = paths[1];
  paths.pop_back();
  return invocation;
}

}  // namespace

std::variant<Invocation, UsageError> parse_arguments(std::span<const std::string_view> arguments) {
  Invocation invocation;
  std::size_t at = 0;
  if (at < arguments.size()) {
    const std::string_view first = arguments[at];
    if (first == "pack") invocation.verb = Verb::pack;
    if (first == "unpack") invocation.verb = Verb::unpack;
    if (first == "subtract") invocation.verb = Verb::subtract;
    // Only the command line reads and writes pictures through the system's codecs.
    invocation.pack.codecs = invocation.unpack.codecs = true;
    invocation.unpack.refuse_pictures = true;
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
    } else if (argument == "--help" || argument == "-h") {
      invocation.help = true;
    } else if (argument == "--version") {
      invocation.version = true;
    } else {
      // --name=value or --name value; short options take the next argument or what follows them.
      std::string_view name = argument;
      std::optional<std::string_view> value;
      if (const std::size_t equals = argument.find('=');
          argument.starts_with("--") && equals != std::string_view::npos) {
        name = argument.substr(0, equals);
        value = argument.substr(equals + 1);
      } else if (!argument.starts_with("--") && argument.size() > 2) {
        name = argument.substr(0, 2);
        value = argument.substr(2);
      }
      if (invocation.verb == Verb::none) return UsageError{"unknown option '" + std::string(name) + "'"};
      if (!takes_value(name)) return UsageError{"unknown option '" + std::string(name) + "'"};
      if (!value) {
        if (at + 1 >= arguments.size()) return UsageError{std::string(name) + " needs a value"};
        value = arguments[++at];
      }
      if (std::string error = apply_option(invocation, name, *value); !error.empty()) return UsageError{error};
    }
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

std::string help_text(const Invocation& invocation) {
  std::string text =
      "usage: rgb565 pack IN OUT.bin [options]               Kestrin's conversion (BMP, PNG, JPEG, GIF)\n"
      "       rgb565 pack -d DIR IN... [options]\n"
      "       rgb565 unpack IN.bin OUT.bmp [options]         Talvose's conversion; OUT.png writes a PNG\n"
      "       rgb565 unpack -d DIR IN.bin... [options]\n"
      "       rgb565 subtract IMAGE SUB [-o OUT]             Orvane's subtraction, in place unless -o\n"
      "       rgb565 --help | --version\n"
      "\n"
      "Options of pack and unpack; each default is what the dialogs do:\n"
      "  --rows stored|top-down    rows as the BMP stores them (bottom row first for a bottom-up\n"
      "                            file), or the picture's top row first\n"
      "  --bytes le|be             low byte of each word first, or high byte first\n"
      "  --channels rgb|bgr        red in the high five bits (RGB565), or blue there (BGR565)\n"
      "  --round truncate|nearest  pack: drop each channel's low bits, or take the nearest level\n"
      "  --dither none|ordered|diffusion\n"
      "                            pack: truncate each channel, or dither it before truncating with\n"
      "                            an 8 x 8 Bayer matrix or Floyd-Steinberg (not with --round nearest)\n"
      "  --background RRGGBB       pack: the colour under transparent pixels of a PNG or GIF (000000)\n"
      "  --c-array NAME            pack: a C header declaring NAME_width, NAME_height and NAME[]\n"
      "  --expand zero|replicate   unpack: low bits zero, or filled by repeating the high bits\n"
      "  --size WxH                unpack: the frame's size in pixels (568x130)\n"
      "  -d DIR                    convert every input into DIR, each output named after its input\n"
      "  -j N                      with -d, convert N files at once (one per processor)\n"
      "The same options given to unpack undo pack (but for the low bits that packing drops).\n"
      "\n";
  text += word_layout(invocation.verb == Verb::unpack ? invocation.unpack.format : invocation.pack.format);
  text +=
      "\n"
      "Examples:\n"
      "  rgb565 pack logo.bmp logo.bin\n"
      "  rgb565 pack --dither diffusion --background FFFFFF photo.png photo.bin\n"
      "  rgb565 pack --rows top-down --bytes be --c-array logo logo.bmp logo.h\n"
      "  rgb565 unpack --size 320x240 -d previews frames/*.bin\n"
      "\n"
      "Exit status: 0 when everything converted, 1 when an input was refused or an output could not\n"
      "be written, 2 for a usage error.\n";
  return text;
}
