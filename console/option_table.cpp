#include "console/option_table.h"

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

#include "console/option_values.h"
#include "containers/row_stride.h"
#include "programs/version.h"
#include "read/picture_types.h"

namespace {

constexpr VerbSet pack_only = verb_bit(Verb::pack);
constexpr VerbSet unpack_only = verb_bit(Verb::unpack);
constexpr VerbSet converting = pack_only | unpack_only;
constexpr VerbSet subtract_only = verb_bit(Verb::subtract);
constexpr VerbSet probe_only = verb_bit(Verb::probe);
constexpr VerbSet font_only = verb_bit(Verb::font);
// --help and --version also stand without a verb.
constexpr VerbSet anywhere = verb_bit(Verb::none) | converting | subtract_only | probe_only | font_only;

// The fields that the choices set. The word layout and row order mean the same to pack and unpack,
// so they land in the options of the verb given.
WordFormat& word_format(Invocation& invocation) {
  return invocation.verb == Verb::pack ? invocation.pack.format : invocation.unpack.format;
}
RowOrder& row_order(Invocation& invocation) { return invocation.rows; }
ByteOrder& byte_order(Invocation& invocation) { return word_format(invocation).bytes; }
ChannelOrder& channel_order(Invocation& invocation) { return word_format(invocation).channels; }
Rounding& rounding(Invocation& invocation) { return invocation.pack.format.rounding; }
Dither& dither(Invocation& invocation) { return invocation.pack.dither; }
Expansion& expansion(Invocation& invocation) { return invocation.unpack.format.expansion; }
std::uint64_t& pack_pixel_limit(Invocation& invocation) { return invocation.pack.pixel_limit; }
std::uint64_t& font_pixel_limit(Invocation& invocation) { return invocation.font.pixel_limit; }
std::uint64_t& output_limit(Invocation& invocation) { return invocation.pack.output_limit; }
constexpr std::string_view count_of_pixels = "a count of pixels, for example 400000000";
constexpr std::string_view count_of_bytes = "a count of bytes, for example 1073741824";
// Far past any file, and small enough that the frames after it cannot run past 2^64.
constexpr std::uint64_t max_offset = std::uint64_t{1} << 48;
constexpr std::uint64_t max_stride = std::uint64_t{1} << 30;
Rotation& rotation(Invocation& invocation) { return invocation.pack.transforms.rotation; }
Flip& flip(Invocation& invocation) { return invocation.pack.transforms.flip; }
Fit& fit(Invocation& invocation) { return invocation.pack.transforms.fit; }
ResizeFilter& filter(Invocation& invocation) { return invocation.pack.transforms.filter; }
bool& upright(Invocation& invocation) { return invocation.pack.upright; }
PixelFormat& pixel_format(Invocation& invocation) {
  return invocation.verb == Verb::pack ? invocation.pack.pixel_format : invocation.unpack.pixel_format;
}
bool& pages(Invocation& invocation) {
  return invocation.verb == Verb::pack ? invocation.pack.pages : invocation.unpack.pages;
}
std::optional<BitOrder>& pixel_bit_order(Invocation& invocation) {
  return invocation.verb == Verb::pack ? invocation.pack.bit_order : invocation.unpack.bit_order;
}
bool& c_bytes(Invocation& invocation) { return invocation.c_bytes; }
LvglCompression& compression(Invocation& invocation) { return invocation.pack.compression; }
int& font_bpp(Invocation& invocation) { return invocation.font.bpp; }

template <typename T>
struct Choice {
  std::string_view name;
  T value;
  // A name the choice had before, taken as the listed choice of the same value and listed nowhere.
  bool former = false;
};

constexpr Choice<RowOrder> row_orders[] = {
    {"top-down", RowOrder::top_down}, {"bottom-up", RowOrder::bottom_up}, {"stored", RowOrder::stored}};
constexpr Choice<ByteOrder> byte_orders[] = {{"le", ByteOrder::low_first}, {"be", ByteOrder::high_first}};
constexpr Choice<ChannelOrder> channel_orders[] = {{"rgb", ChannelOrder::rgb}, {"bgr", ChannelOrder::bgr}};
constexpr Choice<Rounding> roundings[] = {{"truncate", Rounding::truncate}, {"nearest", Rounding::nearest}};
constexpr Choice<Dither> dithers[] = {
    {"none", Dither::none}, {"ordered", Dither::ordered}, {"diffusion", Dither::diffusion}};
constexpr Choice<Rotation> rotations[] = {
    {"90", Rotation::quarter}, {"180", Rotation::half}, {"270", Rotation::three_quarters}};
constexpr Choice<Flip> flips[] = {{"horizontal", Flip::horizontal}, {"vertical", Flip::vertical}};
constexpr Choice<Fit> fits[] = {{"contain", Fit::contain}, {"cover", Fit::cover}, {"stretch", Fit::stretch}};
constexpr Choice<ResizeFilter> filters[] = {{"mitchell", ResizeFilter::mitchell}, {"nearest", ResizeFilter::nearest}};
// --orientation stored kept the pixels as stored while --rows stored wrote a BMP's row order, so the
// choices now say what becomes of the EXIF tag.
constexpr Choice<bool> orientations[] = {
    {"exif", true}, {"ignore", false}, {"auto", true, true}, {"stored", false, true}};
constexpr Choice<Expansion> expansions[] = {{"zero", Expansion::zero}, {"replicate", Expansion::replicate}};
constexpr Choice<bool> scans[] = {{"rows", false}, {"pages", true}};
constexpr Choice<BitOrder> bit_orders[] = {{"msb", BitOrder::high_first}, {"lsb", BitOrder::low_first}};
constexpr Choice<bool> c_types[] = {{"words", false}, {"bytes", true}};
constexpr Choice<int> font_depths[] = {{"1", 1}, {"2", 2}, {"4", 4}, {"8", 8}};
constexpr Choice<LvglCompression> compressions[] = {{"rle", LvglCompression::rle}, {"lz4", LvglCompression::lz4}};

template <auto& choices>
constexpr std::size_t former_count = [] {
  std::size_t count = 0;
  for (const auto& choice : choices) count += choice.former ? 1 : 0;
  return count;
}();

// The names the help and a refusal list: the choices but their former names.
template <auto& choices>
constexpr auto choice_names = [] {
  std::array<std::string_view, std::size(choices) - former_count<choices>> names{};
  std::size_t at = 0;
  for (const auto& choice : choices) {
    if (!choice.former) names[at++] = choice.name;
  }
  return names;
}();

// Each former name with the listed choice of its value.
template <auto& choices>
constexpr auto former_choices = [] {
  std::array<FormerName, former_count<choices>> formers{};
  std::size_t at = 0;
  for (const auto& choice : choices) {
    if (!choice.former) continue;
    formers[at].old_name = choice.name;
    for (const auto& listed : choices) {
      if (!listed.former && listed.value == choice.value && formers[at].new_name.empty())
        formers[at].new_name = listed.name;
    }
    ++at;
  }
  return formers;
}();

// Sets the field that `field` selects to the choice named `value`.
template <auto& choices, auto field>
std::optional<UsageError> choose(Invocation& invocation, std::string_view name, std::string_view value) {
  for (const auto& choice : choices) {
    if (value == choice.name) {
      field(invocation) = choice.value;
      return {};
    }
  }
  return UsageError{bad_value(name, value, listed(choice_names<choices>))};
}

// Sets the limit that `field` selects to the count `value`, from 1 up; `expected` describes one.
template <auto field, const std::string_view& expected>
std::optional<UsageError> set_limit(Invocation& invocation, std::string_view name, std::string_view value) {
  const std::optional<std::uint64_t> limit = parse_long_count(value);
  if (!limit || *limit == 0) return UsageError{bad_value(name, value, expected)};
  field(invocation) = *limit;
  return {};
}

template <auto field, const std::string_view& expected>
OptionRow limit_option(std::string_view name, VerbSet verbs, std::string_view help, std::string_view more) {
  return {
      .long_name = name, .verbs = verbs, .value = "N", .help = help, .more = more, .apply = set_limit<field, expected>};
}

template <auto& choices, auto field>
constexpr OptionRow choice_option(std::string_view name, VerbSet verbs, std::string_view help,
                                  std::string_view more = {}, unsigned format_option = 0) {
  return {.long_name = name,
          .verbs = verbs,
          .choices = choice_names<choices>,
          .former_choices = former_choices<choices>,
          .help = help,
          .more = more,
          .apply = choose<choices, field>,
          .format_option = format_option};
}

// The kinds of picture two options concern, named from the table of kinds.
std::string_view orientation_help() {
  static const std::string help =
      "lay a " + picture_type_names([](const PictureTypeRow& type) { return type.exif; }) +
      " upright as its EXIF orientation says, or ignore the orientation and keep its pixels as stored (exif)";
  return help;
}
std::string_view max_pixels_help() {
  static const std::string help = "the most pixels a run-length coded BMP or a " +
                                  picture_type_names([](const PictureTypeRow& type) { return type.compressed; }) +
                                  " may have (178956970)";
  return help;
}

// --palette's further sentences, with the built-in palettes' colours, which their table keeps.
std::string_view palette_more() {
  static const std::string more =
      "Each pixel takes the entry nearest in light, or as --dither mixes them; entries past the colours given are "
      "stored zero and never used, and transparent pixels are laid over --background first. Without --palette the "
      "palette is chosen from the picture's own colours. A name that is both a built-in palette or a list of "
      "colours and a file reads as the former; ./NAME reads the file. A GIMP palette's colour lines are R G B "
      "(0 to 255) and a name; comments and its Name and Columns lines are skipped. Built in: " +
      builtin_palettes_listed() + ".";
  return more;
}

}  // namespace

