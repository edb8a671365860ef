// rgb565 on Linux: its C headers read by the host's C compiler, and a failed write made real.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "files/view_access.h"
#include "jobs/pack.h"
#include "jobs/pack_fixed_stride.h"
#include "jobs/subtract.h"
#include "jobs/unpack.h"
#include "testing/console_run.h"
#include "testing/file_size_limit.h"
#include "testing/immutable.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

// Standard input's copy, when the job needs one, lives in the system's temporary folder only while
// the run lasts, whether the conversion succeeds or is refused.
TEST(Rgb565Posix, LeavesNothingInTheTemporaryFolder) {
  TempDir temporary;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("TMPDIR", temporary.path().c_str(), 1);
  const struct {
    std::vector<std::string> arguments;
    Bytes input;
    int code;
  } cases[] = {
      {{"unpack", "--size", "2x1", "-", "-"}, {0x00, 0xF8, 0x1F, 0x00}, 0},
      {{"pack", "-", "-"}, {'h', 'e', 'l', 'l', 'o'}, 1},
  };
  for (const auto& c : cases) {
    const Rgb565Run run = rgb565(c.arguments, c.input);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path())) << testing::PrintToString(c.arguments);
  }
  if (old != nullptr) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
}

// A copy of standard input that the system refuses to write (here past a file size limit, as a full
// disk would) is refused with the system's reason, and leaves nothing behind.
TEST(Rgb565Posix, AStandardInputThatCannotBeCopiedSaysWhy) {
  TempDir temporary;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("TMPDIR", temporary.path().c_str(), 1);
  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  png.resize(100000, 0);
  Rgb565Run run;
  {
    FileSizeLimit limit(4096);
    run = rgb565({"pack", "-", temporary.file("out.bin")}, png);
  }
  if (old != nullptr) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err.rfind("rgb565: -: Cannot open input: standard input cannot be copied into " +
                              temporary.path().string() + "/rgb565-",
                          0),
            0u)
      << run.err;
  EXPECT_NE(run.err.find("/standard-input: File too large\n"), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
}

// A palette file whose size reads 0 but holds text, as the files of /proc do, is read for its text.
TEST(Rgb565Posix, APaletteFileOfNoSizeIsReadForItsText) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 2, .height = 1}, pattern_pixel));
  const Rgb565Run run =
      rgb565({"pack", "--format", "i4", "--palette", "/proc/self/maps", dir.file("in.bmp"), dir.file("out.bin")});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.err.rfind("rgb565: --palette '/proc/self/maps': line 1 is '", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("', not 'GIMP Palette': not a GIMP palette\n"), std::string::npos) << run.err;
}

// The array a C99 compiler makes of the header holds, in memory, the raw image's bytes under the
// same options; the header included twice still compiles.
TEST(Rgb565Posix, CArrayCompilesToTheRawImagesBytes) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 5, .height = 3}, pattern_pixel));
  const std::vector<std::string> options = {"--rows", "top-down", "--bytes", "be", "--channels", "bgr"};
  std::vector<std::string> raw = {"pack", dir.file("in.bmp"), dir.file("raw.bin")};
  std::vector<std::string> header = {"pack", "--c-array", "logo", dir.file("in.bmp"), dir.file("logo.h")};
  raw.insert(raw.end(), options.begin(), options.end());
  header.insert(header.end(), options.begin(), options.end());
  ASSERT_EQ(rgb565(raw).code, 0);
  ASSERT_EQ(rgb565(header).code, 0);
  write_file(dir.file("dump.c"), [] {
    const std::string program =
        "#include <stdio.h>\n#include \"logo.h\"\n#include \"logo.h\"\n"
        "int main(void) {\n"
        "  if (logo_width != 5 || logo_height != 3 || sizeof logo != 30) return 1;\n"
        "  return fwrite(logo, 1, sizeof logo, stdout) == sizeof logo ? 0 : 1;\n}\n";
    return Bytes(program.begin(), program.end());
  }());
  const std::string compile = std::string(TOOL_HOST_CC) + " -x c -std=c99 -pedantic -Wall -Werror -o " +
                              dir.file("dump") + " " + dir.file("dump.c") + " && " + dir.file("dump") + " > " +
                              dir.file("dumped.bin");
  ASSERT_EQ(std::system(compile.c_str()), 0) << compile;
  EXPECT_EQ(read_file(dir.file("dumped.bin")), read_file(dir.file("raw.bin")));
  const Bytes header_bytes = *read_file(dir.file("logo.h"));
  const std::string text(header_bytes.begin(), header_bytes.end());
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "/* " + dir.file("in.bmp") + ": 5 x 3 pixels, top row first, BGR565, high byte first.");
}

