// The per-program values of the tool dialog, built from the program table (generated from
// programs/programs.cmake into the build tree).
#pragma once

#include <string_view>

#include "programs/program_table.h"
#include "programs/version.h"

// Filter lists as the file dialogs take them: description and pattern strings, each NUL-terminated,
// and one more NUL after the last pattern. The views include every NUL.
inline constexpr char three_pair_list[] =
    "Bitmaps (*.bmp;*.dib)\0*.bmp;*.dib\0Binaries (*.bin)\0*.bin\0All Files (*.*)\0*.*\0";
inline constexpr char image_list[] = "Bitmaps (*.bmp;*.dib)\0*.bmp;*.dib\0All Files (*.*)\0*.*\0";
// Kestrin's pictures: every BMP depth and the run-length coded ones (Vaskel's stay 24-bit).
inline constexpr char any_bitmap_list[] = "Bitmaps, 1 to 32 bits (*.bmp;*.dib)\0*.bmp;*.dib\0All Files (*.*)\0*.*\0";
inline constexpr char raw_list[] = "Binaries (*.bin)\0*.bin\0All Files (*.*)\0*.*\0";

inline constexpr std::string_view three_pair_filters{three_pair_list, sizeof three_pair_list};
inline constexpr std::string_view image_filters{image_list, sizeof image_list};
inline constexpr std::string_view any_bitmap_filters{any_bitmap_list, sizeof any_bitmap_list};
inline constexpr std::string_view raw_filters{raw_list, sizeof raw_list};

// Lines 2 to 7 of the About text, the same in every program; line 1 is the program's name. Line 2
// is "Version " and the project's major and minor version.
#define TOOL_ABOUT_TAIL                                                                    \
  "\r\nVersion " TOOL_VERSION_MAJOR_MINOR                                                  \
  "\r\nCoded by The Maintainers <maintainers@example.org>\r\n\r\nHomepage: "               \
  "https://example.org/rgb565-tools\r\nhttps://example.org/rgb565-tools/releases\r\nIRC: " \
  "#rgb565-tools on irc.example.org"

struct ProgramRow {
  const char* key;  // the program's file name, lower case
  const char* name;
  const char* second_label;
  std::string_view open_filters;  // button 103, open dialog
  std::string_view save_filters;  // button 105, save dialog
  const char* about_text;
};

#define TOOL_PROGRAM_ROW_VALUE(key, name, label, open, save, job) \
  ProgramRow { #key, name, label, open##_filters, save##_filters, name TOOL_ABOUT_TAIL }
#define TOOL_PROGRAM_ROW_ITEM(...) TOOL_PROGRAM_ROW_VALUE(__VA_ARGS__),

inline constexpr ProgramRow all_programs[] = {TOOL_PROGRAMS(TOOL_PROGRAM_ROW_ITEM)};

// The row of the program whose key is `key`; nullptr for no such program.
constexpr const ProgramRow* find_program(std::string_view key) {
  for (const ProgramRow& row : all_programs) {
    if (key == row.key) return &row;
  }
  return nullptr;
}

// An entry point's own row, picked by TOOL_PROGRAM (the key, set by the build); its job comes from
// program_jobs.h.
#define TOOL_ENTRY_PROGRAM TOOL_PROGRAM_ROW(TOOL_PROGRAM)(TOOL_PROGRAM_ROW_VALUE)
