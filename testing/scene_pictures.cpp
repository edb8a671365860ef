#include "testing/scene_pictures.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A small, fast generator whose sequence is the same everywhere (xorshift32).
struct Random {
  std::uint32_t state;
  std::uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};

std::uint8_t clamp8(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

// Value noise: random values on a grid `cell` pixels apart, blended bilinearly in between; 0 to 255.
struct Noise {
  std::uint32_t cell;
  std::uint32_t columns;
  std::vector<std::uint8_t> lattice;

  Noise(std::uint32_t width, std::uint32_t height, std::uint32_t cell_size, Random& random)
      : cell(cell_size), columns(width / cell_size + 2) {
    lattice.resize(std::size_t{columns} * (height / cell_size + 2));
    for (std::uint8_t& v : lattice) v = static_cast<std::uint8_t>(random.next() >> 24);
  }
  int at(std::uint32_t x, std::uint32_t y) const {
    const std::uint32_t gx = x / cell, gy = y / cell;
    const int fx = static_cast<int>(x % cell), fy = static_cast<int>(y % cell), c = static_cast<int>(cell);
    const auto v = [&](std::uint32_t i, std::uint32_t j) { return static_cast<int>(lattice[j * columns + i]); };
    const int top = v(gx, gy) * (c - fx) + v(gx + 1, gy) * fx;
    const int bottom = v(gx, gy + 1) * (c - fx) + v(gx + 1, gy + 1) * fx;
    return (top * (c - fy) + bottom * fy) / (c * c);
  }
};

std::vector<BgrTriple> photograph(std::uint32_t width, std::uint32_t height, Random& random) {
  const std::uint32_t large = std::max<std::uint32_t>(8, std::min(width, height) / 3);
  const Noise shapes(width, height, large, random), light(width, height, large * 2, random);
  const Noise texture(width, height, std::max<std::uint32_t>(2, large / 8), random);
  const Noise hue(width, height, large, random);
  const int tint_r = random.below(80) - 40, tint_b = random.below(80) - 40;
  std::vector<BgrTriple> pixels(std::size_t{width} * height);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      // Brighter towards the top, as under a sky, with shapes and texture on top.
      const int base = 40 + static_cast<int>(120 * (height - y) / height) + (shapes.at(x, y) - 128) / 2 +
                       (light.at(x, y) - 128) / 3 + (texture.at(x, y) - 128) / 6;
      const int h = hue.at(x, y) - 128;
      const int grain = random.below(7) - 3;
      pixels[std::size_t{y} * width + x] = BgrTriple{
          clamp8(base - h / 3 + tint_b + grain), clamp8(base + h / 5 + grain), clamp8(base + h / 2 + tint_r + grain)};
    }
  }
  return pixels;
}

