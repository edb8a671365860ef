// Each program's Generate job as its dialog runs it: every option at its default. The program
// table's job column names one of these.
#pragma once

#include "job/job.h"
#include "jobs/pack.h"
#include "jobs/pack_fixed_stride.h"
#include "jobs/subtract.h"
#include "jobs/unpack.h"
#include "programs/program_table.h"

inline constexpr DialogJob pack_program_job = dialog_job<pack>;
inline constexpr DialogJob pack_fixed_stride_program_job = dialog_job<pack_fixed_stride>;
inline constexpr DialogJob unpack_program_job = dialog_job<unpack>;
inline constexpr DialogJob subtract_program_job = subtract_dialog_job;

// An entry point's own job, picked by TOOL_PROGRAM (the key, set by the build).
#define TOOL_ROW_PROGRAM_JOB(key, name, label, open, save, job) job##_program_job
#define TOOL_ENTRY_PROGRAM_JOB TOOL_PROGRAM_ROW(TOOL_PROGRAM)(TOOL_ROW_PROGRAM_JOB)
