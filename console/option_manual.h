// The reference of rgb565's options and pixel formats as its manual page (roff, man macros), the
// Windows user guide (plain text) and the formats page of docs/ (a Markdown table) print it, made from the option table
// and the format table by a step of the build (write_reference.cpp), so that both document exactly what the program
// accepts and neither is written by hand.
//
// An option's entry is its names and value, the verbs it belongs to unless it belongs to them all,
// its help made a sentence and its further sentences. A format's entry is its name, its bits a
// pixel, its layout and the options of the table that it takes.
#pragma once

#include <span>
#include <string>

#include "console/option_table.h"
#include "format/pixel_format.h"

// Every option in the table's order, and every format in the format table's: the manual page's
// OPTIONS and FORMATS lists, each entry a tagged paragraph.
std::string options_manual();
std::string formats_manual();
// The options that do not go together, from the clash table, with each refusal's reason.
std::string clashes_manual();

// The same lists for the user guide: each entry its tag line, then its sentences indented by six
// spaces and wrapped before column 96; entries are a blank line apart.
std::string options_guide();
std::string formats_guide();
std::string clashes_guide();

// The format table as docs/formats.md shows it on the web: a Markdown table, one row a format, the
// header row first, each line ended by a newline.
std::string formats_markdown();

// One entry of those lists.
std::string option_manual_entry(const OptionRow& row);
std::string option_guide_entry(const OptionRow& row);
// `options` are the rows whose format_option the format's options are read against.
std::string format_manual_entry(const FormatInfo& info, std::span<const OptionRow> options);
std::string format_guide_entry(const FormatInfo& info, std::span<const OptionRow> options);
std::string format_markdown_row(const FormatInfo& info, std::span<const OptionRow> options);
