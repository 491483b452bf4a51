// The convergence plot of a search: each job's time as a point, the best so far as a line,
// capped and failed jobs marked along the top of the plot area, the legend above it.
#pragma once

#include <string>
#include <vector>

#include "search/drawing.h"
#include "search/journal.h"

namespace pelvarn::search {

// The plot on a canvas of width x height pixels (a window's client area, or a picture's
// size); title is shown as it is given, so the caller names the job folder as it wishes.
TDrawing ConvergencePlot(const std::vector<TJournalEntry>& entries, const std::string& title,
                         double width = 800, double height = 480);

// The last part of a job folder's path (either separator), for titles: "trade" for
// "/tmp/x/trade/" or "C:\\runs\\trade"; a drive root is named as it is.
std::string JobFolderName(const std::string& folder);

// The plot as an SVG file's text, at 800 x 480.
std::string ConvergencePlotSvg(const std::vector<TJournalEntry>& entries, const std::string& title);

} // namespace pelvarn::search
