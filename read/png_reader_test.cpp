#include "read/png_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "testing/png_file.h"
#include "testing/test_files.h"

namespace {

// The pixels the tool that made a picture gives for it (png-tests/make.py), as BGRA quads.
Bytes expected_quads(const std::string& name) {
  const std::optional<Bytes> rgba = read_file(std::string(PNG_TESTS) + "/" + name + ".rgba");
  if (!rgba) return {};
  Bytes quads(*rgba);
  for (std::size_t k = 0; k + 3 < quads.size(); k += 4) std::swap(quads[k], quads[k + 2]);
  return quads;
}

Bytes read_whole(ByteWindows& bytes, std::string& refusal) {
  std::variant<std::monostate, PngReader, Failure> opened = PngReader::open(bytes, std::uint64_t{1} << 32);
  if (const Failure* failed = std::get_if<Failure>(&opened)) {
    refusal = failed->reason;
    return {};
  }
  if (!std::holds_alternative<PngReader>(opened)) {
    refusal = "not a PNG";
    return {};
  }
  PngReader& reader = std::get<PngReader>(opened);
  Bytes quads(std::size_t{reader.width()} * reader.height() * 4);
  if (std::optional<Failure> failed = reader.read_whole(quads)) refusal = failed->reason;
  return quads;
}

// Pictures made and decoded by Pillow and ImageMagick: every colour type at every depth, tRNS,
// Adam7 at sizes with empty passes, and rows filtered by hand with each of the five filters.
class PngPictures : public testing::TestWithParam<const char*> {};

TEST_P(PngPictures, GiveTheToolsPixels) {
  const std::string name = GetParam();
  const std::optional<Bytes> file = read_file(std::string(PNG_TESTS) + "/" + name + ".png");
  ASSERT_TRUE(file.has_value());
  const Bytes expected = expected_quads(name);
  ASSERT_FALSE(expected.empty());

  SpanByteWindows bytes(*file);
  std::string refusal;
  EXPECT_EQ(read_whole(bytes, refusal), expected);
  EXPECT_EQ(refusal, "");

  // Bands of three rows, through windows of 16 bytes of the file, twice over: the second walk
  // starts again from the first IDAT.
  TempDir dir;
  write_file(dir.file("in.png"), *file);
  std::variant<FileView, SystemError> view = FileView::open(dir.file("in.png").c_str(), ViewKind::read_only, 16);
  ASSERT_TRUE(std::holds_alternative<FileView>(view));
  ViewByteWindows windows(std::get<FileView>(view), 16);
  std::variant<std::monostate, PngReader, Failure> opened = PngReader::open(windows, std::uint64_t{1} << 32);
  ASSERT_TRUE(std::holds_alternative<PngReader>(opened));
  PngReader& reader = std::get<PngReader>(opened);
  if (reader.interlaced()) return;
  for (int walk = 0; walk < 2; ++walk) {
    Bytes banded;
    for (std::uint32_t first = 0; first < reader.height(); first += 3) {
      auto rows = reader.next_rows(std::min<std::uint32_t>(3, reader.height() - first));
      ASSERT_TRUE(std::holds_alternative<std::span<const std::uint8_t>>(rows)) << std::get<Failure>(rows).reason;
      const auto band = std::get<std::span<const std::uint8_t>>(rows);
      banded.insert(banded.end(), band.begin(), band.end());
    }
    EXPECT_EQ(banded, expected) << "walk " << walk;
    ASSERT_EQ(reader.restart(), std::nullopt);
  }
}

INSTANTIATE_TEST_SUITE_P(MadeByTools, PngPictures,
                         testing::Values("grey1", "grey2", "grey4", "grey8", "grey16", "palette1", "palette2",
                                         "palette4", "palette8", "palette4-trns", "rgb8", "rgb16", "grey-alpha8",
                                         "grey-alpha16", "rgba8", "rgba16", "grey8-key", "rgb8-key", "adam7-rgba8",
                                         "adam7-grey2", "adam7-palette1", "adam7-rgb16", "filters-rgb8",
                                         "filters-grey16"),
                         [](const testing::TestParamInfo<const char*>& param_info) {
                           std::string name = param_info.param;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

// A 2 x 2 grey picture, its rows unfiltered: 0x10 0x20 / 0x30 0x40.
const Bytes grey_rows{0, 0x10, 0x20, 0, 0x30, 0x40};
const Bytes grey_header = png_ihdr(2, 2, 8, 0);
const Bytes grey_pixels = png_chunk("IDAT", png_deflated(grey_rows));
const Bytes end_chunk = png_chunk("IEND", {});

Bytes with_byte(Bytes bytes, std::size_t at, std::uint8_t value) {
  bytes.at(at) = value;
  return bytes;
}

Bytes first(const Bytes& bytes, std::size_t count) { return Bytes(bytes.begin(), bytes.begin() + count); }
Bytes after(const Bytes& bytes, std::size_t count) { return Bytes(bytes.begin() + count, bytes.end()); }

struct Damaged {
  const char* name;
  Bytes file;
  const char* reason;
  Fault fault = Fault::cannot_open;
};

void PrintTo(const Damaged& damaged, std::ostream* out) { *out << damaged.name; }

class DamagedPngs : public testing::TestWithParam<Damaged> {};

TEST_P(DamagedPngs, AreRefusedWithTheReason) {
  const Damaged& c = GetParam();
  SpanByteWindows bytes(c.file);
  std::variant<std::monostate, PngReader, Failure> opened = PngReader::open(bytes, 1000);
  std::optional<Failure> failure;
  if (Failure* failed = std::get_if<Failure>(&opened)) failure = *failed;
  if (PngReader* reader = std::get_if<PngReader>(&opened)) {
    Bytes quads(std::size_t{reader->width()} * reader->height() * 4);
    failure = reader->read_whole(quads);
  }
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->reason, c.reason);
  EXPECT_EQ(failure->fault, c.fault);
}

const Bytes sound = png_of({grey_header, grey_pixels, end_chunk});

INSTANTIATE_TEST_SUITE_P(
    Refusals, DamagedPngs,
    testing::Values(
        Damaged{"HeaderCrc", with_byte(sound, 29, sound[29] ^ 1), "the PNG is damaged: chunk IHDR fails its CRC check"},
        Damaged{"PixelDataCrc", with_byte(sound, sound.size() - 13, sound[sound.size() - 13] ^ 1),
                "the PNG is damaged: chunk IDAT fails its CRC check"},
        Damaged{"AncillaryCrc",
                png_of({grey_header, with_byte(png_chunk("tEXt", {'a', 0, 'b'}), 11, 0), grey_pixels, end_chunk}),
                "the PNG is damaged: chunk tEXt fails its CRC check"},
        Damaged{"CutInThePixelData", first(sound, sound.size() - 20), "the PNG is cut short"},
        Damaged{"NoEnd", png_of({grey_header, grey_pixels}), "the PNG is cut short"},
        Damaged{"FilterType5", png_of({grey_header, png_chunk("IDAT", png_deflated({5, 1, 2, 0, 3, 4})), end_chunk}),
                "the PNG is damaged: a row has filter type 5; the filters are 0 to 4"},
        Damaged{"NotZlib", png_of({grey_header, png_chunk("IDAT", {0x78, 0x9D, 1, 2, 3}), end_chunk}),
                "the PNG is damaged: its pixel data cannot be inflated: incorrect header check"},
        Damaged{"OneRowShort", png_of({grey_header, png_chunk("IDAT", png_deflated(first(grey_rows, 3))), end_chunk}),
                "the PNG is damaged: its pixel data (IDAT) ends before the last row"},
        Damaged{"ARowTooMany",
                png_of({grey_header, png_chunk("IDAT", png_deflated({0, 1, 2, 0, 3, 4, 0, 5, 6})), end_chunk}),
                "the PNG is damaged: its pixel data (IDAT) runs on past the last row"},
        Damaged{"BytesAfterTheStream", png_of({grey_header, grey_pixels, png_chunk("IDAT", {0}), end_chunk}),
                "the PNG is damaged: its pixel data (IDAT) runs on past the last row"},
        Damaged{
            "StreamWithoutItsEnd",
            png_of({grey_header, png_chunk("IDAT", first(png_deflated(grey_rows), png_deflated(grey_rows).size() - 4)),
                    end_chunk}),
            "the PNG is damaged: its pixel data (IDAT) is cut short after the last row"},
        Damaged{"PaletteWithoutPlte", png_of({png_ihdr(2, 2, 8, 3), grey_pixels, end_chunk}),
                "the PNG is damaged: a palette picture has no palette (PLTE)"},
        Damaged{"IndexPastThePalette",
                png_of({png_ihdr(2, 2, 8, 3), png_chunk("PLTE", {1, 2, 3, 4, 5, 6}),
                        png_chunk("IDAT", png_deflated({0, 1, 0, 0, 2, 1})), end_chunk}),
                "the PNG is damaged: a pixel names palette entry 2 of a palette of 2"},
        Damaged{"NoWidth", png_of({png_ihdr(0, 2, 8, 0), grey_pixels, end_chunk}),
                "the PNG is damaged: its IHDR declares 0 x 2 pixels"},
        Damaged{"RgbAt4Bits", png_of({png_ihdr(2, 2, 4, 2), grey_pixels, end_chunk}),
                "the PNG is damaged: its IHDR declares colour type 2 at 4 bits, which the format does not have"},
        Damaged{"ColourType5", png_of({png_ihdr(2, 2, 8, 5), grey_pixels, end_chunk}),
                "the PNG is damaged: its IHDR declares colour type 5 at 8 bits, which the format does not have"},
        Damaged{"CompressionMethod1", png_of({png_ihdr(2, 2, 8, 0, 0, 1), grey_pixels, end_chunk}),
                "the PNG is damaged: its IHDR declares compression method 1 and filter method 0; the format has "
                "only 0"},
        Damaged{"FilterMethod1", png_of({png_ihdr(2, 2, 8, 0, 0, 0, 1), grey_pixels, end_chunk}),
                "the PNG is damaged: its IHDR declares compression method 0 and filter method 1; the format has "
                "only 0"},
        Damaged{"InterlaceMethod2", png_of({png_ihdr(2, 2, 8, 0, 2), grey_pixels, end_chunk}),
                "the PNG is damaged: its IHDR declares interlace method 2"},
        Damaged{"UnknownCriticalChunk", png_of({grey_header, png_chunk("ABCD", {}), grey_pixels, end_chunk}),
                "the PNG is damaged: it has a critical chunk ABCD that is not known"},
        Damaged{"UnknownCriticalChunkAfterThePixels",
                png_of({grey_header, grey_pixels, png_chunk("ABCD", {}), end_chunk}),
                "the PNG is damaged: chunk ABCD is critical but not known"},
        Damaged{"PixelDataInTwoRuns",
                png_of({grey_header, grey_pixels, png_chunk("tEXt", {'a', 0}), png_chunk("IDAT", {}), end_chunk}),
                "the PNG is damaged: its IDAT chunks are not one after another"},
        // The pixel data split by a chunk before the last row: said so, not "ends before the last row".
        Damaged{"PixelDataSplitBeforeTheLastRow",
                png_of({grey_header, png_chunk("IDAT", first(png_deflated(grey_rows), 4)), png_chunk("tEXt", {'a', 0}),
                        png_chunk("IDAT", after(png_deflated(grey_rows), 4)), end_chunk}),
                "the PNG is damaged: its IDAT chunks are not one after another"},
        // A zlib header with FDICT set (0x78 0x20: 0x7820 is 31 x 992) and a dictionary's Adler-32.
        Damaged{"PresetDictionary", png_of({grey_header, png_chunk("IDAT", {0x78, 0x20, 0, 0, 0, 1, 3, 0}), end_chunk}),
                "the PNG is damaged: its pixel data asks for a preset dictionary, which a PNG's compressed data "
                "may not use"},
        Damaged{"NoPixelData", png_of({grey_header, end_chunk}),
                "the PNG is damaged: it ends before any pixel data (IDAT)"},
        Damaged{"FirstChunkNotTheHeader", png_of({grey_pixels, grey_header, end_chunk}),
                "the PNG is damaged: it does not start with its 13-byte IHDR chunk"},
        Damaged{"OverThePixelLimit", png_of({png_ihdr(1001, 1, 8, 0), grey_pixels, end_chunk}),
                "1001 x 1 pixels, more than the 1000 a compressed picture may have (--max-pixels raises the limit)",
                Fault::unsupported}),
    [](const testing::TestParamInfo<Damaged>& param_info) { return std::string(param_info.param.name); });

// The eXIf chunk's bytes, before or after the pixels; other ancillary chunks are skipped.
TEST(PngReader, KeepsTheExifChunksBytes) {
  const Bytes exif{'M', 'M', 0, 42, 0, 0, 0, 8};
  for (const Bytes& file :
       {png_of({grey_header, png_chunk("eXIf", exif), png_chunk("zzZz", {1}), grey_pixels, end_chunk}),
        png_of({grey_header, grey_pixels, png_chunk("zzZz", {1}), png_chunk("eXIf", exif), end_chunk})}) {
    SpanByteWindows bytes(file);
    std::string refusal;
    EXPECT_EQ(read_whole(bytes, refusal),
              (Bytes{0x10, 0x10, 0x10, 255, 0x20, 0x20, 0x20, 255, 0x30, 0x30, 0x30, 255, 0x40, 0x40, 0x40, 255}));
    EXPECT_EQ(refusal, "");
    std::variant<std::monostate, PngReader, Failure> opened = PngReader::open(bytes, 100);
    PngReader& reader = std::get<PngReader>(opened);
    Bytes quads(16);
    ASSERT_EQ(reader.read_whole(quads), std::nullopt);
    EXPECT_EQ(Bytes(reader.exif().begin(), reader.exif().end()), exif);
  }
}

TEST(PngReader, LeavesOtherFilesToOtherReaders) {
  for (const Bytes& file : {Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}, Bytes{0x89, 'P', 'N'}}) {
    SpanByteWindows bytes(file);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(PngReader::open(bytes, 100)));
  }
}

