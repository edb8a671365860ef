// The files of one program's GUI test: gui_test_fixture KEY FOLDER writes the program's input
// files into FOLDER and the bytes that the program must produce into FOLDER\expected, then prints
// four lines: the program's caption, as the program table gives it, and three names inside FOLDER:
// what to type into the first field, what to type into the second, and the file that must end up
// equal to "expected".
//
// Every program of the program table (programs/programs.cmake) gets a GUI test, and each needs its
// case here.
#include <cstdint>
#include <cstdio>
#include <string>

#include "pixels/little_endian.h"
#include "programs/programs.h"
#include "testing/bmp_output_header.h"
#include "testing/test_files.h"

namespace {

struct Case {
  std::string first;
  std::string second;
  std::string result;
};

// A picture whose rows carry padding (5 pixels: 15 bytes, stored as 16) and differ from one
// another, so that a wrong stride or row order shows in the output.
Case kestrin(const std::string& folder) {
  const BmpLayout layout{.width = 5, .height = 3};
  write_file(folder + "\\picture.bmp", make_bmp(layout, pattern_pixel));
  write_file(folder + "\\expected", expected_raw(layout, pattern_pixel));
  return {"picture.bmp", "picture.bin", "picture.bin"};
}

// 39 pixels: rows of 117 bytes padded to 120, the one stride that Vaskel walks.
Case vaskel(const std::string& folder) {
  const BmpLayout layout{.width = 39, .height = 3};
  write_file(folder + "\\picture.bmp", make_bmp(layout, pattern_pixel));
  write_file(folder + "\\expected", expected_raw(layout, pattern_pixel));
  return {"picture.bmp", "picture.bin", "picture.bin"};
}

// A whole 568 x 130 raw image, every word different from its neighbours, and the BMP it must
// become: the 58-byte header, then each word expanded to a triple in the same order.
Case talvose(const std::string& folder) {
  constexpr std::uint32_t width = 568, height = 130, pixels = width * height;
  Bytes raw(pixels * 2);
  Bytes bmp(fixed_frame_header_bytes.begin(), fixed_frame_header_bytes.end());
  const std::size_t header = fixed_frame_header_bytes.size();
  bmp.resize(header + pixels * 3);
  for (std::uint32_t k = 0; k < pixels; ++k) {
    const auto word = static_cast<std::uint16_t>(k * 40503u + 7);
    store_le16(raw.data() + 2 * k, word);
    // Each channel's bits moved to the top of its byte, the low bits zero.
    bmp[header + 3 * k] = static_cast<std::uint8_t>((word & 0x1F) << 3);
    bmp[header + 3 * k + 1] = static_cast<std::uint8_t>((word >> 5 & 0x3F) << 2);
    bmp[header + 3 * k + 2] = static_cast<std::uint8_t>((word >> 11) << 3);
  }
  write_file(folder + "\\frame.bin", raw);
  write_file(folder + "\\expected", bmp);
  return {"frame.bin", "frame.bmp", "frame.bmp"};
}

// Word by word, modulo 2^32, with no borrow from one word into the next; the sub image is longer
// than the image, and only the image's length of it counts.
Case orvane(const std::string& folder) {
  constexpr std::uint32_t words = 64;
  Bytes image(words * 4), sub((words + 2) * 4), difference(words * 4);
  for (std::uint32_t i = 0; i < words + 2; ++i) {
    const std::uint32_t a = i * 0x9E3779B9u, b = i * 0x7F4A7C15u + 1;
    store_le32(sub.data() + 4 * i, b);
    if (i < words) {
      store_le32(image.data() + 4 * i, a);
      store_le32(difference.data() + 4 * i, a - b);
    }
  }
  write_file(folder + "\\image.bin", image);
  write_file(folder + "\\sub.bin", sub);
  write_file(folder + "\\expected", difference);
  return {"image.bin", "sub.bin", "image.bin"};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gui_test_fixture KEY FOLDER\n");
    return 2;
  }
  const std::string key = argv[1];
  const std::string folder = argv[2];
  const ProgramRow* program = find_program(key);
  if (program == nullptr) {
    std::fprintf(stderr, "gui_test_fixture: no program %s\n", key.c_str());
    return 2;
  }
  Case files;
  if (key == "kestrin") {
    files = kestrin(folder);
  } else if (key == "vaskel") {
    files = vaskel(folder);
  } else if (key == "talvose") {
    files = talvose(folder);
  } else if (key == "orvane") {
    files = orvane(folder);
  } else {
    std::fprintf(stderr, "gui_test_fixture: no case for %s\n", key.c_str());
    return 2;
  }
  if (!file_exists(folder + "\\expected")) {
    std::fprintf(stderr, "gui_test_fixture: cannot write into %s\n", folder.c_str());
    return 1;
  }
  std::printf("%s\n%s\n%s\n%s\n", program->name, files.first.c_str(), files.second.c_str(), files.result.c_str());
  return 0;
}
