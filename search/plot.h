// The convergence plot of a search: each job's time as a point, the best so far as a line,
// capped and failed jobs marked along the top. An SVG picture, as text.
#pragma once

#include <string>
#include <vector>

#include "search/journal.h"

namespace pelvarn::search {

std::string ConvergencePlotSvg(const std::vector<TJournalEntry>& entries, const std::string& title);

} // namespace pelvarn::search