// Rows read on from a mark are the rows read straight: grey pixels whose value is their row's
// number plus their column's, each row stored with the Up filter, so a row comes out right only
// when the row before it came back with the mark. The IDAT is split in chunks of 7 bytes, so that
// marks fall inside a chunk with input zlib has not taken yet.
TEST(PngReader, ReadsOnFromAMarkAsStraightOn) {
  constexpr std::uint32_t width = 5, height = 40;
  Bytes raw;
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(2);  // Up: each byte less the one above it
    for (std::uint32_t x = 0; x < width; ++x) raw.push_back(static_cast<std::uint8_t>(y == 0 ? x : 1));
  }
  const Bytes deflated = png_deflated(raw);
  Bytes file = png_of({png_ihdr(width, height, 8, 0)});
  for (std::size_t at = 0; at < deflated.size(); at += 7) {
    const Bytes piece(deflated.begin() + static_cast<std::ptrdiff_t>(at),
                      deflated.begin() + static_cast<std::ptrdiff_t>(std::min(at + 7, deflated.size())));
    const Bytes chunk = png_chunk("IDAT", piece);
    file.insert(file.end(), chunk.begin(), chunk.end());
  }
  const Bytes end = png_chunk("IEND", {});
  file.insert(file.end(), end.begin(), end.end());

  SpanByteWindows bytes(file);
  std::variant<std::monostate, PngReader, Failure> opened = PngReader::open(bytes, 1000);
  ASSERT_TRUE(std::holds_alternative<PngReader>(opened));
  PngReader& reader = std::get<PngReader>(opened);
  // The grey of row y, column x, as a quad's blue.
  const auto row_is = [&](std::span<const std::uint8_t> quads, std::uint32_t y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      if (quads[4 * x] != y + x) return false;
    }
    return true;
  };
  std::vector<PngReader::Mark> marks;
  for (std::uint32_t y = 0; y < height; ++y) {
    if (y % 13 == 0) {
      std::variant<PngReader::Mark, Failure> mark = reader.mark();
      ASSERT_TRUE(std::holds_alternative<PngReader::Mark>(mark));
      marks.push_back(std::get<PngReader::Mark>(std::move(mark)));
    }
    std::variant<std::span<const std::uint8_t>, Failure> rows = reader.next_rows(1);
    ASSERT_TRUE(std::holds_alternative<std::span<const std::uint8_t>>(rows));
    EXPECT_TRUE(row_is(std::get<std::span<const std::uint8_t>>(rows), y)) << y;
  }
  // From the last mark up to the first, each read to the end of the picture: the IDAT chunks' CRCs
  // and the chunks after them are checked again each time.
  for (auto mark = marks.rbegin(); mark != marks.rend(); ++mark) {
    ASSERT_EQ(reader.resume(*mark), std::nullopt);
    for (std::uint32_t y = mark->row(); y < height; ++y) {
      std::variant<std::span<const std::uint8_t>, Failure> rows = reader.next_rows(1);
      ASSERT_TRUE(std::holds_alternative<std::span<const std::uint8_t>>(rows)) << std::get<Failure>(rows).reason;
      EXPECT_TRUE(row_is(std::get<std::span<const std::uint8_t>>(rows), y)) << "from row " << mark->row() << ": " << y;
    }
  }
}

}  // namespace
