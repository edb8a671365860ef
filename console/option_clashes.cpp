#include "console/option_clashes.h"

#include <algorithm>
#include <array>

#include "console/standard_streams.h"
#include "files/output_file.h"

namespace {

constexpr VerbSet pack_only = verb_bit(Verb::pack);
constexpr VerbSet unpack_only = verb_bit(Verb::unpack);
constexpr VerbSet converting = pack_only | unpack_only;
constexpr VerbSet font_only = verb_bit(Verb::font);

bool given(const Invocation& invocation, std::string_view name) { return invocation.was_given(name); }

// OUT, once the paths are IN and OUT.
std::string_view output(const Invocation& invocation) {
  return invocation.inputs.size() == 2 ? std::string_view(invocation.inputs[1]) : std::string_view();
}

bool guessing(const Invocation& invocation) { return invocation.unpack.guess_size || invocation.unpack.guess_format; }

constexpr std::array clashes{
    // Dithering decides which pixels light and which levels they take: a threshold or a rounding
    // given with it would be ignored.
    OptionClash{pack_only, "--dither", "--threshold",
                [](const Invocation& i) { return i.pack.dither != Dither::none && given(i, "--threshold"); },
                "--dither and --threshold both choose which pixels light; give one of them"},
    OptionClash{pack_only, "--dither", "--round nearest",
                [](const Invocation& i) {
                  return i.pack.dither != Dither::none && i.pack.format.rounding == Rounding::nearest;
                },
                "--dither and --round nearest both choose the levels; give one of them"},
    // The palette's colours are opaque, so the picture is laid over the background to meet them.
    OptionClash{pack_only, "--premultiply", "--palette",
                [](const Invocation& i) { return i.pack.premultiply && !i.pack.palette.empty(); },
                "--premultiply has no alpha to scale with --palette, whose colours are opaque"},
    OptionClash{pack_only, "--c-type", "no --c-array",
                [](const Invocation& i) { return given(i, "--c-type") && !i.c_array; }, "--c-type goes with --c-array"},
    OptionClash{pack_only, "--c-attribute", "no --c-array",
                [](const Invocation& i) { return !i.pack.c_attribute.empty() && !i.c_array; },
                "--c-attribute goes with --c-array"},
    OptionClash{pack_only, "--compress", "no --lvgl",
                [](const Invocation& i) { return i.pack.compression != LvglCompression::none && !i.lvgl; },
                "--compress goes with --lvgl"},
    OptionClash{pack_only, "--lvgl", "--tiles", [](const Invocation& i) { return i.lvgl && i.pack.tiles.has_value(); },
                "--lvgl writes one picture: --tiles goes with raw data or --c-array"},
    // Tiles are cut from one picture; the frames of an animation are pictures of their own.
    OptionClash{
        pack_only, "--tiles", "--frame",
        [](const Invocation& i) { return i.pack.tiles.has_value() && (i.pack.all_frames || i.pack.frame != 1); },
        "--tiles cuts one picture into tiles: give it without --frame"},
    // LVGL's rows are the top row first, whatever order the options came in.
    OptionClash{pack_only, "--lvgl", "--rows bottom-up or stored",
                [](const Invocation& i) { return i.lvgl && i.rows != RowOrder::top_down; },
                "--lvgl writes the top row first, not --rows bottom-up or stored"},
    // Both name the colour under transparent pixels.
    OptionClash{pack_only, "--key", "--background",
                [](const Invocation& i) { return given(i, "--key") && given(i, "--background"); },
                "--key is the colour of transparent pixels: give it or --background"},
    // A format that keeps alpha has no need of a colour for transparent pixels.
    OptionClash{pack_only, "--key or --alpha-threshold", "--format with alpha",
                [](const Invocation& i) {
                  const FormatInfo& info = format_info(i.pack.pixel_format);
                  return (given(i, "--key") || given(i, "--alpha-threshold")) && info.alpha_bits != 0 &&
                         i.pack.palette.empty();
                },
                "--key and --alpha-threshold are for a format without alpha (or with --palette): this one keeps "
                "the pixels' alpha"},
    // A tile's rows come from the middle of the picture's; each is written top row first.
    OptionClash{pack_only, "--tiles", "--rows bottom-up",
                [](const Invocation& i) { return i.pack.tiles.has_value() && i.rows == RowOrder::bottom_up; },
                "--tiles writes each tile top row first, not --rows bottom-up"},
    OptionClash{pack_only, "--lvgl --c-array", "--c-type words",
                [](const Invocation& i) { return i.lvgl && i.c_array && given(i, "--c-type") && !i.c_bytes; },
                "--lvgl's C source holds bytes, not --c-type words"},
    // LVGL's formats of under 8 bits a pixel keep the first pixel in the high bits.
    OptionClash{pack_only, "--lvgl", "--bit-order lsb",
                [](const Invocation& i) { return i.lvgl && i.pack.bit_order == BitOrder::low_first; },
                "--lvgl stores each byte's first pixel in its high bits, not --bit-order lsb"},
    // An LVGL image describes one picture: frames laid after it would be read as nothing.
    OptionClash{pack_only, "--lvgl", "--frame all", [](const Invocation& i) { return i.lvgl && i.pack.all_frames; },
                "--lvgl holds one picture, not --frame all: pack each frame with --frame N"},
    OptionClash{pack_only, "--fit", "no --resize",
                [](const Invocation& i) { return given(i, "--fit") && !i.pack.transforms.resize; },
                "--fit goes with --resize"},
    OptionClash{pack_only, "--filter", "no --resize",
                [](const Invocation& i) { return given(i, "--filter") && !i.pack.transforms.resize; },
                "--filter goes with --resize"},
    // With one side given the other keeps the picture's proportions, so no fit is left to choose.
    OptionClash{pack_only, "--fit", "--resize Wx or xH",
                [](const Invocation& i) {
                  const auto& resize = i.pack.transforms.resize;
                  return given(i, "--fit") && resize && (resize->width == 0 || resize->height == 0);
                },
                "--fit needs both sides of --resize; Wx or xH keeps the picture's proportions"},
    // The guess reads rows that follow one another unpadded, and one picture.
    OptionClash{unpack_only, "--size auto or --format auto", "--align",
                [](const Invocation& i) { return guessing(i) && i.unpack.align != 1; },
                "--size auto and --format auto guess rows without padding; give --size with --align"},
    OptionClash{unpack_only, "--size auto or --format auto", "--offset or --stride",
                [](const Invocation& i) { return guessing(i) && (i.unpack.offset != 0 || i.unpack.stride != 0); },
                "--size auto and --format auto guess rows that start at the input's first byte, unpadded; give "
                "--size with --offset or --stride"},
    // Both say how far apart the rows start.
    OptionClash{unpack_only, "--stride", "--align",
                [](const Invocation& i) { return i.unpack.stride != 0 && i.unpack.align != 1; },
                "--stride and --align both say where each row starts; give one of them"},
    OptionClash{unpack_only, "--size auto or --format auto", "--bit-order",
                [](const Invocation& i) { return guessing(i) && i.unpack.bit_order.has_value(); },
                "--size auto and --format auto guess with each format's own bit order; give --size with --bit-order"},
    OptionClash{unpack_only, "--frames", "--size auto or --format auto",
                [](const Invocation& i) { return i.unpack.frames != 0 && guessing(i); },
                "--frames needs the frame's --size and --format; auto guesses one picture"},
    OptionClash{
        unpack_only, "--frames", "OUT -",
        [](const Invocation& i) { return i.unpack.frames != 0 && i.directory.empty() && output(i) == standard_stream; },
        "unpack --frames writes a picture for each frame, named after OUT, not to '-'"},
    OptionClash{converting, "-j", "no -d", [](const Invocation& i) { return i.jobs != 0 && i.directory.empty(); },
                "-j goes with -d: one file converts on its own"},
    OptionClash{converting, "-d", "-",
                [](const Invocation& i) {
                  return !i.directory.empty() &&
                         std::find(i.inputs.begin(), i.inputs.end(), standard_stream) != i.inputs.end();
                },
                "-d takes files; '-' (standard input) goes without -d"},
    // The proof sheet is a picture: it has no C symbols, and shows no kerning pairs.
    OptionClash{font_only, "--lvgl", "OUT.png", [](const Invocation& i) { return i.lvgl && names_png(output(i)); },
                "--lvgl writes C source; OUT ending in .png is the proof sheet"},
    OptionClash{font_only, "--c-array or --c-attribute", "OUT.png",
                [](const Invocation& i) { return (i.c_array || !i.font.c_attribute.empty()) && names_png(output(i)); },
                "--c-array and --c-attribute name C symbols; OUT ending in .png is the proof sheet"},
    OptionClash{font_only, "--kerning", "OUT.png",
                [](const Invocation& i) { return i.font.kerning && names_png(output(i)); },
                "--kerning goes with a C header or --lvgl; the proof sheet shows no pairs"},
    // Without --c-array the symbols are named after OUT's stem, which standard output has none of.
    OptionClash{font_only, "OUT -", "no --c-array",
                [](const Invocation& i) { return output(i) == standard_stream && !i.c_array; },
                "font to '-' (standard output) needs --c-array NAME"},
};

}  // namespace

std::span<const OptionClash> option_clashes() { return clashes; }

std::optional<UsageError> first_clash(const Invocation& invocation) {
  for (const OptionClash& clash : clashes) {
    if ((clash.verbs & verb_bit(invocation.verb)) != 0 && clash.meets(invocation))
      return UsageError{std::string(clash.reason)};
  }
  return std::nullopt;
}

std::string clashes_help(Verb verb) {
  std::string text;
  for (const OptionClash& clash : clashes) {
    if ((clash.verbs & verb_bit(verb)) == 0) continue;
    if (text.empty()) text = "Refused together (a usage error):\n";
    text += "  " + std::string(clash.reason) + "\n";
  }
  return text;
}