std::vector<BgrTriple> drawing(std::uint32_t width, std::uint32_t height, Random& random) {
  std::vector<BgrTriple> pixels(std::size_t{width} * height);
  const BgrTriple from{clamp8(random.below(256)), clamp8(random.below(256)), clamp8(random.below(256))};
  const BgrTriple to{clamp8(random.below(256)), clamp8(random.below(256)), clamp8(random.below(256))};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const int t = static_cast<int>(256 * (x + y) / (width + height));
      const auto mix = [t](int a, int b) { return clamp8(a + (b - a) * t / 256); };
      pixels[std::size_t{y} * width + x] =
          BgrTriple{mix(from.blue, to.blue), mix(from.green, to.green), mix(from.red, to.red)};
    }
  }
  // Discs of flat colour with edges covered in sixteenths, as a renderer smooths them.
  const int discs = 3 + random.below(6);
  for (int d = 0; d < discs; ++d) {
    const int cx = random.below(static_cast<int>(width)), cy = random.below(static_cast<int>(height));
    const int r = 4 + random.below(static_cast<int>(std::max<std::uint32_t>(8, std::min(width, height) / 3)));
    const BgrTriple colour{clamp8(random.below(256)), clamp8(random.below(256)), clamp8(random.below(256))};
    for (int y = std::max(0, cy - r - 1); y < std::min(static_cast<int>(height), cy + r + 2); ++y) {
      for (int x = std::max(0, cx - r - 1); x < std::min(static_cast<int>(width), cx + r + 2); ++x) {
        int covered = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx) {
            const int dx = 4 * (x - cx) + sx - 2, dy = 4 * (y - cy) + sy - 2;
            covered += dx * dx + dy * dy <= 16 * r * r;
          }
        BgrTriple& p = pixels[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
        p = BgrTriple{clamp8(p.blue + (colour.blue - p.blue) * covered / 16),
                      clamp8(p.green + (colour.green - p.green) * covered / 16),
                      clamp8(p.red + (colour.red - p.red) * covered / 16)};
      }
    }
  }
  // Dark horizontal and vertical strokes, like a frame or text baselines.
  const int lines = 2 + random.below(5);
  for (int l = 0; l < lines; ++l) {
    const bool across = random.below(2) == 0;
    const int at = random.below(static_cast<int>(across ? height : width));
    for (std::uint32_t i = 0; i < (across ? width : height); ++i) {
      const std::size_t k = across ? static_cast<std::size_t>(at) * width + i : std::size_t{i} * width + at;
      pixels[k] = BgrTriple{20, 20, 20};
    }
  }
  return pixels;
}

}  // namespace

std::vector<BgrTriple> make_scene(Scene scene, std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
  Random random{seed * 2654435761u + 1};
  return scene == Scene::photograph ? photograph(width, height, random) : drawing(width, height, random);
}

std::vector<std::uint8_t> raw_dump(const std::vector<BgrTriple>& pixels, std::string_view format, bool high_first) {
  std::vector<std::uint8_t> out;
  for (const BgrTriple& p : pixels) {
    if (format == "rgb565") {
      const unsigned word = (p.red >> 3) << 11 | (p.green >> 2) << 5 | p.blue >> 3;
      const std::uint8_t low = static_cast<std::uint8_t>(word), high = static_cast<std::uint8_t>(word >> 8);
      out.insert(out.end(), high_first ? std::initializer_list<std::uint8_t>{high, low}
                                       : std::initializer_list<std::uint8_t>{low, high});
    } else if (format == "rgb444") {
      const unsigned word = (p.red >> 4) << 8 | (p.green >> 4) << 4 | p.blue >> 4;
      const std::uint8_t low = static_cast<std::uint8_t>(word), high = static_cast<std::uint8_t>(word >> 8);
      out.insert(out.end(), high_first ? std::initializer_list<std::uint8_t>{high, low}
                                       : std::initializer_list<std::uint8_t>{low, high});
    } else if (format == "rgb666") {
      out.insert(out.end(), {static_cast<std::uint8_t>(p.red & 0xFC), static_cast<std::uint8_t>(p.green & 0xFC),
                             static_cast<std::uint8_t>(p.blue & 0xFC)});
    } else if (format == "rgb888") {
      out.insert(out.end(), high_first ? std::initializer_list<std::uint8_t>{p.red, p.green, p.blue}
                                       : std::initializer_list<std::uint8_t>{p.blue, p.green, p.red});
    } else if (format == "xrgb8888" || format == "argb8888") {
      // The padding byte of a format without alpha; or an alpha opaque but where the picture is
      // darkest, which fades out, as around a sprite.
      const std::uint8_t a = format == "xrgb8888" || p.green >= 64 ? 0xFF : static_cast<std::uint8_t>(p.green * 4);
      out.insert(out.end(), high_first ? std::initializer_list<std::uint8_t>{a, p.red, p.green, p.blue}
                                       : std::initializer_list<std::uint8_t>{p.blue, p.green, p.red, a});
    } else {
      // Luma by the Rec. 601 weights, in integers.
      out.push_back(static_cast<std::uint8_t>((77 * p.red + 150 * p.green + 29 * p.blue + 128) >> 8));
    }
  }
  return out;
}
