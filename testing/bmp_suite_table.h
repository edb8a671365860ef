// The table of what Kestrin and Vaskel make of every BMP Suite picture (testing/bmp-suite/
// expected.tsv, with the raw images it names in expected/), for the jobs' tests and rgb565's.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "testing/test_files.h"

// A job's verdict on one file: the status of a refusal, or "Done" and the raw image it must write.
struct SuiteVerdict {
  std::string status;
  std::optional<Bytes> raw;
};

struct SuiteRow {
  std::string path;  // inside the suite's folder, such as "g/rgb24.bmp"
  std::uint32_t width = 0;
  SuiteVerdict kestrin;
  SuiteVerdict vaskel;
};

inline void PrintTo(const SuiteRow& row, std::ostream* out) { *out << row.path; }

// The table's rows from the suite's folder; none when the table cannot be read, which the tests'
// check that every file has a row reports.
std::vector<SuiteRow> read_bmp_suite_table(const std::string& folder);

// The suite's files as the table names them ("g/pal1.bmp"), in the folders g, q and b.
std::vector<std::string> bmp_suite_files(const std::string& folder);

// A test name made of a suite path: its letters and digits, the rest as underscores.
std::string suite_test_name(const std::string& path);

// Empty when `actual` is `expected`; otherwise where they first differ, for a picture `width`
// pixels wide: the pixel's column and stored row with both words, or both sizes.
std::string raw_image_difference(const Bytes& actual, const Bytes& expected, std::uint32_t width);
