#pragma once

// The Fit window's commands, for callers that use them all: the table's
// editing, the jobs, what the windows show of them, and the files, with the
// table's sample model.
#include "commands/fit_file_commands.h"
#include "commands/fit_job.h"
#include "commands/fit_result_view.h"
#include "commands/fit_table.h"
#include "commands/fit_table_commands.h"