// An output that is the input under any name is refused before anything is read or written.
TEST(Rgb565Posix, RefusesAnOutputThatIsTheInput) {
  TempDir dir;
  const Bytes picture = make_bmp({.width = 3, .height = 2}, pattern_pixel);
  write_file(dir.file("p.bmp"), picture);
  std::filesystem::create_hard_link(dir.file("p.bmp"), dir.file("hard.bin"));
  std::filesystem::create_symlink(dir.file("p.bmp"), dir.file("soft.bin"));
  for (const char* out : {"p.bmp", "hard.bin", "soft.bin"}) {
    EXPECT_EQ(rgb565({"pack", dir.file("p.bmp"), dir.file(out)}).code, 2) << out;
    EXPECT_EQ(rgb565({"unpack", dir.file("p.bmp"), dir.file(out)}).code, 2) << out;
    EXPECT_EQ(read_file(dir.file("p.bmp")), picture) << out;
  }
  // A batch whose output would land on one of its inputs skips that input and converts the rest.
  std::filesystem::create_directory(dir.path() / "out");
  std::filesystem::create_symlink(dir.file("p.bmp"), dir.file("out/p.bin"));
  write_file(dir.file("q.bmp"), picture);
  EXPECT_EQ(rgb565({"pack", "-d", dir.file("out"), dir.file("p.bmp"), dir.file("q.bmp")}).code, 1);
  EXPECT_EQ(read_file(dir.file("p.bmp")), picture);
  EXPECT_TRUE(file_exists(dir.file("out/q.bin")));
}

// A batch leaves out an input whose output it must not write: a second header of one C name (it
// would share the first's include guard and vanish when both are included), and a symbolic link
// already in the folder (it may name any file). Each is told in its input's turn, after an earlier
// input's failure, and the file the link names is untouched.
TEST(Rgb565Posix, BatchSkipsInTheInputsTurn) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "hdr");
  write_file(dir.file("broken.bmp"), Bytes{'n', 'o', 't'});
  write_file(dir.file("a b.bmp"), make_bmp({.width = 2, .height = 1}, pattern_pixel));
  write_file(dir.file("a-b.bmp"), make_bmp({.width = 3, .height = 1}, pattern_pixel));
  write_file(dir.file("linked.bmp"), make_bmp({.width = 1, .height = 1}, pattern_pixel));
  write_file(dir.file("elsewhere.h"), Bytes{'k', 'e', 'p', 't'});
  std::filesystem::create_symlink(dir.file("elsewhere.h"), dir.file("hdr/linked.h"));
  const Rgb565Run run = rgb565({"pack", "--c-array", "", "-j", "2", "-d", dir.file("hdr"), dir.file("broken.bmp"),
                                dir.file("a b.bmp"), dir.file("a-b.bmp"), dir.file("linked.bmp")});
  EXPECT_EQ(run.code, 1);
  const std::size_t broken = run.err.find("rgb565: " + dir.file("broken.bmp") + ": ");
  const std::size_t name = run.err.find("rgb565: " + dir.file("a-b.bmp") +
                                        ": skipped: its C name a_b is an earlier input's; rename one of them\n");
  const std::size_t link = run.err.find("rgb565: " + dir.file("linked.bmp") + ": skipped: " + dir.file("hdr/linked.h") +
                                        " is a symbolic link; -d does not write through links\n");
  EXPECT_LT(broken, name) << run.err;
  EXPECT_LT(name, link) << run.err;
  EXPECT_NE(link, std::string::npos) << run.err;
  EXPECT_NE(run.err.find("1 converted, 3 failed\n"), std::string::npos) << run.err;
  EXPECT_TRUE(file_exists(dir.file("hdr/a b.h")));
  EXPECT_FALSE(file_exists(dir.file("hdr/a-b.h")));
  EXPECT_EQ(read_file(dir.file("elsewhere.h")), (Bytes{'k', 'e', 'p', 't'}));
}

