/* The four programs: ROW(key, caption and About title, second label, filter list of button 103,
   filter list of button 105, Generate job). Plain preprocessor only: the resource script picks its
   program's caption and label from here too. TOOL_PROGRAM_ROW(key)(ROW) expands one program's row;
   TOOL_PROGRAMS(ROW) expands all four. */
#ifndef FRAME_PROGRAM_TABLE_H
#define FRAME_PROGRAM_TABLE_H

#define TOOL_ROW_orvane(ROW) ROW(orvane, "Orvane", "Sub Image:", three_pair, three_pair, subtract)
#define TOOL_ROW_kestrin(ROW) ROW(kestrin, "Kestrin", "Output:", any_bitmap, raw, pack)
#define TOOL_ROW_talvose(ROW) ROW(talvose, "Talvose", "Output:", three_pair, three_pair, unpack)
#define TOOL_ROW_vaskel(ROW) ROW(vaskel, "Vaskel", "Output:", image, raw, pack_fixed_stride)

#define TOOL_PROGRAMS(ROW) TOOL_ROW_orvane(ROW) TOOL_ROW_kestrin(ROW) TOOL_ROW_talvose(ROW) TOOL_ROW_vaskel(ROW)

#define TOOL_ROW_PASTE(key) TOOL_ROW_##key
#define TOOL_PROGRAM_ROW(key) TOOL_ROW_PASTE(key)

#define TOOL_ROW_NAME(key, name, label, open, save, job) name
#define TOOL_ROW_LABEL(key, name, label, open, save, job) label
#define TOOL_ROW_JOB(key, name, label, open, save, job) job

#endif
