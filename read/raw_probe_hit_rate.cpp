// How often the probe's first guess is right: dumps of made-up photographs and drawings at sizes
// from 64 x 48 to 1024 x 600 (odd widths and common panels among them), in each probed format and
// byte order. Prints the rate, each miss, and the three refusals the probe must make. Not a test: a
// measurement, run by scripts/bench.sh.  Usage: raw_probe_hit_rate
#include <chrono>
#include <cstdio>
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

}  // namespace

int main() {
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