// The headers of one batch compile together: each array is named after its input's stem, made a C
// name, with NAME_ before it when NAME is given.
TEST(Rgb565Posix, BatchHeadersAreNamedAfterTheirInputs) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "out");
  write_file(dir.file("logo.bmp"), make_bmp({.width = 2, .height = 1}, pattern_pixel));
  write_file(dir.file("2-up.bmp"), make_bmp({.width = 3, .height = 1}, pattern_pixel));
  ASSERT_EQ(rgb565({"pack", "--c-array", "", "-d", dir.file("out"), dir.file("logo.bmp"), dir.file("2-up.bmp")}).code,
            0);
  std::filesystem::create_directory(dir.path() / "out/icon");
  ASSERT_EQ(rgb565({"pack", "--c-array=icon", "-d", dir.file("out/icon"), dir.file("logo.bmp")}).code, 0);
  const std::string program =
      "#include \"logo.h\"\n#include \"2-up.h\"\n#include \"icon/logo.h\"\n"
      "int main(void) { return logo_width + _2_up_width + icon_logo_width == 7 && sizeof icon_logo == 4 ? 0 : 1; }\n";
  write_file(dir.file("out/both.c"), Bytes(program.begin(), program.end()));
  const std::string compile = std::string(TOOL_HOST_CC) + " -x c -std=c99 -pedantic -Wall -Werror -o " +
                              dir.file("both") + " " + dir.file("out/both.c") + " && " + dir.file("both");
  EXPECT_EQ(std::system(compile.c_str()), 0) << compile;
}

// An input's path goes into the opening comment of a C header and of LVGL C source: a folder
// whose name ends the comment, or opens another, writes neither code nor a warning.
TEST(Rgb565Posix, APathInACCommentWritesNoCode) {
  TempDir dir;
  const char* const folders[] = {"a*/ int injected = 1; /*", "ends*", "/*opens", "*/*/"};
  for (const char* folder : folders) {
    SCOPED_TRACE(folder);
    const std::filesystem::path inside = dir.path() / "in" / std::filesystem::path(folder).relative_path();
    std::filesystem::create_directories(inside);
    const std::string input = (inside / "in.bmp").string();
    write_file(input, make_bmp({.width = 2, .height = 1}, pattern_pixel));
    for (const std::vector<std::string>& container : {std::vector<std::string>{"--c-array", "logo"},
                                                      {"--c-array", "logo", "--c-type", "bytes"},
                                                      {"--lvgl", "--c-array", "logo"}}) {
      const bool lvgl = container.front() == "--lvgl";
      const std::string out = dir.file(lvgl ? "logo.c" : "logo.h");
      std::vector<std::string> arguments = {"pack", input, out};
      arguments.insert(arguments.end(), container.begin(), container.end());
      ASSERT_EQ(rgb565(arguments).code, 0);
      const std::optional<Bytes> written = read_file(out);
      ASSERT_TRUE(written);
      const std::string text(written->begin(), written->end());
      // The opening comment is one, ended where the code begins.
      const std::size_t end = text.find("*/");
      ASSERT_NE(end, std::string::npos);
      EXPECT_GT(text.find("/*", 2), end) << text;
      EXPECT_EQ(text.substr(end, 4), lvgl ? "*/\n\n" : "*/\n#") << text;
      if (lvgl) continue;
      const std::string program = "#include \"logo.h\"\nint main(void) { return logo_width == 2 ? 0 : 1; }\n";
      write_file(dir.file("main.c"), Bytes(program.begin(), program.end()));
      const std::string compile = std::string(TOOL_HOST_CC) + " -x c -std=c99 -pedantic -Wall -Werror -o " +
                                  dir.file("main") + " " + dir.file("main.c") + " && " + dir.file("main");
      EXPECT_EQ(std::system(compile.c_str()), 0) << text;
    }
  }
}

