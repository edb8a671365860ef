// How often the probe's first guess is right. Not a test: a measurement, run by scripts/bench.sh.
//
//   raw_probe_hit_rate             dumps of made-up photographs and drawings at sizes from 64 x 48 to
//                                  1024 x 600, in each probed format and byte order: the rate and
//                                  each miss.
//   raw_probe_hit_rate MANIFEST SET  the dumps that other tools wrote (scripts/bench/make_probe_set.py
//                                  lists them in MANIFEST), those of SET (tune, heldout, fresh, unseen,
//                                  unseen2 ... unseen10): for each kind of picture and
//                                  each format, how many first guesses are right, and what `unpack
//                                  --size auto --format auto` does with each dump (writes the right
//                                  picture, refuses, or writes a wrong one);
//                                  then how often guesses given at each confidence are right.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "read/raw_probe.h"
#include "testing/scene_pictures.h"

namespace {

constexpr std::pair<std::uint32_t, std::uint32_t> sizes[] = {
    {64, 48},   {80, 60},   {96, 64},   {100, 75},  {128, 64},  {128, 128}, {128, 160}, {135, 240},  {160, 80},
    {160, 128}, {172, 320}, {173, 97},  {176, 144}, {200, 200}, {220, 176}, {240, 135}, {240, 240},  {240, 320},
    {250, 122}, {273, 187}, {296, 128}, {320, 172}, {320, 240}, {321, 239}, {333, 200}, {399, 401},  {400, 300},
    {427, 240}, {480, 272}, {480, 320}, {555, 333}, {640, 480}, {800, 480}, {800, 600}, {1024, 600},
};

struct Layout {
  const char* format;
  bool high_first;
};
constexpr Layout layouts[] = {
    {"rgb565", false},  {"rgb565", true},    {"rgb444", false},  {"rgb444", true},
    {"rgb888", false},  {"rgb888", true},    {"rgb666", false},  {"xrgb8888", false},
    {"xrgb8888", true}, {"argb8888", false}, {"argb8888", true}, {"gray8", false},
};

ProbeResult probe(const std::vector<std::uint8_t>& dump) {
  std::vector<RawSample> samples;
  for (const ByteRange& range : probe_ranges(dump.size()))
    samples.push_back({range.offset, {dump.data() + range.offset, static_cast<std::size_t>(range.length)}});
  return probe_raw(dump.size(), samples);
}

std::string describe(const ProbeGuess& guess) {
  return std::string(guess.format->name) + (guess.bytes == ByteOrder::high_first ? " be " : " le ") +
         std::to_string(guess.width) + "x" + std::to_string(guess.height);
}

struct Tally {
  int dumps = 0, first_right = 0, written = 0, refused = 0, wrong = 0;
  void add(bool right, bool confident) {
    ++dumps;
    first_right += right;
    written += right && confident;
    refused += !confident;
    wrong += !right && confident;
  }
};

void print_tally(const std::string& name, const Tally& t) {
  std::printf("%-22s %5d dumps  first right %5d (%5.1f %%)  written right %5d  refused %5d  wrong %3d\n", name.c_str(),
              t.dumps, t.first_right, 100.0 * t.first_right / std::max(1, t.dumps), t.written, t.refused, t.wrong);
}

bool read_file(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int measure_manifest(const char* manifest_path, const std::string& wanted_set, bool verbose) {
  std::ifstream manifest(manifest_path);
  if (!manifest) {
    std::fprintf(stderr, "cannot read %s\n", manifest_path);
    return 1;
  }
  std::map<std::string, Tally> by_kind, by_format;
  Tally all;
  // Guesses by their stated confidence, in tenths: how many were given, how many were right.
  int given[11] = {}, right_at[11] = {};
  double slowest = 0;
  std::string line;
  std::vector<std::uint8_t> dump;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string path, width, height, formats, order, kind, set, source, written_as;
    std::getline(fields, path, '\t');
    std::getline(fields, width, '\t');
    std::getline(fields, height, '\t');
    std::getline(fields, formats, '\t');
    std::getline(fields, order, '\t');
    std::getline(fields, kind, '\t');
    std::getline(fields, set, '\t');
    std::getline(fields, source, '\t');
    std::getline(fields, written_as, '\t');
    if (set != wanted_set || !read_file(path, dump)) continue;
    const auto start = std::chrono::steady_clock::now();
    const ProbeResult result = probe(dump);
    slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    const auto is_right = [&](const ProbeGuess& guess) {
      bool format_right = false;
      std::istringstream names(formats);
      for (std::string name; std::getline(names, name, ',');) format_right = format_right || name == guess.format->name;
      return format_right && std::to_string(guess.width) == width && std::to_string(guess.height) == height &&
             (order == "-" || !guess.order_told || (guess.bytes == ByteOrder::high_first) == (order == "be"));
    };
    const bool right = !result.ranked.empty() && is_right(result.ranked[0]);
    const bool confident = result.verdict == ProbeVerdict::confident;
    all.add(right, confident);
    by_kind[kind].add(right, confident);
    by_format[written_as].add(right, confident);
    for (const ProbeGuess& guess : result.ranked) {
      const int tenth = std::min(10, guess.confidence / 10);
      ++given[tenth];
      right_at[tenth] += is_right(guess);
    }
    if (verbose && (!right || !confident)) {
      std::printf("%s %s: %s, first guess %s (%d %%)\n",
                  right       ? "refused"
                  : confident ? "WRONG"
                              : "miss",
                  path.c_str(), confident ? "confident" : "unsure",
                  result.ranked.empty() ? "none" : describe(result.ranked[0]).c_str(),
                  result.ranked.empty() ? 0 : result.ranked[0].confidence);
      for (std::size_t i = 1; i < result.ranked.size() && i < 3; ++i)
        std::printf("    then %s (score %.3f against %.3f)\n", describe(result.ranked[i]).c_str(),
                    result.ranked[i].score, result.ranked[0].score);
    }
  }
  for (const auto& [kind, tally] : by_kind) print_tally(kind, tally);
  for (const auto& [format, tally] : by_format) print_tally(format, tally);
  print_tally("all", all);
  std::printf("confidence   guesses  right\n");
  for (int tenth = 0; tenth <= 10; ++tenth) {
    if (given[tenth] == 0) continue;
    std::printf("%3d-%3d %%  %8d  %5.1f %%\n", tenth * 10, std::min(100, tenth * 10 + 9), given[tenth],
                100.0 * right_at[tenth] / given[tenth]);
  }
  std::printf("slowest probe %.3f s\n", slowest);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3) return measure_manifest(argv[1], argv[2], argc > 3);
  int dumps = 0, hits = 0, confident = 0;
  double slowest = 0;
  for (const auto& [width, height] : sizes) {
    for (const Scene scene : {Scene::photograph, Scene::drawing}) {
      const std::vector<BgrTriple> picture = make_scene(scene, width, height, width * 7 + height);
      for (const Layout& layout : layouts) {
        const std::vector<std::uint8_t> dump = raw_dump(picture, layout.format, layout.high_first);
        const auto start = std::chrono::steady_clock::now();
        const ProbeResult result = probe(dump);
        slowest = std::max(slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        ++dumps;
        // A three-byte pixel's byte order is its channel order, which the content cannot tell.
        const std::string format = layout.format;
        const bool order_matters = format != "gray8" && format != "rgb888" && format != "rgb666";
        const bool hit = !result.ranked.empty() && result.ranked[0].format->name == layout.format &&
                         result.ranked[0].width == width && result.ranked[0].height == height &&
                         (!order_matters || (result.ranked[0].bytes == ByteOrder::high_first) == layout.high_first);
        hits += hit;
        confident += hit && result.verdict == ProbeVerdict::confident;
        if (!hit) {
          std::printf("miss: %s %s %s %ux%u: first guess %s\n", scene == Scene::photograph ? "photograph" : "drawing",
                      layout.format, layout.high_first ? "be" : "le", width, height,
                      result.ranked.empty() ? "none" : describe(result.ranked[0]).c_str());
        }
      }
    }
  }
  std::printf("first guess right: %d of %d dumps (%.1f %%), %d of them confident; slowest probe %.3f s\n", hits, dumps,
              100.0 * hits / dumps, confident, slowest);
  return 0;
}
