// The rule every job shares for its two path fields, for all four jobs in one table: an empty first
// field ends the job silently without reading the second, and an empty second field ends it
// silently too, except for Orvane, which reads both fields whatever they hold and reports the file
// it cannot open; a field over 255 characters shows "Path too long", and 255 characters are a path
// like any other. In every case the job touches no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "jobs/pack.h"
#include "jobs/pack_fixed_stride.h"
#include "jobs/subtract.h"
#include "jobs/unpack.h"
#include "testing/scripted_frame.h"
#include "testing/test_files.h"

namespace {

// A job, and the files its two fields name when they name good ones: a picture or raw image and an
// earlier output, or Orvane's image and sub image.
struct JobRow {
  const char* name;
  DialogJob job;
  Bytes first;
  Bytes second;
  bool reads_both_fields;  // Orvane
};

void PrintTo(const JobRow& row, std::ostream* out) { *out << row.name; }

const JobRow jobs[] = {
    {"Kestrin", dialog_job<pack>, make_bmp({.width = 3, .height = 2}, pattern_pixel), {1, 2, 3}, false},
    {"Vaskel", dialog_job<pack_fixed_stride>, make_bmp({.width = 40, .height = 2}, pattern_pixel), {1, 2, 3}, false},
    {"Talvose", dialog_job<unpack>, Bytes(64, 0x5A), {1, 2, 3}, false},
    {"Orvane", subtract_dialog_job, {10, 20, 30, 40, 50, 60, 70, 80}, {1, 2, 3, 4, 5, 6, 7, 8}, true},
};

struct Expect {
  std::vector<std::string> statuses;
  int second_reads;
};

// A field is "first" or "second" for the job's good file there, "" for an empty field, or a text
// of that many characters naming no file.
struct FieldCase {
  const char* name;
  std::string first;
  std::string second;
  Expect kestrin_vaskel_talvose;
  Expect orvane;
};

void PrintTo(const FieldCase& c, std::ostream* out) { *out << c.name; }

const FieldCase field_cases[] = {
    {"EmptyFirst", "", "second", {{}, 0}, {{"Cannot open image"}, 1}},
    {"EmptySecond", "first", "", {{}, 1}, {{"Cannot open sub image"}, 1}},
    {"FirstOver255Characters", std::string(256, 'a'), "second", {{"Path too long"}, 0}, {{"Path too long"}, 0}},
    {"SecondOver255Characters", "first", std::string(256, 'b'), {{"Path too long"}, 1}, {{"Path too long"}, 1}},
    // Read as a path: the file it names is missing.
    {"FirstOf255Characters", std::string(255, 'c'), "second", {{"Cannot open input"}, 1}, {{"Cannot open image"}, 1}},
};

std::map<std::string, Bytes> folder_contents(const TempDir& dir) {
  std::map<std::string, Bytes> contents;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    contents[entry.path().filename().string()] = read_file(entry.path().string()).value_or(Bytes{});
  return contents;
}

class PathFields : public testing::TestWithParam<std::tuple<JobRow, FieldCase>> {};

TEST_P(PathFields, FollowTheSharedRuleAndTouchNoFile) {
  const auto& [job, c] = GetParam();
  TempDir dir;
  write_file(dir.file("first"), job.first);
  write_file(dir.file("second"), job.second);
  const auto field = [&](const std::string& text) {
    return text == "first" || text == "second" ? dir.file(text) : text;
  };
  const std::map<std::string, Bytes> before = folder_contents(dir);

  ScriptedFrame frame(field(c.first), field(c.second));
  frame.run(job.job);

  const Expect& expected = job.reads_both_fields ? c.orvane : c.kestrin_vaskel_talvose;
  EXPECT_EQ(frame.statuses(), expected.statuses);
  EXPECT_EQ(frame.reads(Field::second), expected.second_reads);
  EXPECT_EQ(folder_contents(dir), before);
}

INSTANTIATE_TEST_SUITE_P(Jobs, PathFields, testing::Combine(testing::ValuesIn(jobs), testing::ValuesIn(field_cases)),
                         [](const auto& param_info) {
                           return std::string(std::get<0>(param_info.param).name) + "_" +
                                  std::get<1>(param_info.param).name;
                         });

}  // namespace