TEST(Rgb565Posix, AFailedWriteExitsWith1AndLeavesNoFile) {
  TempDir dir;
  write_file(dir.file("in.bmp"), make_bmp({.width = 40, .height = 40}, pattern_pixel));
  int code = 0;
  {
    FileSizeLimit limit(1000);
    code = rgb565({"pack", dir.file("in.bmp"), dir.file("out.bin")}).code;
  }
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(file_exists(dir.file("out.bin")));
}

// Every verb that writes a file, against every output fault Linux can make: exit 1, no partial
// file, the inputs as they were.
TEST(Rgb565Posix, EveryVerbFailsCleanlyOnEveryOutputFault) {
  TempDir dir;
  const Bytes picture = make_bmp({.width = 40, .height = 40}, pattern_pixel);
  const Bytes raw(4000, 0x5A);
  write_file(dir.file("in.bmp"), picture);
  write_file(dir.file("in.bin"), raw);
  write_file(dir.file("sub.bin"), raw);
  std::filesystem::create_directory(dir.path() / "locked");
  std::filesystem::create_directory(dir.path() / "folder");
  const auto verbs = [&](const std::string& out) {
    return std::vector<std::vector<std::string>>{{"pack", dir.file("in.bmp"), out},
                                                 {"pack", "--c-array", "logo", dir.file("in.bmp"), out},
                                                 {"unpack", dir.file("in.bin"), out},
                                                 {"subtract", dir.file("in.bin"), dir.file("sub.bin"), "-o", out}};
  };
  const auto expect_fails = [&](const std::vector<std::string>& arguments, const std::string& out) {
    EXPECT_EQ(rgb565(arguments).code, 1) << testing::PrintToString(arguments);
    if (std::filesystem::is_regular_file(out)) ADD_FAILURE() << "a file was left at " << out;
    EXPECT_EQ(read_file(dir.file("in.bmp")), picture);
    EXPECT_EQ(read_file(dir.file("in.bin")), raw);
  };
  for (const std::string& out : {dir.file("missing/out"), dir.file("folder")}) {
    for (const auto& arguments : verbs(out)) expect_fails(arguments, out);
  }
  for (const auto& arguments : verbs(dir.file("full"))) {
    const FileSizeLimit limit(1000);
    expect_fails(arguments, dir.file("full"));
  }
  const Immutable locked(dir.file("locked"));
  if (!locked.is_set()) GTEST_SKIP() << "the immutable flag cannot be set here";
  for (const auto& arguments : verbs(dir.file("locked/out"))) expect_fails(arguments, dir.file("locked/out"));
}

