#include "testing/bmp_suite_table.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

SuiteVerdict verdict(const std::string& folder, const std::string& cell) {
  if (!cell.ends_with(".bin")) return {cell, std::nullopt};
  // A missing raw image becomes an empty one, which no converting job writes.
  return {"Done", read_file(folder + "/expected/" + cell).value_or(Bytes{})};
}

std::string hex_word(unsigned word) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", word);
  return text;
}

}  // namespace

std::vector<SuiteRow> read_bmp_suite_table(const std::string& folder) {
  std::vector<SuiteRow> rows;
  std::ifstream table(folder + "/expected.tsv");
  std::string line;
  while (std::getline(table, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
    if (cells.size() != 4) continue;
    SuiteRow row{cells[0], 0, verdict(folder, cells[2]), verdict(folder, cells[3])};
    if (cells[1] != "-") row.width = static_cast<std::uint32_t>(std::stoul(cells[1]));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::string> bmp_suite_files(const std::string& folder) {
  std::vector<std::string> files;
  for (const char* subfolder : {"g", "q", "b"})
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder) / subfolder))
      files.push_back(std::string(subfolder) + "/" + entry.path().filename().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string suite_test_name(const std::string& path) {
  std::string name = path;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

std::string raw_image_difference(const Bytes& actual, const Bytes& expected, std::uint32_t width) {
  if (actual.size() != expected.size())
    return std::to_string(actual.size()) + " bytes written, " + std::to_string(expected.size()) + " expected";
  for (std::size_t at = 0; at + 1 < actual.size(); at += 2) {
    const unsigned got = actual[at] | actual[at + 1] << 8;
    const unsigned want = expected[at] | expected[at + 1] << 8;
    if (got == want) continue;
    const std::size_t pixel = at / 2;
    const std::size_t w = width == 0 ? 1 : width;
    return "pixel x " + std::to_string(pixel % w) + ", stored row " + std::to_string(pixel / w) + ": expected " +
           hex_word(want) + ", got " + hex_word(got);
  }
  return {};
}
