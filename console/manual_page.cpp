// A build step, not part of rgb565: writes its manual page from the page's template, putting the
// OPTIONS list made from the option table in the place of the line "@OPTIONS@", and the FORMATS list
// from the format table in the place of "@FORMATS@", so that the page documents exactly the options
// and formats the program accepts.
//
//   rgb565_manual_page TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "console/option_table.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: rgb565_manual_page TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  std::stringstream page;
  page << in.rdbuf();
  if (!in) {
    std::cerr << "rgb565_manual_page: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::string text = page.str();
  const std::string marker = "\n@OPTIONS@\n";
  const std::size_t at = text.find(marker);
  if (at == std::string::npos) {
    std::cerr << "rgb565_manual_page: " << argv[1] << " has no line @OPTIONS@\n";
    return 1;
  }
  text.replace(at + 1, marker.size() - 1, options_manual());
  const std::string formats_marker = "\n@FORMATS@\n";
  const std::size_t formats_at = text.find(formats_marker);
  if (formats_at == std::string::npos) {
    std::cerr << "rgb565_manual_page: " << argv[1] << " has no line @FORMATS@\n";
    return 1;
  }
  text.replace(formats_at + 1, formats_marker.size() - 1, formats_manual());
  std::ofstream out(argv[2], std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "rgb565_manual_page: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