std::span<const OptionRow> option_table() {
  // Made on first use rather than as a constant: --format's choices are the format table's names,
  // which that table keeps to itself.
  static const OptionRow options[] = {
      {.long_name = "--format",
       .verbs = converting | probe_only,
       .choices = pixel_format_names(),
       .help = "the pixel format of the raw image (rgb565); FORMATS in the manual (man rgb565, or the user guide) lays "
               "each out. unpack also takes auto: the format the "
               "input reads best as",
       .more = "Options that mean nothing for the format chosen are refused. "
               "The layout of each format is listed under FORMATS. "
               "With auto, unpack guesses the format, the byte order unless --bytes is given, and the size unless "
               "--size is given, as probe does; given to probe, a format is taken as known.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         invocation.unpack.guess_format = value == "auto";
         if (value == "auto") {
           if (invocation.verb == Verb::unpack) return std::nullopt;
           return UsageError{"--format auto goes with unpack"};
         }
         const FormatInfo* info = find_pixel_format(value);
         if (info == nullptr) return UsageError{bad_value(name, value, listed(pixel_format_names()))};
         pixel_format(invocation) = info->format;
         return std::nullopt;
       }},
      choice_option<row_orders, row_order>(
          "--rows", converting,
          "the picture's top row first (top-down), its bottom row first (bottom-up, a BMP's order), or "
          "as the file stores them (stored, the dialogs' order and the default before 2.0)",
          "pack --rows stored writes a BMP's rows as they lie (bottom row first, unless the BMP is stored "
          "top-down) and any other picture's top row first; unpack --rows stored reads the bottom row "
          "first, as bottom-up does. --rows bottom-up of a picture other than a bottom-up BMP holds it "
          "whole while it is written."),
      choice_option<byte_orders, byte_order>(
          "--bytes", converting | probe_only, "low byte of each word first, or high byte first",
          "Given to probe or to unpack --size auto, the byte order is not guessed.", format_option::bytes),
      choice_option<channel_orders, channel_order>("--channels", converting,
                                                   "red in the high bits (RGB565), or blue there (BGR565)", {},
                                                   format_option::channels),
      choice_option<roundings, rounding>(
          "--round", pack_only, "drop each channel's low bits, or take the nearest level", {}, format_option::round),
      choice_option<dithers, dither>(
          "--dither", pack_only,
          "level each channel as --round says, or mix the two nearest levels the panel "
          "shows with an 8 x 8 Bayer matrix or Floyd-Steinberg (not with --round nearest or --threshold)",
          "Either way an area keeps its own light on the panel on average. "
          "Diffusion takes the stored rows in order, each left to right. "
          "Grey formats dither their luma; for mono1 dithering takes the place of "
          "--threshold. The indexed formats mix the palette's entries in linear light. Alpha is not dithered, "
          "but in a4, a2 and a1, which hold nothing else. "
          "The same picture always gives the same bytes.",
          format_option::dither),
      {.long_name = "--palette",
       .verbs = pack_only,
       .value = "PALETTE",
       .help = "i1, i2, i4, i8: the palette, stored in the order given: a built-in name (bw, bwr, bwy, 7color, "
               "gray4, gray16), colours RRGGBB,RRGGBB,... or a GIMP .gpl file",
       .more = palette_more(),
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         return read_palette(name, value, invocation.pack.palette);
       },
       .format_option = format_option::palette},
      choice_option<orientations, upright>(
          "--orientation", pack_only, orientation_help(),
          "Phones and cameras store a photograph as the sensor read it and record how to turn it; every viewer "
          "shows it turned. It is laid upright before --crop, --rotate, --flip and --resize, whose coordinates are "
          "the upright picture's, and the sizes written in C and LVGL headers are the upright picture's."),
      {.long_name = "--crop",
       .verbs = pack_only,
       .value = "WxH+X+Y",
       .help = "keep the W x H pixels whose top left corner is X pixels from the left and Y from the top",
       .more = "WxH alone keeps the top left corner. The rectangle must lie inside the picture. "
               "The crop comes first, then --rotate, --flip and --resize, in that order, whatever order they are "
               "given in.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         Rect rect;
         if (!parse_crop(value, rect)) return UsageError{bad_value(name, value, "WxH+X+Y, for example 320x240+40+0")};
         invocation.pack.transforms.crop = rect;
         return std::nullopt;
       }},
      choice_option<rotations, rotation>("--rotate", pack_only, "turn the picture clockwise by 90, 180 or 270 degrees",
                                         "For a panel mounted sideways or upside down."),
      choice_option<flips, flip>("--flip", pack_only, "mirror the picture left to right, or top to bottom",
                                 "The mirror comes after the turn of --rotate."),
      {.long_name = "--resize",
       .verbs = pack_only,
       .value = "WxH",
       .help = "resample the picture to W x H pixels in linear light, fitted as --fit says; Wx or xH keeps its "
               "proportions",
       .more = "The filter is Mitchell-Netravali's cubic, stretched over every source pixel when reducing, "
               "unless --filter nearest. "
               "Transparent pixels do not darken their neighbours. "
               "W and H are at most 65535.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         ResizeTo to;
         if (!parse_resize(value, to)) return UsageError{bad_value(name, value, "WxH, Wx or xH, for example 320x240")};
         invocation.pack.transforms.resize = to;
         return std::nullopt;
       }},
      choice_option<fits, fit>("--fit", pack_only,
                               "with --resize WxH: keep the whole picture, centred on --background; fill W x H, "
                               "cutting off what overhangs; or stretch it to W x H (contain)",
                               "Cover cuts equally from the two sides that overhang."),
      choice_option<filters, filter>(
          "--filter", pack_only,
          "with --resize: Mitchell-Netravali's cubic in linear light, or the source pixel nearest each pixel's "
          "centre, copied as it is (mitchell)",
          "nearest is for pixel art and icons: enlarged by a whole factor, each pixel becomes a flat block, and no "
          "colour is made that the picture does not have. A centre on the edge between two pixels takes the right "
          "one, or the lower one."),
      {.long_name = "--tiles",
       .verbs = pack_only,
       .value = "WxH",
       .help = "cut the picture, after the transforms, into tiles of W x H pixels and pack each as a picture of "
               "its own, one after another: left to right, then top to bottom",
       .more = "The picture must be a whole number of tiles; a refusal names the sizes that are. A C header "
               "declares NAME_width and NAME_height as the tile's and NAME_tiles as their count. All tiles share "
               "one palette. Not with --lvgl.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         Rect rect;
         if (value.find('+') != std::string_view::npos || !parse_crop(value, rect))
           return UsageError{bad_value(name, value, "WxH, for example 32x32")};
         invocation.pack.tiles = TileSize{rect.width, rect.height};
         return std::nullopt;
       }},
      choice_option<scans, pages>("--scan", converting,
                                  "mono1: rows of bits, or 8-row pages with a byte a column, the top row in bit 0", {},
                                  format_option::scan),
      choice_option<bit_orders, pixel_bit_order>(
          "--bit-order", converting,
          "formats of 1, 2 or 4 bits a pixel: each byte's first pixel (the leftmost; a page's top row) in its high "
          "bits (msb) or its low bits (lsb), as the display's driver takes it (the format's own: msb, and lsb for "
          "mono1's pages)",
          "u8g2's and XBM's bitmaps take lsb; most panels' controllers and LVGL take msb. The palette of an indexed "
          "format is not touched.",
          format_option::bit_order),
      {.long_name = "--threshold",
       .verbs = pack_only,
       .value = "N",
       .help = "mono1: the least luma, 0 to 255, that lights a pixel (128)",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         const std::optional<std::uint32_t> threshold = parse_count(value);
         if (!threshold || *threshold > 255) return UsageError{bad_value(name, value, "0 to 255")};
         invocation.pack.threshold = static_cast<std::uint8_t>(*threshold);
         return std::nullopt;
       },
       .format_option = format_option::threshold},
      {.long_name = "--premultiply",
       .verbs = converting,
       .help = "colours scaled by their alpha in a format with alpha; unpack divides them again",
       .apply = [](Invocation& invocation, std::string_view, std::string_view) -> std::optional<UsageError> {
         invocation.pack.premultiply = invocation.unpack.premultiplied = true;
         return std::nullopt;
       },
       .format_option = format_option::premultiply},
      {.long_name = "--background",
       .verbs = pack_only,
       .value = "COLOUR",
       .help = "the colour under transparent pixels of a PNG or GIF, and around a picture fitted by --fit contain: "
               "RRGGBB, #RRGGBB, #RGB or a CSS colour name (black)",
       .more = "The names are CSS's 148, as style sheets and SVG write them (magenta, cornflowerblue, "
               "rebeccapurple; gray and grey alike), in any case. #RGB doubles each digit: #F80 is FF8800.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         if (parse_colour(value, invocation.pack.background)) return std::nullopt;
         return UsageError{bad_value(name, value, colour_syntax)};
       }},
      {.long_name = "--key",
       .verbs = pack_only,
       .value = "COLOUR",
       .help = "a sprite's key colour: pixels of alpha below --alpha-threshold (128) become COLOUR, the others "
               "their own colour, unblended; as --background takes it (magenta, FF00FF)",
       .more = "For a format without alpha, or with --palette, whose output is opaque: a display library that skips "
               "the key colour when it draws the sprite leaves out exactly the transparent pixels, and soft "
               "edges get no fringe of the key colour, as --background's blend would give them. The C header "
               "names the key colour.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         if (parse_colour(value, invocation.pack.background)) return std::nullopt;
         return UsageError{bad_value(name, value, colour_syntax)};
       }},
      {.long_name = "--alpha-threshold",
       .verbs = pack_only,
       .value = "N",
       .help = "pixels of alpha below N (1 to 255) become the background (or --key), the others their own colour, "
               "opaque: hard edges instead of a blend",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         const std::optional<std::uint32_t> threshold = parse_count(value);
         if (!threshold || *threshold == 0 || *threshold > 255)
           return UsageError{bad_value(name, value, "a number from 1 to 255")};
         invocation.pack.alpha_threshold = static_cast<std::uint8_t>(*threshold);
         return std::nullopt;
       }},
      {.long_name = "--c-array",
       .verbs = pack_only,
       .value = "NAME",
       .help = "a C header declaring NAME_width, NAME_height and NAME[]; with -d, each named after its input, "
               "NAME_ before it if NAME is not empty",
       .more = "It takes the place of the raw data, inside an include guard. "
               "On a little-endian processor the array's bytes are the raw image's bytes. "
               "NAME may not be a C keyword. With -d, logo.png becomes logo.h declaring logo_width, logo_height and "
               "logo[] (--c-array ''), or with --c-array icon, icon_logo.",
       .apply = [](Invocation& invocation, std::string_view, std::string_view value) -> std::optional<UsageError> {
         invocation.c_array = true;
         invocation.pack.c_array = value;
         return std::nullopt;
       }},
      choice_option<c_types, c_bytes>(
          "--c-type", pack_only, "with --c-array: an array of 16-bit words (rgb565 only), or of the output's bytes",
          "Bytes have no byte order to get wrong; every format but rgb565 is written so."),
      {.long_name = "--c-attribute",
       .verbs = pack_only,
       .value = "TEXT",
       .help = "with --c-array: TEXT after the array's name, such as PROGMEM or a section",
       .apply = [](Invocation& invocation, std::string_view, std::string_view value) -> std::optional<UsageError> {
         invocation.pack.c_attribute = value;
         return std::nullopt;
       }},
      {.long_name = "--lvgl",
       .verbs = pack_only,
       .help = "an LVGL 9 image: its 12-byte header before the raw bytes, or with --c-array C source declaring an "
               "lv_image_dsc_t NAME and its NAME_map",
       .more = "Its rows are the top row first. It takes gray8, i1 to i8, rgb565 (--bytes be for RGB565_SWAPPED), "
               "rgb565a8, argb8565, rgb888, xrgb8888 and argb8888, red in the high bits. "
               "unpack reads such a .bin by its header, without --size or --format.",
       .apply = [](Invocation& invocation, std::string_view, std::string_view) -> std::optional<UsageError> {
         invocation.lvgl = true;
         return std::nullopt;
       }},
      choice_option<compressions, compression>(
          "--compress", pack_only, "with --lvgl: the image's data compressed by LVGL's RLE or by LZ4",
          "LVGL decompresses such an image whole when it first draws it (LV_USE_RLE or LV_USE_LZ4 in its "
          "configuration). RLE repeats a pixel, and suits flat drawings; LZ4 repeats any run of bytes seen before, "
          "and suits most pictures better. unpack reads both."),
      {.long_name = "--offset",
       .verbs = unpack_only,
       .value = "N",
       .help = "the raw image starts N bytes into the input, past a dump's header (0)",
       .more = "Frames follow one another from there. The input is then read as raw data, never as an LVGL image.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         const std::optional<std::uint64_t> offset = parse_long_count(value);
         if (!offset || *offset > max_offset) return UsageError{bad_value(name, value, "0 to 2^48, for example 128")};
         invocation.unpack.offset = *offset;
         return std::nullopt;
       }},
      {.long_name = "--stride",
       .verbs = unpack_only,
       .value = "N",
       .help = "the raw image's rows start N bytes apart, at least a row's bytes, as a framebuffer with padded "
               "rows lays them (a row's bytes, or as --align pads them)",
       .more = "mono1's pages are its rows; rgb565a8's alpha rows are half the stride apart, as with --align.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         const std::optional<std::uint64_t> stride = parse_long_count(value);
         if (!stride || *stride == 0 || *stride > max_stride)
           return UsageError{bad_value(name, value, "1 to 2^30 bytes, for example 1024")};
         invocation.unpack.stride = *stride;
         return std::nullopt;
       }},
      {.long_name = "--align",
       .verbs = converting,
       .value = "N",
       .help = "each row padded with zeros to a multiple of N bytes, N a power of two up to 1024 (1)",
       .more = "The palette of i1 to i8 is not padded; rgb565a8's alpha rows are half the stride apart, and mono1's "
               "pages are its rows. An LVGL image's header gives the stride, and unpack reads it from there.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         const std::optional<std::uint32_t> align = parse_count(value);
         if (!align || *align == 0 || *align > max_alignment || (*align & (*align - 1)) != 0)
           return UsageError{bad_value(name, value, "a power of two up to 1024, for example 4")};
         invocation.pack.align = invocation.unpack.align = *align;
         return std::nullopt;
       }},
      {.long_name = "--frame",
       .verbs = pack_only,
       .value = "all|N",
       .former_name = "--frames",
       .help = "every frame of an animated GIF one after another (all), or frame N alone, from 1 (1)",
       .more = "Each frame is composed as a viewer shows it. A C header of all frames also declares NAME_frames and "
               "NAME_delays_ms[], each frame's delay in milliseconds; --lvgl takes one frame.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         if (value == "all") {
           invocation.pack.all_frames = true;
           return std::nullopt;
         }
         const std::optional<std::uint32_t> frame = parse_count(value);
         if (!frame || *frame == 0 || *frame > 99999) return UsageError{bad_value(name, value, "all, or 1 to 99999")};
         invocation.pack.frame = *frame;
         return std::nullopt;
       }},
      {.long_name = "--frames",
       .verbs = unpack_only,
       .value = "N",
       .help = "a raw input of N frames of --size one after another, each unpacked into a picture of its own",
       .more = "The pictures are named after OUT, its number from 000 before the extension: out.png gives "
               "out-000.png, out-001.png and so on.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         const std::optional<std::uint32_t> count = parse_count(value);
         if (!count || *count == 0 || *count > 99999) return UsageError{bad_value(name, value, "1 to 99999")};
         invocation.unpack.frames = *count;
         return std::nullopt;
       }},
      limit_option<pack_pixel_limit, count_of_pixels>(
          "--max-pixels", pack_only, max_pixels_help(),
          "A few bytes of such a file can declare billions of pixels; larger pictures are refused "
          "before they are decoded unless N allows them. A picture from standard input (-) that is not a "
          "BMP read as it comes is copied into a temporary file first, at most 9 bytes a pixel of N and "
          "1 MiB (a BMP: its own length, of at most N pixels), and refused when longer."),
      limit_option<output_limit, count_of_bytes>(
          "--max-output", pack_only,
          "the most bytes of pixels one output may hold, every frame and tile together (1073741824)",
          "Counted as the raw image holds them (rows with their padding, palettes), before any compression; "
          "an output over N is refused before any of it is made. No picture within --max-pixels reaches "
          "the default; the frames of an animation packed with --frame all can."),
      choice_option<expansions, expansion>("--expand", unpack_only,
                                           "low bits zero, or filled by repeating the high bits",
                                           "Repeating them keeps full intensity full.", format_option::expand),
      {.long_name = "--size",
       .verbs = unpack_only,
       .value = "WxH|auto",
       .help = "the frame's size in pixels (568x130 is Talvose's frame), or auto for the size (and byte order) the "
               "input reads best at (auto, unless the input is an LVGL image, whose header gives its size)",
       .more = "Rows are padded to 4 bytes as in any BMP. With auto, or without --size, the size is guessed as rgb565 "
               "probe guesses it, "
               "and the byte order too unless --bytes is given; the guess taken, and how sure it is, goes to "
               "standard error, and an input whose best guess is not clearly ahead of the next is refused with "
               "the likeliest sizes. auto needs a file: the guess reads the whole dump. From standard input (-) "
               "no more than the frame is read, and a longer input is refused.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         if (parse_size(value, invocation.unpack)) return std::nullopt;
         return UsageError{bad_value(name, value, "WxH, for example 568x130, or auto")};
       }},
      {.short_name = "-d",
       .verbs = converting,
       .value = "DIR",
       .help = "convert every input into DIR, each output named after its input",
       .more = "DIR is a folder that exists already. "
               "Each output takes its input's stem and .bin, .bmp or, with --c-array, .h (.c with --lvgl). "
               "A line \"N converted, M failed\" ends the run. "
               "Standard input and output (-) go without -d.",
       .apply = [](Invocation& invocation, std::string_view, std::string_view value) -> std::optional<UsageError> {
         if (value.empty()) return UsageError{"-d needs a folder"};
         invocation.directory = value;
         return std::nullopt;
       }},
      {.short_name = "-j",
       .verbs = converting,
       .value = "N",
       .help = "with -d, convert N files at once (one per processor)",
       .more = "Messages keep the inputs' order.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         const std::optional<std::uint32_t> jobs = parse_count(value);
         if (!jobs || *jobs == 0 || *jobs > 256) return UsageError{bad_value(name, value, "1 to 256")};
         invocation.jobs = *jobs;
         return std::nullopt;
       }},
      {.long_name = "--sheet",
       .verbs = probe_only,
       .value = "OUT",
       .help = "draw the best readings of the one DUMP side by side in the PNG OUT, each captioned with its format, "
               "size and byte order",
       .more = "Up to four readings, best first, each at a height of 160 pixels (or 480 across when wider), so "
               "that the one that is the picture shows at a glance.",
       .apply = [](Invocation& invocation, std::string_view, std::string_view value) -> std::optional<UsageError> {
         if (value.empty()) return UsageError{"--sheet needs a file"};
         invocation.sheet = value;
         return std::nullopt;
       }},
      {.short_name = "-o",
       .verbs = subtract_only,
       .value = "OUT",
       .help = "write the difference to OUT and leave IMAGE as it was",
       .apply = [](Invocation& invocation, std::string_view, std::string_view value) -> std::optional<UsageError> {
         if (value.empty()) return UsageError{"-o needs a file"};
         invocation.subtract.output = value;
         return std::nullopt;
       }},
      {.long_name = "--longer-sub",
       .verbs = subtract_only,
       .help = "take a SUB longer than IMAGE, of which only IMAGE's length is used",
       .more = "Without it such a SUB is refused: it is most often IMAGE and SUB given the wrong way round.",
       .apply = [](Invocation& invocation, std::string_view, std::string_view) -> std::optional<UsageError> {
         invocation.subtract.refuse_longer_sub = false;
         return std::nullopt;
       }},
      {.long_name = "--px",
       .verbs = font_only,
       .value = "PX",
       .former_name = "--size",
       .help = "the em size in pixels, as FreeType and font converters take it (required)",
       .more = "The glyphs' boxes, the line height and the baseline follow from it and the font's own metrics. "
               "PX is 1 to 1024.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         const std::optional<std::uint32_t> size = parse_count(value);
         if (!size || *size == 0 || *size > font_max_size)
           return UsageError{bad_value(name, value, "1 to 1024, for example 16")};
         invocation.font.size_px = static_cast<int>(*size);
         return std::nullopt;
       }},
      {.long_name = "--range",
       .verbs = font_only,
       .value = "A-B",
       .help = "the characters A to B, or A alone, each in hex (0x41, U+0041) or decimal; repeatable",
       .more = "--range and --chars add up; without either the characters are printable ASCII, 0x20-0x7E. A "
               "character the font lacks is left out, and named on standard error.",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         if (parse_code_point_range(value, invocation.font.code_points)) return std::nullopt;
         return UsageError{bad_value(name, value, "A-B or A, for example 0x20-0x7E, U+00B0 or 48-57")};
       }},
      {.long_name = "--chars",
       .verbs = font_only,
       .value = "TEXT",
       .help = "the characters of TEXT, in UTF-8; repeatable",
       .apply = [](Invocation& invocation, std::string_view name, std::string_view value) -> std::optional<UsageError> {
         // The text is not echoed: what is not UTF-8 would not print as it was typed.
         if (parse_utf8(value, invocation.font.code_points)) return std::nullopt;
         return UsageError{std::string(name) + " takes UTF-8 text, and this is not valid UTF-8"};
       }},
      choice_option<font_depths, font_bpp>(
          "--bpp", font_only, "bits a pixel: coverage levels 2, 4, 16 or 256 (4)",
          "Each pixel takes the level nearest its coverage; 1 lights the pixels at least half covered."),
      {.long_name = "--kerning",
       .verbs = font_only,
       .help = "add the font's kerning pairs among the glyphs chosen",
       .more = "Read from the font's GPOS pair adjustments, or its kern table, in whole pixels in a C header.",
       .apply = [](Invocation& invocation, std::string_view, std::string_view) -> std::optional<UsageError> {
         invocation.font.kerning = true;
         return std::nullopt;
       }},
      {.long_name = "--c-array",
       .verbs = font_only,
       .value = "NAME",
       .help = "the name that the symbols of the C header or LVGL source start with (OUT's stem)",
       .more = "The header declares NAME_bitmaps, NAME_glyphs, NAME_glyph_count, NAME_line_height and "
               "NAME_baseline; the LVGL source the lv_font_t NAME. It must be a C identifier.",
       .apply = [](Invocation& invocation, std::string_view, std::string_view value) -> std::optional<UsageError> {
         invocation.c_array = true;
         invocation.font.c_array = value;
         return std::nullopt;
       }},
      limit_option<font_pixel_limit, count_of_pixels>(
          "--max-pixels", font_only, "the most pixels the glyphs' boxes may cover together (178956970)",
          "Counted from the outlines' bounds before any glyph is drawn: a large --size over a wide range can "
          "ask for gigabytes of bitmaps, and is refused unless N allows it."),
      {.long_name = "--c-attribute",
       .verbs = font_only,
       .value = "TEXT",
       .help = "TEXT after each array's name in the C header or LVGL source, such as PROGMEM or a section",
       .apply = [](Invocation& invocation, std::string_view, std::string_view value) -> std::optional<UsageError> {
         invocation.font.c_attribute = value;
         return std::nullopt;
       }},
      {.long_name = "--lvgl",
       .verbs = font_only,
       .help = "C source declaring an LVGL 9 lv_font_t NAME, in place of the C header",
       .apply = [](Invocation& invocation, std::string_view, std::string_view) -> std::optional<UsageError> {
         invocation.lvgl = true;
         invocation.font.output = FontOutput::lvgl;
         return std::nullopt;
       }},
      {.long_name = "--help",
       .short_name = "-h",
       .verbs = anywhere,
       .help = "print the usage; after a verb, that verb's own, with the layout of one word under the options given",
       .apply = [](Invocation& invocation, std::string_view, std::string_view) -> std::optional<UsageError> {
         invocation.help = true;
         return std::nullopt;
       }},
      {.long_name = "--version",
       .verbs = anywhere,
       .help = "print the version",
       .apply = [](Invocation& invocation, std::string_view, std::string_view) -> std::optional<UsageError> {
         invocation.version = true;
         return std::nullopt;
       }},
  };
  return options;
}

const OptionRow* find_option(std::string_view name, Verb verb) {
  const OptionRow* found = nullptr;
  for (const OptionRow& row : option_table()) {
    if (!row.named(name)) continue;
    if (row.for_verb(verb)) return &row;
    if (found == nullptr) found = &row;
  }
  return found;
}

std::string former_names_note(const OptionRow& row) {
  std::vector<std::string> formers;
  if (!row.former_name.empty()) formers.emplace_back(row.former_name);
  for (const FormerName& former : row.former_choices)
    formers.push_back(std::string(former.old_name) + " for " + std::string(former.new_name));
  if (formers.empty()) return {};
  std::string note = "formerly ";
  for (std::size_t i = 0; i < formers.size(); ++i) {
    if (i != 0) note += i + 1 == formers.size() ? " and " : ", ";
    note += formers[i];
  }
  // Former names last until the next major version, as the version's numbering promises.
  return note + ", accepted until " + std::to_string(TOOL_VERSION_MAJOR + 1) + ".0";
}
