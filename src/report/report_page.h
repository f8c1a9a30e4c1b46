// The run report: one self-contained HTML page (inline SVG and CSS, nothing fetched
// when it is viewed) with, for each design of a run log, a summary and one set of
// charts; and the priced points as a CSV table for a spreadsheet.
#pragma once

#include <string>

#include "report/run_log_reader.h"

namespace designopt {

// The chart names of one design's chart set, as written in each SVG's data-chart.
inline constexpr const char* kChartNames[] = {"cost-history", "design-space", "pair-planes",
                                              "fitted-surface", "predicted-real"};

// The page for the record; logName is shown as the page's source.
std::string reportPage(const RunLogRecord& record, const std::string& logName);

// One row per priced point: design, iteration, point number, the variables, cost and
// kind (sample, added, optimum), after a header row.
std::string pointsTable(const RunLogRecord& record);

}  // namespace designopt