std::size_t open_descriptors() {
  return static_cast<std::size_t>(
      std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

std::size_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Every file of a long batch is let go: as many descriptors and no more memory after 5,000 files,
// a quarter of them refused, as after the first hundred.
TEST(Rgb565Posix, ALongBatchHoldsNoMoreAtTheEndThanAfterAHundredFiles) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "out");
  const Bytes good = make_bmp({.width = 8, .height = 8}, pattern_pixel);
  const Bytes bad = {'B', 'M', 9, 9};
  std::vector<std::string> arguments = {"pack", "-d", dir.file("out")};
  for (int i = 0; i < 5000; ++i) {
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about "p" + std::to_string(i).
    std::string name = std::to_string(i);
    name.append(".bmp");
    arguments.push_back(dir.file(name));
    write_file(arguments.back(), i % 4 == 3 ? bad : good);
  }
  std::ostream discard(nullptr);
  const auto run = [&](std::size_t inputs) {
    const std::vector<std::string_view> views(arguments.begin(), arguments.begin() + 3 + inputs);
    return run_rgb565(views, {discard, discard, false});
  };
  EXPECT_EQ(run(100), 1);
  const std::size_t descriptors = open_descriptors();
  const std::size_t resident = resident_bytes();
  EXPECT_EQ(run(5000), 1);
  EXPECT_EQ(open_descriptors(), descriptors);
  // The batch's list of 5,000 names and outputs takes about a megabyte of its own; anything kept
  // per file (a page of output, a picture, a codec) would take many times the rest of the slack.
  // AddressSanitizer holds freed memory back on purpose; LeakSanitizer checks that build instead.
#ifndef __SANITIZE_ADDRESS__
  EXPECT_LE(resident_bytes(), resident + 4 * 1024 * 1024);
#else
  static_cast<void>(resident);
#endif
  std::size_t outputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "out")) outputs += entry.file_size() == 128;
  EXPECT_EQ(outputs, 3750u);
}

// Another program cuts a file short right after a job's view of it is made: the job reports the
// file as unreadable, writes no output and never shows "Done"; the program goes on.
std::string file_to_cut;
off_t cut_to = 0;
void cut_after_open(const char* path) {
  if (file_to_cut == path) {
    ASSERT_EQ(truncate(path, cut_to), 0);
  }
}

class CutUnderTheJob : public testing::Test {
 protected:
  void SetUp() override {
    cut_to = 0;
    set_view_opened_hook(&cut_after_open);
  }
  void TearDown() override {
    set_view_opened_hook(nullptr);
    file_to_cut.clear();
  }
  TempDir dir;
};

TEST_F(CutUnderTheJob, EachJobReportsItsInputUnreadable) {
  const Bytes picture = make_bmp({.width = 40, .height = 60}, pattern_pixel);
  const Bytes words(3 * 4096, 0x11);
  const struct {
    DialogJob job;
    Bytes first, second;
    const char* cut;
    const char* status;
  } cases[] = {
      {dialog_job<pack>, picture, {}, "first", "Cannot open input"},
      {dialog_job<pack_fixed_stride>, picture, {}, "first", "Cannot open input"},
      {dialog_job<unpack>, words, {}, "first", "Cannot open input"},
      {subtract_dialog_job, words, words, "first", "Cannot open image"},
      {subtract_dialog_job, words, words, "second", "Cannot open sub image"},
  };
  for (const auto& c : cases) {
    const std::string first = dir.file("first"), second = dir.file("second");
    std::filesystem::remove(second);
    write_file(first, c.first);
    if (!c.second.empty()) write_file(second, c.second);
    file_to_cut = dir.file(c.cut);
    cut_to = 0;
    ScriptedFrame frame(first, second);
    frame.run(c.job);
    EXPECT_EQ(frame.status(), c.status) << c.cut;
    EXPECT_EQ(std::count(frame.statuses().begin(), frame.statuses().end(), "Done"), 0);
    if (c.second.empty()) {
      EXPECT_FALSE(file_exists(second));
    }
  }
}

TEST_F(CutUnderTheJob, OrvaneKeepsWhatItSubtractedAndLeavesTheRest) {
  // The sub image loses all but its first page: that page's words are subtracted, the rest of the
  // image stays as it was.
  write_file(dir.file("image"), Bytes(3 * 4096, 0x11));
  write_file(dir.file("sub"), Bytes(3 * 4096, 0x01));
  file_to_cut = dir.file("sub");
  cut_to = 4096;
  ScriptedFrame frame(dir.file("image"), dir.file("sub"));
  frame.run(subtract_dialog_job);
  EXPECT_EQ(frame.status(), "Cannot open sub image");
  Bytes expected(3 * 4096, 0x11);
  std::fill(expected.begin(), expected.begin() + 4096, 0x10);
  EXPECT_EQ(read_file(dir.file("image")), expected);

  // The command line says how far it got.
  write_file(dir.file("image"), Bytes(3 * 4096, 0x11));
  write_file(dir.file("sub"), Bytes(3 * 4096, 0x01));
  const Rgb565Run run = rgb565({"subtract", dir.file("image"), dir.file("sub")});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "rgb565: " + dir.file("sub") +
                         ": Cannot open sub image: the sub image was cut short while it was read; the image is "
                         "partly changed: its first 4096 of 12288 bytes hold the difference, the rest is as it was\n");
  EXPECT_EQ(read_file(dir.file("image")), expected);
}

// rgb565 unpack writes its BMP a band of about a megabyte at a time. A raw image of 1024 x 1024
// (two megabytes of words, three bands of rows) cut to its first megabyte loses its second band's
// words midway when read bottom row first, and its first band's when read top row first: either
// way the output is abandoned and the file that was at its name stays.
TEST_F(CutUnderTheJob, UnpackInBandsLeavesNoPartOfItsOutput) {
  for (const char* rows : {"stored", "top-down"}) {
    write_file(dir.file("in.bin"), Bytes(std::size_t{2} << 20, 0x11));
    write_file(dir.file("out.bmp"), Bytes{1, 2, 3});
    file_to_cut = dir.file("in.bin");
    cut_to = off_t{1} << 20;
    const Rgb565Run run =
        rgb565({"unpack", "--size", "1024x1024", "--rows", rows, dir.file("in.bin"), dir.file("out.bmp")});
    EXPECT_EQ(run.code, 1) << rows;
    EXPECT_EQ(run.err,
              "rgb565: " + dir.file("in.bin") + ": Cannot open input: the file was cut short while it was read\n");
    EXPECT_EQ(read_file(dir.file("out.bmp")), (Bytes{1, 2, 3})) << rows;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "no new file left behind";
  }
}

TEST_F(CutUnderTheJob, ABatchGoesOnToTheNextFile) {
  std::filesystem::create_directory(dir.path() / "out");
  write_file(dir.file("a.bmp"), make_bmp({.width = 3, .height = 2}, pattern_pixel));
  write_file(dir.file("b.bmp"), make_bmp({.width = 3, .height = -2}, pattern_pixel));
  file_to_cut = dir.file("a.bmp");
  const Rgb565Run run = rgb565({"pack", "-j", "1", "-d", dir.file("out"), dir.file("a.bmp"), dir.file("b.bmp")});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "rgb565: " + dir.file("a.bmp") +
                         ": Cannot open input: the file was cut short while it was read\n1 converted, 1 failed\n");
  EXPECT_FALSE(file_exists(dir.file("out/a.bin")));
  EXPECT_EQ(read_file(dir.file("out/b.bin")), expected_raw({.width = 3, .height = -2}, pattern_pixel));
}

TEST_F(CutUnderTheJob, PackStopsMidBandAndLeavesNoOutput) {
  // Rows of 2,100 bytes make bands of 499 rows; the file loses its rows from the middle of the
  // second band on, after the first band is written.
  write_file(dir.file("in.bmp"), make_bmp({.width = 700, .height = 1200}, pattern_pixel));
  file_to_cut = dir.file("in.bmp");
  cut_to = 54 + 2100 * 700 + 5;
  const Rgb565Run run = rgb565({"pack", dir.file("in.bmp"), dir.file("out.bin")});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err,
            "rgb565: " + dir.file("in.bmp") + ": Cannot open input: the file was cut short while it was read\n");
  EXPECT_FALSE(file_exists(dir.file("out.bin")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
